// A minimal engine for the stress test: the control operations run one periodic timer event
// on the installed timer service, and every tick steps the screen's marker and, every few
// ticks, advances the juke-box from inside the tick, as the fade's last tick does.
#include "tests/shell/stress_engine.h"

#include <set>

#include "engine/engine.h"
#include "platform/timer.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "shell/song_table.h"

int32_t loopCount = 0;
int32_t masterVolume = 127;
int32_t noteTicksLeft[8] = {};
int32_t trackVolume[16] = {};
int32_t oneSongOnly = 0;

const SongEntry songTable[kSongCount] = {
    {"\x81\xF4 A", "S0", 40027},  {"\x81\xF4 B", "S1", 40026},  {"\x81\xF4 C", "S2", 40025},
    {"\x81\xF4 D", "S3", 40024},  {"\x81\xF4 E", "S4", 40023},  {"\x81\xF4 F", "S5", 40022},
    {"\x81\xF4 G", "S6", 40021},  {"\x81\xF4 H", "S7", 40020},  {"\x81\xF4 I", "S8", 40019},
    {"\x81\xF4 J", "S9", 40018},  {"\x81\xF4 K", "S10", 40016}, {"\x81\xF4 L", "S11", 40015},
    {"\x81\xF4 M", "S12", 40014}, {"\x81\xF4 N", "S13", 40013}, {"\x81\xF4 O", "S14", 40005},
};

namespace stresstest {
StressState state;
}
using stresstest::state;

namespace {
void Tick(uint32_t timerId, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
  ++state.ticks;
  state.lastTickTimer = timerId;
  // A tick of a killed event would be a tick against replaced state.
  if (timerId != state.runningTimer) ++state.staleTicks;
  StepTickMarker();
  if (oneSongOnly == 0 && ++loopCount >= 5) {
    ++state.advances;
    AdvanceSong();
  }
}
}  // namespace

int StartEngine(platform::SoundDevice*) {
  return 1;
}
int LoadSong(const char*) {
  ++state.loads;
  return 1;
}
void SeekMeasure(int32_t) {}
int32_t GetPlayPosition() {
  return 0;
}
void StartPlayback() {
  loopCount = 0;
  masterVolume = 127;
  state.runningTimer = platform::TimeSetEvent(1, 10, Tick, 0, platform::TIME_PERIODIC);
  if (state.runningTimer != 0) ++state.liveEvents;
}
int SetMasterVolume(int32_t) {
  return 0;
}
void StopPlayback() {
  if (state.runningTimer != 0 &&
      platform::TimeKillEvent(state.runningTimer) == platform::TIMERR_NOERROR) {
    --state.liveEvents;
  }
  state.runningTimer = 0;
}
void ReleaseSong() {}
void ConnectEngineToSoundDevice() {}
void InstallTickHooks(const TickHooks&) {}
