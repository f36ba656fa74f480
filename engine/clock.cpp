// The playback clock: one periodic platform timer event running the tick.
#include "engine/engine.h"
#include "platform/player_lock.h"
#include "platform/timer.h"
#include "song/song.h"

uint32_t clockPeriod = 13;
uint32_t clockTimerId = 0;

namespace {
// Resolution requests granted and not yet ended, with the value each was made with, so
// every end names exactly the value of its begin.
constexpr int kMaxRequests = 16;
uint32_t openRequests[kMaxRequests];
int openRequestCount = 0;
}  // namespace

int BeginClockPeriod() {
  platform::TimeCaps caps{};
  if (platform::TimeGetDevCaps(&caps, sizeof caps) != platform::TIMERR_NOERROR) return 0;
  if (clockPeriod < caps.wPeriodMin) clockPeriod = caps.wPeriodMin;
  const uint32_t requested = clockPeriod;
  if (platform::TimeBeginPeriod(requested) != platform::TIMERR_NOERROR) return 0;
  if (openRequestCount == kMaxRequests) {
    // Never happens with the engine's stop-before-start order; keep the table bounded by
    // ending the oldest request rather than forgetting it.
    platform::TimeEndPeriod(openRequests[0]);
    for (int i = 1; i < kMaxRequests; ++i) openRequests[i - 1] = openRequests[i];
    --openRequestCount;
  }
  openRequests[openRequestCount++] = requested;
  return 1;
}

int StartClock(uint32_t delay) {
  clockPeriod = delay;
  clockTimerId = platform::TimeSetEvent(delay, 10, ClockCallback, 0,
                                        platform::TIME_PERIODIC | platform::TIME_CALLBACK_FUNCTION);
  return 1;
}

void ClockCallback(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  theSong.Tick();
  platform::Sleep(1);
}

int StopClock() {
  if (clockTimerId != 0) {
    if (platform::TimeKillEvent(clockTimerId) != platform::TIMERR_NOERROR) return 0;
  }
  if (openRequestCount == 0) return 1;
  const uint32_t requested = openRequests[--openRequestCount];
  return platform::TimeEndPeriod(requested) == platform::TIMERR_NOERROR ? 1 : 0;
}

void ResetClockForTests() {
  clockPeriod = 13;
  clockTimerId = 0;
  openRequestCount = 0;
}
