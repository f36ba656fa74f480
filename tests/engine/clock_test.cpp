// The playback clock on the recording timer.
#include "tests/engine/engine_fixture.h"

namespace engine_test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(EngineTest, ClockPeriodRequestsPairAndStopsBehave) {
  // The first stop of the program, before any start, kills nothing and ends nothing.
  EXPECT_EQ(StopClock(), 1);
  EXPECT_TRUE(timer.Calls().empty());

  EXPECT_EQ(BeginClockPeriod(), 1);
  EXPECT_EQ(StartClock(100), 1);
  EXPECT_EQ(clockPeriod, 100u);
  EXPECT_EQ(timer.Calls(), (Calls{"GetDevCaps(8)", "BeginPeriod(13)", "SetEvent(100,10,0,1)"}));
  const uint32_t id = clockTimerId;
  EXPECT_EQ(timer.EventDelay(id), 100u);
  timer.ClearCalls();
  EXPECT_EQ(StopClock(), 1);
  // The end names the value that was requested, not the tick wait.
  EXPECT_EQ(timer.Calls(), (Calls{"KillEvent(" + std::to_string(id) + ")", "EndPeriod(13)"}));
  EXPECT_TRUE(timer.OutstandingPeriods().empty());
  timer.ClearCalls();
  EXPECT_EQ(StopClock(), 0);  // the same id again: refused, nothing ended
  EXPECT_EQ(timer.Calls(), (Calls{"KillEvent(" + std::to_string(id) + ")"}));

  // The next start requests the previous tick wait and ends that same value.
  timer.ClearCalls();
  BeginClockPeriod();
  StartClock(90);
  StopClock();
  EXPECT_EQ(timer.Calls()[1], "BeginPeriod(100)");
  EXPECT_EQ(timer.Calls().back(), "EndPeriod(100)");
  EXPECT_TRUE(timer.OutstandingPeriods().empty());

  // A failed begin is not ended.
  timer.FailBeginPeriod(true);
  EXPECT_EQ(BeginClockPeriod(), 0);
  StartClock(90);
  timer.ClearCalls();
  EXPECT_EQ(StopClock(), 1);
  EXPECT_EQ(timer.Calls().size(), 1u);
  timer.FailBeginPeriod(false);
  timer.FailGetDevCaps(true);
  EXPECT_EQ(BeginClockPeriod(), 0);
  EXPECT_TRUE(timer.OutstandingPeriods().empty());
}

TEST_F(EngineTest, ClockRaisesToPlatformMinimumAndCallbackTicksAndSleeps) {
  timer.SetPeriodRange(16, 1000);
  EXPECT_EQ(BeginClockPeriod(), 1);
  EXPECT_EQ(clockPeriod, 16u);
  EXPECT_EQ(timer.OutstandingPeriods().at(16), 1);
  StartClock(50);
  timer.ClearCalls();
  playPosition = 0;
  theSong.info.repeatEnd = 100;
  ASSERT_TRUE(timer.Fire(clockTimerId));
  EXPECT_EQ(playPosition, 1);
  EXPECT_EQ(timer.Calls(), Calls{"Sleep(1)"});
  StopClock();
  EXPECT_TRUE(timer.OutstandingPeriods().empty());
}

void AdvanceInsideTick() {
  StopPlayback();
  SeekMeasure(0);
  StartPlayback();
}

TEST_F(EngineTest, AdvanceInsideTickLeavesExactlyOneEvent) {
  Start();
  TickHooks hooks;
  hooks.advanceSong = AdvanceInsideTick;
  InstallTickHooks(hooks);
  SeekMeasure(0);
  StartPlayback();
  const uint32_t first = clockTimerId;
  loopCount = 1;
  masterVolume = 1;  // the next tick of the fade advances
  ASSERT_TRUE(timer.Fire(first));
  EXPECT_EQ(timer.LiveEvents(), std::vector<uint32_t>{clockTimerId});
  EXPECT_NE(clockTimerId, first);
  EXPECT_EQ(timer.OutstandingPeriods().size(), 1u);
  EXPECT_EQ(playPosition, 1);
  StopPlayback();
  EXPECT_TRUE(timer.LiveEvents().empty());
  EXPECT_TRUE(timer.OutstandingPeriods().empty());
}

}  // namespace
}  // namespace engine_test
