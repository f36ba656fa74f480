// The juke-box on the real engine, song table and built-in resources, with the recording
// sound system and timer: the clock event a song choice starts, the fade at the end of one
// pass advancing down the popup inside its last tick, one song repeating for ever, the marker
// stepping on every tick, and Stop leaving no clock running.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/testing/recording_sound.h"
#include "platform/testing/recording_timer.h"
#include "platform/text.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "resources/embedded.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "shell/main_window.h"
#include "shell/song_table.h"
#include "song/song.h"
#include "sound/sound.h"
#include "tests/shell/main_window_for_tests.h"

using namespace platform;

namespace {

std::string Title(WindowHandle window) {
  char text[300] = {};
  GetWindowText(window, text, sizeof text);
  return text;
}

class JukeboxEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterEmbeddedResources(); }

  void SetUp() override {
    ResetSoundOutputForTests();
    ResetEngineForTests();
    ResetSongForTests();
    ResetJukeboxForTests();
    oneSongOnly = 0;
    appActive = 0;
    sound_.Install();
    InstallTimerService(&timer_);
    ConnectEngineToSoundDevice();
    InstallTickHooks({StepTickMarker, AdvanceSong});

    window_ = shelltest::CreateMainWindowForTests("jukebox engine test");
    ASSERT_NE(window_, nullptr);
    ASSERT_NE(GetMenu(window_), nullptr);
    CreateBackBuffer(window_);
    ASSERT_EQ(StartSoundDevice(window_), 1);
    mainWindow = window_;
  }

  void TearDown() override {
    StopPlayback();
    StopSoundDevice();
    InstallTickHooks({});
    InstallTimerService(nullptr);
    InstallSoundSystem(nullptr);
    ResetSongForTests();
    ResetEngineForTests();
    ResetSoundOutputForTests();
    ResetScreenForTests();
    DestroyWindow(window_);
    mainWindow = nullptr;
    UnregisterClass("jukebox engine test", nullptr);
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) {
    }
  }

  void Command(uint32_t id) { SendMessage(window_, WM_COMMAND, id, 0); }
  HMENU Popup() { return GetSubMenu(GetMenu(window_), kSongPopupPosition); }
  bool IsDefault(int row) {
    return (GetMenuState(Popup(), static_cast<uint32_t>(songTable[row].commandId), MF_BYCOMMAND) &
            MF_DEFAULT) != 0;
  }
  // The one clock event running; fails the test unless exactly one is live.
  uint32_t RunningClock() {
    const std::vector<uint32_t> live = timer_.LiveEvents();
    EXPECT_EQ(live.size(), 1u);
    return live.empty() ? 0 : live.front();
  }
  // The header of the song resource of `row`, read from its bytes: the tick wait and the
  // repeat range.
  struct Header {
    uint16_t tickWait = 0;
    int32_t repeatStart = 0, repeatEnd = 0;
  };
  static Header InfoOf(int row) {
    ResourceData song;
    Header header;
    EXPECT_TRUE(FindResource("QEK", songTable[row].resourceName, &song)) << row;
    if (song.size < kSongHeaderSize) return header;
    auto at32 = [&](size_t at) {
      return static_cast<int32_t>(song.data[at] | song.data[at + 1] << 8 | song.data[at + 2] << 16 |
                                  static_cast<uint32_t>(song.data[at + 3]) << 24);
    };
    header.tickWait = static_cast<uint16_t>(song.data[6] | song.data[7] << 8);
    header.repeatStart = at32(10);
    header.repeatEnd = at32(14);
    return header;
  }

  RecordingSoundSystem sound_;
  RecordingTimer timer_;
  WindowHandle window_ = nullptr;
};

TEST_F(JukeboxEngineTest, PlayStartsTheTopRowsClockAndTheFadeAdvancesWithinItsLastTick) {
  Command(kCmdPlay);
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_EQ(Title(window_), ToShiftJis("Vexolin [演奏中]"));
  const Header top = InfoOf(14);
  EXPECT_EQ(theSong.info.tickWait, top.tickWait);
  EXPECT_EQ(theSong.info.repeatEnd, top.repeatEnd);
  uint32_t clock = RunningClock();
  EXPECT_EQ(timer_.EventDelay(clock), top.tickWait);
  EXPECT_EQ(playPosition, 0);

  // One pass to the repeat end, then 63 ticks of fade; the next tick advances.
  const int ticksBeforeAdvance = top.repeatEnd + 63;
  for (int tick = 1; tick <= ticksBeforeAdvance; ++tick) {
    ASSERT_TRUE(timer_.Fire(clock)) << tick;
    ASSERT_EQ(currentSongIndex, 14) << tick;
  }
  EXPECT_EQ(masterVolume, 1);
  ASSERT_TRUE(timer_.Fire(clock));
  // The advance ran inside that tick: row 13 is loaded, at position 0, at full volume, on a
  // new clock event with its own tick wait; the old event is gone.
  EXPECT_EQ(currentSongIndex, 13);
  EXPECT_TRUE(IsDefault(13));
  EXPECT_FALSE(IsDefault(14));
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(loopCount, 0);
  const Header next = InfoOf(13);
  EXPECT_EQ(theSong.info.repeatEnd, next.repeatEnd);
  EXPECT_FALSE(timer_.Fire(clock));
  const uint32_t nextClock = RunningClock();
  EXPECT_NE(nextClock, clock);
  EXPECT_EQ(timer_.EventDelay(nextClock), next.tickWait);
  // The title keeps the play state; the menu bar still offers Stop.
  EXPECT_EQ(Title(window_), ToShiftJis("Vexolin [演奏中]"));
  EXPECT_EQ(GetMenuItemID(GetMenu(window_), 0), static_cast<int32_t>(kCmdStop));

  // Stop: no clock left running, the menu bar offers Play again.
  Command(kCmdStop);
  EXPECT_TRUE(timer_.LiveEvents().empty());
  EXPECT_EQ(Title(window_), ToShiftJis("Vexolin [停止中]"));
  EXPECT_EQ(GetMenuItemID(GetMenu(window_), 0), static_cast<int32_t>(kCmdPlay));
}

TEST_F(JukeboxEngineTest, RowZeroAdvancesToTheTopAndEveryRowLoadsItsSong) {
  for (int row = 0; row < kSongCount; ++row) {
    Command(static_cast<uint32_t>(songTable[row].commandId));
    ASSERT_EQ(currentSongIndex, row);
    const Header info = InfoOf(row);
    EXPECT_EQ(theSong.info.tickWait, info.tickWait) << row;
    EXPECT_EQ(theSong.info.repeatStart, info.repeatStart) << row;
    EXPECT_EQ(theSong.info.repeatEnd, info.repeatEnd) << row;
    EXPECT_EQ(timer_.EventDelay(RunningClock()), info.tickWait) << row;
  }
  // Row 0's fade ends in row 14.
  Command(static_cast<uint32_t>(songTable[0].commandId));
  const uint32_t clock = RunningClock();
  const int ticks = theSong.info.repeatEnd + 64;
  for (int tick = 1; tick <= ticks; ++tick) ASSERT_TRUE(timer_.Fire(clock)) << tick;
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_TRUE(IsDefault(14));
  EXPECT_EQ(timer_.EventDelay(RunningClock()), InfoOf(14).tickWait);
}

TEST_F(JukeboxEngineTest, OneSongOnlyRepeatsTheSongAtFullVolume) {
  Command(kCmdOneSongOnly);
  ASSERT_EQ(oneSongOnly, 1);
  Command(static_cast<uint32_t>(songTable[4].commandId));
  const uint32_t clock = RunningClock();
  const int32_t loopLength = theSong.info.repeatEnd - theSong.info.repeatStart;
  const int ticks = theSong.info.repeatEnd + 3 * loopLength;
  for (int tick = 1; tick <= ticks; ++tick) {
    ASSERT_TRUE(timer_.Fire(clock)) << tick;
    ASSERT_EQ(masterVolume, 127) << tick;
  }
  EXPECT_EQ(currentSongIndex, 4);
  // The first pass wrapped after repeatEnd ticks, and each loop once more.
  EXPECT_EQ(loopCount, 4);
  EXPECT_EQ(playPosition, theSong.info.repeatStart);
  EXPECT_EQ(RunningClock(), clock);

  // Turned off after the song has wrapped: the fade starts with the next tick.
  Command(kCmdOneSongOnly);
  ASSERT_EQ(oneSongOnly, 0);
  for (int tick = 1; tick <= 63; ++tick) {
    ASSERT_TRUE(timer_.Fire(clock));
    ASSERT_EQ(masterVolume, 127 - 2 * tick);
  }
  EXPECT_EQ(currentSongIndex, 4);
  ASSERT_TRUE(timer_.Fire(clock));
  EXPECT_EQ(currentSongIndex, 3);
}

TEST_F(JukeboxEngineTest, TheMarkerStepsOnEveryTickWhileActiveAndStopsWithTheClock) {
  SendMessage(window_, WM_ACTIVATEAPP, 1, 0);
  Command(kCmdPlay);
  const uint32_t clock = RunningClock();
  const int32_t start = markerX;
  for (int tick = 1; tick <= 5; ++tick) {
    ASSERT_TRUE(timer_.Fire(clock));
    EXPECT_EQ(markerX, start + 8 * tick) << tick;
  }
  SendMessage(window_, WM_ACTIVATEAPP, 0, 0);
  ASSERT_TRUE(timer_.Fire(clock));
  EXPECT_EQ(markerX, start + 40);
  SendMessage(window_, WM_ACTIVATEAPP, 1, 0);
  Command(kCmdStop);
  EXPECT_FALSE(timer_.Fire(clock));
  EXPECT_EQ(markerX, start + 40);
  // Every resolution request the clock made was ended with its own value.
  int begun = 0, ended = 0;
  for (const std::string& call : timer_.Calls()) {
    if (call.rfind("BeginPeriod(", 0) == 0) ++begun;
    if (call.rfind("EndPeriod(", 0) == 0) ++ended;
  }
  EXPECT_EQ(begun, 1);
  EXPECT_EQ(ended, 1);
}

}  // namespace
