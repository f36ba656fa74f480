#pragma once

#include <cstdint>

namespace stresstest {
// Written under the player lock only (commands and ticks).
struct StressState {
  uint64_t ticks = 0;
  uint64_t staleTicks = 0;
  uint64_t advances = 0;
  uint64_t loads = 0;
  int liveEvents = 0;
  uint32_t runningTimer = 0;
  uint32_t lastTickTimer = 0;
};
extern StressState state;
}  // namespace stresstest
