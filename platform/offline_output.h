// Offline pull from a Mixer: renders frames into memory, as interleaved 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/mixer.h"

namespace platform {

class OfflineOutput {
 public:
  explicit OfflineOutput(Mixer& mixer) : mixer_(mixer) {}
  // Renders `frames` frames into `out` (2 * frames samples, left then right).
  void Render(int16_t* out, size_t frames) { mixer_.Render(out, frames); }
  // Renders `frames` frames into a new vector of 2 * frames samples.
  std::vector<int16_t> Render(size_t frames);
  uint32_t Rate() const { return mixer_.OutputRate(); }

 private:
  Mixer& mixer_;
};

}  // namespace platform
