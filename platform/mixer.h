// The software mixer: sound devices and static buffers with DirectSound's semantics, mixed
// in float to 16-bit stereo, and a timer whose events run on the mixer's sample clock.
//
// Time is samples rendered: an event started when s0 samples had been rendered, with a
// period of P ms, runs its k-th callback just before sample s0 + floor(k * P * rate / 1000)
// is rendered, on the rendering thread, with the mixer lock released and the player lock
// held. GetTickCount is the sample clock in milliseconds (samples rendered * 1000 / rate),
// so it stands still while nothing renders.
//
// A device's Release silences every buffer made from it at once. Those buffers stay valid
// objects: every later call on them returns DSERR_INVALIDCALL, except Release, which frees
// them. A buffer's own Release frees its data and silences it at once; a stray call on it
// afterwards is refused with DSERR_INVALIDCALL until the mixer reuses the object for a newly
// created buffer. Buffers and devices are freed with the Mixer, which must outlive every use
// of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "platform/timer.h"

namespace platform {

class MixerBuffer;
class MixerDevice;

class Mixer : public SoundSystem, public TimerService {
 public:
  enum class Interpolation { Linear, Nearest };

  // Output rate in frames per second (8000 to 192000; others are taken as 48000).
  explicit Mixer(uint32_t outputRate = 48000);
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  uint32_t OutputRate() const { return outputRate_; }
  void SetInterpolation(Interpolation interpolation);
  // Renders `frames` frames of interleaved 16-bit stereo into `out`, running due timer
  // callbacks on the way. Never allocates.
  void Render(int16_t* out, size_t frames);
  // Frames rendered since creation.
  uint64_t SamplesRendered() const { return samples_.load(std::memory_order_acquire); }
  // Buffers currently playing.
  size_t PlayingBuffers();

  // SoundSystem: opens a new device on this mixer.
  HRESULT CreateDevice(SoundDevice** device) override;

  // TimerService on the sample clock: periods 1 to 1000000 ms.
  MMRESULT GetDevCaps(TimeCaps* caps, uint32_t size) override;
  MMRESULT BeginPeriod(uint32_t period) override;
  // Refused with TIMERR_NOCANDO unless a BeginPeriod of the same value is outstanding.
  MMRESULT EndPeriod(uint32_t period) override;
  // TIME_PERIODIC or TIME_ONESHOT; delay 1 to 1000000 ms; returns 0 when refused.
  uint32_t SetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback, uintptr_t user,
                    uint32_t flags) override;
  // From another thread, returns only once no callback of the event is running.
  MMRESULT KillEvent(uint32_t timerId) override;
  // Inside a callback on the rendering thread returns at once; elsewhere sleeps for real.
  void Sleep(uint32_t milliseconds) override;
  uint32_t GetTickCount() override;

  static constexpr size_t kChunkFrames = 1024;  // frames mixed per inner pass
  static constexpr size_t kMaxEvents = 64;      // timer events alive at once

 private:
  friend class MixerBuffer;
  friend class MixerDevice;

  struct Event {
    uint32_t id = 0;
    uint32_t period = 0;
    TimerCallback callback = nullptr;
    uintptr_t user = 0;
    bool periodic = false;
    bool live = false;
    uint64_t start = 0;
    uint64_t count = 0;  // callbacks run so far
    uint64_t due = 0;    // sample of the next callback
  };

  void MixChunk(float* mix, size_t frames);
  uint64_t DueSample(const Event& event) const;
  void RunDueEvents(std::unique_lock<std::mutex>& lock);
  void AddBuffer(MixerBuffer* buffer);
  void RemoveBuffer(MixerBuffer* buffer);

  const uint32_t outputRate_;
  std::mutex mutex_;  // the mixer lock: taken after the player lock, never before
  std::condition_variable callbackDone_;
  Interpolation interpolation_ = Interpolation::Linear;
  std::vector<MixerBuffer*> buffers_;  // every secondary buffer attached to a live device
  std::vector<std::unique_ptr<MixerBuffer>> ownedBuffers_;
  std::vector<std::unique_ptr<MixerDevice>> ownedDevices_;
  std::vector<float> mix_;
  Event events_[kMaxEvents];
  uint32_t nextEventId_ = 1;
  uint32_t runningEvent_ = 0;
  std::atomic<std::thread::id> renderThread_{};
  std::atomic<bool> inCallback_{false};
  std::atomic<uint64_t> samples_{0};
  std::vector<std::pair<uint32_t, int>> periods_;
};

}  // namespace platform
