// Live output: the default SDL2 audio device pulling 16-bit stereo from a Mixer.
//
// The device's callback only calls Mixer::Render, which takes the mixer's own lock and, for
// timer callbacks, the player lock; SDL's audio lock guards nothing of ours. Do not destroy
// the output while holding the player lock: closing waits for the audio thread, which may be
// waiting for that lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/mixer.h"

namespace platform {

class LiveAudioOutput {
 public:
  // Opens the default device at the mixer's rate, ~1024-frame buffers, and starts it; null
  // with `*error` set to SDL's message when there is no usable audio device. `driver` names
  // an SDL audio driver to use instead of SDL's choice (e.g. "dummy"), or is null.
  static std::unique_ptr<LiveAudioOutput> Open(Mixer& mixer, std::string* error,
                                               const char* driver = nullptr);
  ~LiveAudioOutput();  // stops and closes the device
  LiveAudioOutput(const LiveAudioOutput&) = delete;
  LiveAudioOutput& operator=(const LiveAudioOutput&) = delete;

  void Pause(bool paused);
  uint32_t DeviceId() const { return device_; }

 private:
  LiveAudioOutput(Mixer& mixer) : mixer_(mixer) {}
  static void Callback(void* self, uint8_t* stream, int bytes);

  Mixer& mixer_;
  uint32_t device_ = 0;
};

}  // namespace platform
