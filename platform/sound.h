// Sound output: a device and static secondary buffers with DirectSound's operations, units
// and result codes.
//
// Units: rate in samples per second; pan and volume in hundredths of a decibel (gain is
// 10^(mB / 2000); a negative pan attenuates the right channel by |pan|, a positive one the
// left). Which implementation `DirectSoundCreate` opens is chosen by `InstallSoundSystem`:
// the software mixer (live or offline, platform/mixer.h) or a test double.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

using HRESULT = int32_t;

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);

// Cooperative levels.
inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;
inline constexpr uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

// Buffer capability flags of a buffer description.
inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr uint32_t DSBCAPS_STATIC = 0x2;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x8000;

// Play flags and status bits.
inline constexpr uint32_t DSBPLAY_LOOPING = 0x1;
inline constexpr uint32_t DSBSTATUS_PLAYING = 0x1;
inline constexpr uint32_t DSBSTATUS_LOOPING = 0x4;

// Limits of the buffer settings.
inline constexpr uint32_t DSBFREQUENCY_MIN = 100;
inline constexpr uint32_t DSBFREQUENCY_MAX = 200000;
inline constexpr int32_t DSBVOLUME_MIN = -10000;
inline constexpr int32_t DSBVOLUME_MAX = 0;
inline constexpr int32_t DSBPAN_LEFT = -10000;
inline constexpr int32_t DSBPAN_RIGHT = 10000;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 2)
// PCM format block, 18 bytes, laid out as in a RIFF file's format chunk.
struct WaveFormatEx {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18);

// Description of a buffer to create.
struct BufferDescription {
  uint32_t dwSize;
  uint32_t dwFlags;
  uint32_t dwBufferBytes;
  uint32_t dwReserved;
  const WaveFormatEx* lpwfxFormat;
  uint8_t guid3DAlgorithm[16];
};

// One sound buffer. Every operation returns DS_OK or a DSERR_ code.
class SoundBuffer {
 public:
  // Gives access to `bytes` bytes from `offset`, as one or two regions (the second is null
  // with size 0 unless the range is split).
  virtual HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1,
                       void** region2, uint32_t* size2, uint32_t flags) = 0;
  virtual HRESULT Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) = 0;
  // Starts playing from the current position (flags DSBPLAY_LOOPING or 0). On a buffer
  // already playing it only changes the looping flag.
  virtual HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) = 0;
  // Stops; the position stays where it is.
  virtual HRESULT Stop() = 0;
  // Moves the play cursor to a byte offset, playing or not.
  virtual HRESULT SetCurrentPosition(uint32_t position) = 0;
  virtual HRESULT GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) = 0;
  virtual HRESULT GetStatus(uint32_t* status) = 0;
  // Samples per second, DSBFREQUENCY_MIN to DSBFREQUENCY_MAX; anything else is refused with
  // DSERR_INVALIDPARAM and the old rate kept.
  virtual HRESULT SetFrequency(uint32_t samplesPerSecond) = 0;
  virtual HRESULT SetPan(int32_t pan) = 0;
  virtual HRESULT SetVolume(int32_t volume) = 0;
  // Drops the caller's reference; the buffer is gone and silent afterwards.
  virtual uint32_t Release() = 0;

 protected:
  ~SoundBuffer() = default;
};

// The sound device.
class SoundDevice {
 public:
  virtual HRESULT SetCooperativeLevel(WindowHandle window, uint32_t level) = 0;
  virtual HRESULT CreateSoundBuffer(const BufferDescription* description, SoundBuffer** buffer,
                                    void* outer) = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~SoundDevice() = default;
};

// What `DirectSoundCreate` opens a device on.
class SoundSystem {
 public:
  virtual HRESULT CreateDevice(SoundDevice** device) = 0;

 protected:
  ~SoundSystem() = default;
};

// Chooses the sound system that `DirectSoundCreate` uses; null means none (no device).
void InstallSoundSystem(SoundSystem* system);
SoundSystem* InstalledSoundSystem();

// Opens the sound device. `deviceId` and `outer` must be null (the default device). Without
// an installed sound system it returns DSERR_NODRIVER and sets `*device` to null.
HRESULT DirectSoundCreate(const void* deviceId, SoundDevice** device, void* outer);

}  // namespace platform
