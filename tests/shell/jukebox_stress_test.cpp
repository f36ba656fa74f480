// The juke-box on the real engine, song table and built-in songs, with the software mixer as
// sound system and timer: thousands of commands from the UI thread against ticks rendered as
// fast as the mixer can run them on a second thread, with fades and advances inside the
// ticks. Run under ThreadSanitizer: no data race, no deadlock, and exactly one clock running
// at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/menu.h"
#include "platform/mixer.h"
#include "platform/player_lock.h"
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

// Written inside ticks, read by the test under the player lock.
uint64_t ticks = 0;
uint64_t advances = 0;

void CountingStepTickMarker() {
  ++ticks;
  StepTickMarker();
}
void CountingAdvanceSong() {
  ++advances;
  AdvanceSong();
}

// Moves the current song to its last measure before the repeat end, so the wrap and the fade
// after it come within a few dozen ticks.
void SeekNearTheEnd() {
  PlayerLock lock;
  const int32_t measure = theSong.info.beatsPerMeasure * theSong.info.stepsPerBeat;
  SeekMeasure(theSong.info.repeatEnd / measure - 1);
}

TEST(JukeboxStress, CommandsAgainstRealTicksFadesAndAdvances) {
  RegisterEmbeddedResources();
  Mixer mixer(48000);
  InstallTimerService(&mixer);
  InstallSoundSystem(&mixer);
  ConnectEngineToSoundDevice();
  InstallTickHooks({CountingStepTickMarker, CountingAdvanceSong});

  WindowHandle window = shelltest::CreateMainWindowForTests("jukebox stress");
  ASSERT_NE(window, nullptr);
  {
    PlayerLock lock;
    CreateBackBuffer(window);
    ASSERT_EQ(StartSoundDevice(window), 1);
    mainWindow = window;
  }
  SendMessage(window, WM_ACTIVATEAPP, 1, 0);

  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::vector<int16_t> out(2 * 480);
    while (!done.load(std::memory_order_acquire)) mixer.Render(out.data(), 480);  // 10 ms
  });

  const uint32_t songs[] = {40005, 40013, 40021, 40027, 40018, 40016};
  constexpr int kRounds = 2000;
  for (int i = 0; i < kRounds; ++i) {
    switch (i % 8) {
      case 0:
        SendMessage(window, WM_COMMAND, kCmdPlay, 0);
        break;
      case 1:
      case 5:
        SendMessage(window, WM_COMMAND, songs[i % 6], 0);
        break;
      case 2:
        SendMessage(window, WM_COMMAND, kCmdOneSongOnly, 0);
        break;
      case 3:
        SeekNearTheEnd();
        break;
      case 4:
        SendMessage(window, WM_COMMAND, kCmdStop, 0);
        break;
      case 6:
        SendMessage(window, WM_PAINT, 0, 0);
        break;
      case 7:
        SendMessage(window, WM_COMMAND, kCmdStepMarker, 0);
        break;
    }
  }

  // Then fades that run to their end while the UI thread keeps painting: wait, in rendered
  // samples and never by the clock on the wall, for three advances made inside ticks.
  {
    PlayerLock lock;
    if (oneSongOnly) ToggleOneSongOnly(window);
  }
  SendMessage(window, WM_COMMAND, kCmdPlay, 0);
  uint64_t advancesBefore;
  {
    PlayerLock lock;
    advancesBefore = advances;
  }
  const uint64_t limit = mixer.SamplesRendered() + 48000ull * 600;  // 10 minutes of music
  for (uint64_t seen = advancesBefore; seen < advancesBefore + 3;) {
    SeekNearTheEnd();
    const int32_t row = currentSongIndex;
    while (true) {
      SendMessage(window, WM_PAINT, 0, 0);
      PlayerLock lock;
      if (advances > seen) break;
      ASSERT_LT(mixer.SamplesRendered(), limit) << "no advance from row " << row;
    }
    PlayerLock lock;
    seen = advances;
  }
  done.store(true, std::memory_order_release);
  audio.join();

  // Exactly one clock: over ten tick waits of rendered audio, exactly ten ticks.
  std::vector<int16_t> out;
  {
    PlayerLock lock;
    if (!oneSongOnly) ToggleOneSongOnly(window);
    const size_t frames = static_cast<size_t>(theSong.info.tickWait) * 48 * 10;
    out.resize(2 * frames);
    const uint64_t before = ticks;
    mixer.Render(out.data(), frames);
    EXPECT_EQ(ticks - before, 10u);
    EXPECT_GT(advances, advancesBefore);
    EXPECT_GE(currentSongIndex, 0);
    EXPECT_LT(currentSongIndex, kSongCount);
  }
  // Stopped: no clock is left.
  SendMessage(window, WM_COMMAND, kCmdStop, 0);
  {
    PlayerLock lock;
    const uint64_t before = ticks;
    mixer.Render(out.data(), out.size() / 2);
    EXPECT_EQ(ticks, before);
  }

  {
    PlayerLock lock;
    StopSoundDevice();
  }
  InstallTickHooks({});
  DestroyWindow(window);
  mainWindow = nullptr;
  ResetScreenForTests();
  UnregisterClass("jukebox stress", nullptr);
  InstallSoundSystem(nullptr);
  InstallTimerService(nullptr);
}

}  // namespace
