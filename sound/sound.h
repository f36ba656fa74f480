// Sound output: the sound device, the melody voices, the drum voices and the effect slots.
//
// Every voice and effect operation obeys the sound-available rule: it tests its device
// reference first (`engineDevice` for melody and drum voices, `soundDevice` for the device
// and the effect slots) and returns at once while it is null, with 0 where it has a result
// (the effect loaders return 1).
#pragma once

#include <cstdint>

#include "platform/sound.h"
#include "platform/types.h"

// ---- Sound device -------------------------------------------------------------------------

// The process's one sound device, or null. Created by StartSoundDevice, released only by
// StopSoundDevice.
extern platform::SoundDevice* soundDevice;
// The device's primary buffer; never played, locked or given a format.
extern platform::SoundBuffer* primaryBuffer;
// The engine's own reference to the device, set by StartEngine. Owns nothing.
extern platform::SoundDevice* engineDevice;

// Flags of every secondary buffer: static, rate, pan and volume control, global focus.
inline constexpr uint32_t kSecondaryBufferFlags = 0x80E2;
// Flags of the primary buffer description.
inline constexpr uint32_t kPrimaryBufferFlags = 0xC1;

// Opens the default device for `window`, sets the exclusive cooperative level, creates the
// primary buffer, empties the effect slots and starts the engine. 1 with a device, 0 without.
int StartSoundDevice(platform::WindowHandle window);
// Lowers the held device's cooperative level to normal, for `mainWindow`.
void SetNormalCooperation();
// Stops playback, releases the song's voices, the effect slots, the primary buffer and the
// device. Nothing of the sound output or the engine is used afterwards.
void StopSoundDevice();

// Builds the 36-byte secondary buffer description for a sound of `bytes` bytes in `format`.
platform::BufferDescription SecondaryBufferDescription(uint32_t bytes,
                                                       const platform::WaveFormatEx* format);
// The fill sequence: create the buffer into `*slot` from the description, lock it whole, copy
// `data` across both regions, unlock and, when `rewind`, set the position to 0. Returns 1
// when the buffer was created and filled, 0 otherwise (a failed lock leaves the buffer in
// `*slot` unfilled; a failed creation leaves `*slot` null).
int FillStaticBuffer(platform::SoundDevice* device, platform::SoundBuffer** slot, uint32_t bytes,
                     const platform::WaveFormatEx* format, const uint8_t* data, bool rewind);

// The engine operations the sound device calls. The engine installs them at start-up
// (InstallEngineHooks); until then StartSoundDevice only records the device.
struct EngineHooks {
  int (*startEngine)(platform::SoundDevice* device) = nullptr;
  void (*stopPlayback)() = nullptr;
  void (*releaseSong)() = nullptr;
};
void InstallEngineHooks(const EngineHooks& hooks);

// ---- Melody voices ------------------------------------------------------------------------

struct OctaveRow {
  int16_t cycleLength;
  int16_t rateMultiplier;
  int16_t oneShotCycles;
};

// 100 single-cycle waveforms of 256 signed 8-bit samples; all zero until loaded.
extern int8_t waveTable[100][256];
extern const OctaveRow octaveTable[8];
extern const int16_t noteFrequencies[12];
extern const int16_t panTable[13];
extern const platform::WaveFormatEx melodyFormat;
// [track 0-7][octave row 0-7][pair index 0-1]; null when not built.
extern platform::SoundBuffer* melodyBuffers[8][8][2];
// Per melody track: the key last started (255 = silent) and the pair index of the current
// buffer.
extern uint8_t currentKey[8];
extern uint8_t alternate[8];

// Note modes of PlayMelodyLooped and PlayMelodyOneShot.
inline constexpr int kNoteOn = -1;
inline constexpr int kNoteStop = 0;
inline constexpr int kNoteRelease = 2;

int LoadWaveTable();
int LoadWaveTableFile(const char* path);
int BuildMelodyVoice(int track, uint8_t waveNumber, int8_t oneShot);
int FillMelodyBuffers(const int8_t* wave, int track, int8_t oneShot);
void ReleaseMelodyVoice(int track);
void SetMelodyFrequency(int note, int track, int freqAdjust);
void SetMelodyPan(int pan, int track);
void SetMelodyVolume(int volume, int track);
void PlayMelodyLooped(uint8_t key, int mode, int track, int freqAdjust);
void PlayMelodyOneShot(uint8_t key, int mode, int track, int freqAdjust);
void PreviewNote(uint8_t key, int track, int freqAdjust);

// ---- Drum voices --------------------------------------------------------------------------

// One buffer per drum track 0-7 (song track - 8), or null.
extern platform::SoundBuffer* drumBuffers[8];
// Resource names of type "WAVE" by drum wave number 0-11.
extern const char* const drumSampleNames[12];

// Offsets of the drum sample layout.
inline constexpr uint32_t kSampleFormatOffset = 20;
inline constexpr uint32_t kSampleLengthOffset = 54;
inline constexpr uint32_t kSampleDataOffset = 58;

int LoadDrumResource(const char* name, int32_t drum);
int LoadDrumFile(const char* path, int32_t drum);
void ReleaseDrum(int8_t drum);
void SetDrumFrequency(uint8_t key, int8_t drum);
void SetDrumPan(uint8_t pan, int8_t drum);
void SetDrumVolume(int32_t volume, int8_t drum);
// mode 0 = stop, 1 = trigger.
void PlayDrum(uint8_t key, int32_t mode, int8_t drum);

// ---- Effect slots -------------------------------------------------------------------------

extern platform::SoundBuffer* effectSlots[8];

int LoadEffectResource(const char* name, int32_t slot);
int LoadEffectFile(const char* path, int32_t slot);
// mode -1 = play looping, 0 = stop, 1 = play once from the start.
void PlayEffect(int32_t slot, int32_t mode);
void SetEffectFrequency(int32_t slot, int32_t value);
void SetEffectVolume(int32_t slot, int32_t value);
void SetEffectPan(int32_t slot, int32_t value);

// ---- Tests only ---------------------------------------------------------------------------

// Puts every value of the sound output back to its program-start state (device references
// null, buffers forgotten without release, wave table zero, note state silent, hooks kept).
void ResetSoundOutputForTests();
