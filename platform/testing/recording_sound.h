// A recording sound system for tests: a device and buffers that log every call, in one
// ordered log across all buffers, and keep a simple model of each buffer's state.
//
// Buffer ids are given in creation order from 1; id 0 names the device itself. Each log
// entry carries the id, the operation's name, its integer arguments, its result and a
// readable form such as "buf3.SetFrequency(56320)". The double can be told to fail device
// creation, a given buffer creation (or all from then on), a given Lock, and to split every
// Lock into two regions at an offset.
//
// Lock hands out separate scratch regions that Unlock copies into the buffer, so bytes only
// reach a buffer through a matching Unlock, and a write past a region is caught by the
// address sanitizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound.h"

namespace platform {

class RecordingSoundSystem;

// One logged call.
struct SoundCall {
  int buffer = 0;  // 0 = the device, otherwise the buffer id
  std::string op;  // "SetFrequency", "Play", "CreateSoundBuffer", ...
  std::vector<int64_t> args;
  HRESULT result = DS_OK;
  std::string text;  // "buf3.SetFrequency(56320)", "device.CreateSoundBuffer(256,0x80e2)"

  bool Is(int id, const std::string& name) const { return buffer == id && op == name; }
  bool Is(int id, const std::string& name, const std::vector<int64_t>& a) const {
    return buffer == id && op == name && args == a;
  }
};

// The state of one buffer, as the double models it.
struct RecordedBufferState {
  int id = 0;
  BufferDescription description{};  // as passed, but lpwfxFormat null: the format is below
  bool hasFormat = false;
  WaveFormatEx format{};
  std::vector<uint8_t> bytes;  // dwBufferBytes long, zero until unlocked into
  uint32_t frequency = 0;      // the format's rate at creation
  int32_t pan = 0;
  int32_t volume = 0;
  bool playing = false;
  bool looping = false;
  bool finishing = false;  // Play once on a looping buffer: it ends after this pass
  uint32_t position = 0;
  bool released = false;
  int locks = 0;              // successful Locks
  int unlocks = 0;            // Unlocks
  int callsAfterRelease = 0;  // any call on a released buffer (a caller fault)
};

class RecordingSoundBuffer final : public SoundBuffer {
 public:
  RecordingSoundBuffer(RecordingSoundSystem* system, int id) : system_(system), id_(id) {}
  int id() const { return id_; }

  HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
               uint32_t* size2, uint32_t flags) override;
  HRESULT Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) override;
  HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
  HRESULT Stop() override;
  HRESULT SetCurrentPosition(uint32_t position) override;
  HRESULT GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) override;
  HRESULT GetStatus(uint32_t* status) override;
  HRESULT SetFrequency(uint32_t samplesPerSecond) override;
  HRESULT SetPan(int32_t pan) override;
  HRESULT SetVolume(int32_t volume) override;
  uint32_t Release() override;

 private:
  RecordingSoundSystem* system_;
  int id_;
};

class RecordingSoundDevice final : public SoundDevice {
 public:
  explicit RecordingSoundDevice(RecordingSoundSystem* system) : system_(system) {}
  HRESULT SetCooperativeLevel(WindowHandle window, uint32_t level) override;
  HRESULT CreateSoundBuffer(const BufferDescription* description, SoundBuffer** buffer,
                            void* outer) override;
  uint32_t Release() override;

 private:
  friend class RecordingSoundSystem;
  RecordingSoundSystem* system_;
  bool released_ = false;
};

class RecordingSoundSystem final : public SoundSystem {
 public:
  RecordingSoundSystem();
  ~RecordingSoundSystem();
  RecordingSoundSystem(const RecordingSoundSystem&) = delete;
  RecordingSoundSystem& operator=(const RecordingSoundSystem&) = delete;

  // Installs this system for DirectSoundCreate (and uninstalls it in the destructor if it
  // is still the installed one).
  void Install();

  HRESULT CreateDevice(SoundDevice** device) override;

  // ---- Failures to inject ----
  // Device creation fails with DSERR_NODRIVER while set.
  void FailDeviceCreation(bool fail = true);
  // The n-th CreateSoundBuffer from now (1 = the next one) fails with DSERR_OUTOFMEMORY; with
  // `andAllAfter`, every later one fails too. n = 0 clears.
  void FailBufferCreation(int n, bool andAllAfter = false);
  // The n-th Lock from now (1 = the next one) fails with DSERR_INVALIDCALL. n = 0 clears.
  void FailLock(int n);
  // Every Lock that covers more than `offset` bytes returns two regions: the first `offset`
  // bytes, then the rest. 0 turns splitting off.
  void SplitLocksAt(uint32_t offset);
  // Models the platform's end of a pass: the buffer stops and stands at position 0.
  void PlayedToEnd(int id);

  // ---- Queries ----
  std::vector<SoundCall> Calls() const;
  // Position in the log; CallsSince(mark) gives what came after it.
  size_t Mark() const;
  std::vector<SoundCall> CallsSince(size_t mark) const;
  std::vector<SoundCall> CallsOf(int id, size_t since = 0) const;
  // The readable forms, from `since`, optionally of one buffer (id -1 = all).
  std::vector<std::string> Texts(size_t since = 0, int id = -1) const;
  // Number of calls matching buffer, op and (when given) arguments, from `since`.
  int Count(int id, const std::string& op, size_t since = 0) const;
  int Count(int id, const std::string& op, const std::vector<int64_t>& args,
            size_t since = 0) const;

  // A snapshot of buffer `id` (1-based); a default state with id 0 when there is none.
  RecordedBufferState Buffer(int id) const;
  // The id of a buffer that this system created, or 0.
  int IdOf(const SoundBuffer* buffer) const;
  RecordedBufferState BufferOf(const SoundBuffer* buffer) const { return Buffer(IdOf(buffer)); }
  int BuffersCreated() const;
  // Ids of the buffers not released, in creation order.
  std::vector<int> AliveBuffers() const;
  int DevicesCreated() const;
  int DevicesReleased() const;
  // Calls made on released buffers or devices, summed (a caller fault when not 0).
  int CallsAfterRelease() const;

 private:
  friend class RecordingSoundBuffer;
  friend class RecordingSoundDevice;

  struct LockedRegion {
    std::unique_ptr<uint8_t[]> data;
    uint32_t start;
    uint32_t size;
  };
  struct BufferRecord {
    std::unique_ptr<RecordingSoundBuffer> object;
    RecordedBufferState state;
    std::vector<LockedRegion> regions;
  };

  void Log(int id, const char* op, std::vector<int64_t> args, HRESULT result);
  BufferRecord* Record(int id);

  mutable std::mutex mutex_;
  std::vector<SoundCall> calls_;
  std::vector<std::unique_ptr<RecordingSoundDevice>> devices_;
  std::vector<BufferRecord> buffers_;
  int devicesReleased_ = 0;
  int deviceCallsAfterRelease_ = 0;
  bool failDevice_ = false;
  int failCreateIn_ = 0;
  bool failCreateAfter_ = false;
  bool failingAllCreates_ = false;
  int failLockIn_ = 0;
  uint32_t splitAt_ = 0;
};

}  // namespace platform
