#include "platform/testing/recording_timer.h"

#include <gtest/gtest.h>

#include "platform/player_lock.h"

namespace platform {
namespace {

TEST(RecordingTimer, RecordsCallsAndKeepsPeriodBookkeeping) {
  RecordingTimer timer;
  TimeCaps caps{};
  EXPECT_EQ(timer.GetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(timer.BeginPeriod(13), TIMERR_NOERROR);
  EXPECT_EQ(timer.BeginPeriod(13), TIMERR_NOERROR);
  EXPECT_EQ(timer.BeginPeriod(128), TIMERR_NOERROR);
  EXPECT_EQ(timer.EndPeriod(16), TIMERR_NOCANDO);  // never begun
  EXPECT_EQ(timer.EndPeriod(13), TIMERR_NOERROR);
  EXPECT_EQ((timer.OutstandingPeriods()), (std::map<uint32_t, int>{{13, 1}, {128, 1}}));
  EXPECT_EQ(timer.EndPeriod(13), TIMERR_NOERROR);
  EXPECT_EQ(timer.EndPeriod(13), TIMERR_NOCANDO);  // both already matched
  timer.Sleep(1);
  EXPECT_EQ(timer.Calls(),
            (std::vector<std::string>{"GetDevCaps(8)", "BeginPeriod(13)", "BeginPeriod(13)",
                                      "BeginPeriod(128)", "EndPeriod(16)", "EndPeriod(13)",
                                      "EndPeriod(13)", "EndPeriod(13)", "Sleep(1)"}));
  auto records = timer.CallRecords();
  EXPECT_EQ(records[4].result, TIMERR_NOCANDO);
  EXPECT_EQ(records[3].args, std::vector<uint64_t>{128});

  timer.SetPeriodRange(16, 500);
  timer.GetDevCaps(&caps, sizeof caps);
  EXPECT_EQ(caps.wPeriodMin, 16u);
  EXPECT_EQ(caps.wPeriodMax, 500u);
  timer.FailGetDevCaps(true);
  EXPECT_NE(timer.GetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  timer.FailBeginPeriod(true);
  EXPECT_EQ(timer.BeginPeriod(16), TIMERR_NOCANDO);
  EXPECT_TRUE(timer.OutstandingPeriods().count(128));
  timer.FailEndPeriod(true);
  EXPECT_EQ(timer.EndPeriod(128), TIMERR_NOCANDO);
  EXPECT_TRUE(timer.OutstandingPeriods().count(128));
}

struct Switcher {
  RecordingTimer* timer;
  uint32_t replacement = 0;
  int calls = 0;
};

void SwitchingCallback(uint32_t id, uint32_t, uintptr_t user, uintptr_t, uintptr_t) {
  auto* s = reinterpret_cast<Switcher*>(user);
  ++s->calls;
  // The player lock is held around every callback.
  EXPECT_TRUE(PlayerMutex().try_lock());
  PlayerMutex().unlock();
  if (s->replacement == 0) {
    EXPECT_EQ(s->timer->KillEvent(id), TIMERR_NOERROR);
    s->replacement = s->timer->SetEvent(100, 10, SwitchingCallback, user, TIME_PERIODIC);
  }
}

void CountingCallback(uint32_t, uint32_t, uintptr_t user, uintptr_t, uintptr_t) {
  ++*reinterpret_cast<int*>(user);
}

TEST(RecordingTimer, EventsFireOnRequestAndMaySwitchThemselves) {
  RecordingTimer timer;
  Switcher s{&timer};
  int counted = 0;
  EXPECT_EQ(timer.SetEvent(0, 10, CountingCallback, 0, TIME_PERIODIC), 0u);
  uint32_t first =
      timer.SetEvent(128, 10, SwitchingCallback, reinterpret_cast<uintptr_t>(&s), TIME_PERIODIC);
  uint32_t counter =
      timer.SetEvent(50, 10, CountingCallback, reinterpret_cast<uintptr_t>(&counted), 1);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(counter, 2u);
  // The first callback kills itself and starts event 3; FireAll must not fire event 3.
  EXPECT_EQ(timer.FireAll(), 2);
  EXPECT_EQ(s.calls, 1);
  EXPECT_EQ(counted, 1);
  EXPECT_EQ(s.replacement, 3u);
  EXPECT_EQ(timer.LiveEvents(), (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(timer.EventDelay(3), 100u);
  EXPECT_FALSE(timer.Fire(first));
  EXPECT_TRUE(timer.Fire(3));
  EXPECT_EQ(s.calls, 2);
  EXPECT_EQ(timer.KillEvent(first), MMSYSERR_INVALPARAM);
  EXPECT_EQ(timer.KillEvent(99), MMSYSERR_INVALPARAM);
  EXPECT_EQ(timer.KillEvent(3), TIMERR_NOERROR);
  EXPECT_EQ(timer.KillEvent(3), MMSYSERR_INVALPARAM);
  auto calls = timer.Calls();
  EXPECT_EQ(calls.front(), "SetEvent(0,10,0,1)");
  EXPECT_EQ(calls[3], "KillEvent(1)");
  EXPECT_EQ(calls[4], "SetEvent(100,10," + std::to_string(reinterpret_cast<uintptr_t>(&s)) + ",1)");

  // A one-shot event fires once only.
  uint32_t once =
      timer.SetEvent(5, 0, CountingCallback, reinterpret_cast<uintptr_t>(&counted), TIME_ONESHOT);
  EXPECT_TRUE(timer.Fire(once));
  EXPECT_FALSE(timer.Fire(once));
  EXPECT_EQ(counted, 2);
  timer.FailSetEvent(true);
  EXPECT_EQ(timer.SetEvent(10, 10, CountingCallback, 0, TIME_PERIODIC), 0u);
}

TEST(RecordingTimer, TickCountIsControlledAndAdvances) {
  RecordingTimer timer;
  timer.SetTickCount(1000);
  timer.SetTickStep(5);
  EXPECT_EQ(timer.GetTickCount(), 1000u);
  EXPECT_EQ(timer.GetTickCount(), 1005u);
  timer.SetTickStep(0);
  EXPECT_EQ(timer.GetTickCount(), 1010u);
  EXPECT_EQ(timer.GetTickCount(), 1010u);
  EXPECT_TRUE(timer.Calls().empty());
}

}  // namespace
}  // namespace platform
