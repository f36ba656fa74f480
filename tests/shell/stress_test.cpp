// Thousands of commands from the UI thread against ticks rendered as fast as the mixer can
// run them on a second thread, with juke-box advances inside the ticks: no data race (run
// under ThreadSanitizer), no deadlock, no tick of a killed clock, and exactly one clock
// running at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/menu.h"
#include "platform/mixer.h"
#include "platform/player_lock.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "shell/main_window.h"
#include "tests/shell/stress_engine.h"

using namespace platform;
using stresstest::state;

namespace {

HMENU MakeMainMenu() {
  HMENU bar = CreateMenu();
  AppendMenu(bar, MF_STRING, kCmdPlay, "play");
  HMENU popup = CreatePopupMenu();
  AppendMenu(popup, MF_STRING, kCmdPlaceholder, "dummy");
  AppendMenu(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenu(popup, MF_STRING, kCmdOneSongOnly, "one");
  AppendMenu(bar, MF_POPUP, reinterpret_cast<uintptr_t>(popup), "songs");
  AppendMenu(bar, MF_STRING, kCmdExit, "exit");
  return bar;
}

TEST(ShellStress, CommandsAgainstTicksAndAdvances) {
  Mixer mixer(48000);
  InstallTimerService(&mixer);
  WNDCLASSEX windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.lpszClassName = "stress";
  ASSERT_NE(RegisterClassEx(&windowClass), 0);
  WindowHandle window = CreateWindowEx(0, "stress", InitialTitleText(), WS_CAPTION, 0, 0, 320, 260,
                                       nullptr, MakeMainMenu(), nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  {
    PlayerLock lock;
    mainWindow = window;
    CreateBackBuffer(window);
  }
  SendMessage(window, WM_ACTIVATEAPP, 1, 0);

  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::vector<int16_t> out(2 * 48);
    while (!done.load(std::memory_order_acquire)) mixer.Render(out.data(), 48);  // 1 ms
  });

  const uint32_t songs[] = {40005, 40013, 40021, 40027, 40018};
  constexpr int kRounds = 3000;
  for (int i = 0; i < kRounds; ++i) {
    switch (i % 6) {
      case 0:
        SendMessage(window, WM_COMMAND, kCmdPlay, 0);
        break;
      case 1:
      case 3:
        SendMessage(window, WM_COMMAND, songs[i % 5], 0);
        break;
      case 2:
        SendMessage(window, WM_COMMAND, kCmdOneSongOnly, 0);
        break;
      case 4:
        SendMessage(window, WM_COMMAND, kCmdStop, 0);
        break;
      case 5:
        SendMessage(window, WM_PAINT, 0, 0);
        break;
    }
  }
  done.store(true, std::memory_order_release);
  audio.join();

  // Advances from inside ticks, for certain: 30 ticks with one-song-only off.
  SendMessage(window, WM_COMMAND, 40027, 0);
  {
    PlayerLock lock;
    if (oneSongOnly) ToggleOneSongOnly(window);
  }
  std::vector<int16_t> out(2 * 48);
  for (int i = 0; i < 30; ++i) mixer.Render(out.data(), 48);
  // Then one song for ever: every tick must come from the one clock still running.
  {
    PlayerLock lock;
    ToggleOneSongOnly(window);
    ASSERT_EQ(oneSongOnly, 1);
  }
  std::set<uint32_t> timers;
  {
    PlayerLock lock;
    state.lastTickTimer = 0;
  }
  for (int i = 0; i < 200; ++i) {
    mixer.Render(out.data(), 48);
    PlayerLock lock;
    if (state.lastTickTimer != 0) timers.insert(state.lastTickTimer);
  }
  {
    PlayerLock lock;
    EXPECT_EQ(state.staleTicks, 0u);
    EXPECT_EQ(state.liveEvents, 1);
    EXPECT_NE(state.runningTimer, 0u);
    EXPECT_GT(state.ticks, 0u);
    EXPECT_GT(state.advances, 0u);
    EXPECT_EQ(timers.size(), 1u);
    EXPECT_EQ(*timers.begin(), state.runningTimer);
    EXPECT_GE(state.loads, static_cast<uint64_t>(kRounds / 2));
    EXPECT_GE(currentSongIndex, 0);
    EXPECT_LT(currentSongIndex, 15);
    StopPlayback();
    EXPECT_EQ(state.liveEvents, 0);
  }
  const uint64_t ticks = state.ticks;
  for (int i = 0; i < 20; ++i) mixer.Render(out.data(), 48);
  EXPECT_EQ(state.ticks, ticks);  // no clock is left

  DestroyWindow(window);
  mainWindow = nullptr;
  ResetScreenForTests();
  UnregisterClass("stress", nullptr);
  InstallTimerService(nullptr);
}

}  // namespace
