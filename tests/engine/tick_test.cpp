// The tick: fade timing, note lengths, volume refresh, mutes, seeks, master volume, stop and
// resume, short repeat ranges and the engine without a device.
#include <vector>

#include "tests/engine/engine_fixture.h"

namespace engine_test {
namespace {

// The stand-in of the juke-box advance: what AdvanceSong does to the engine.
int advances = 0;
const char* nextSong = "NEXT";
void StandInAdvance() {
  ++advances;
  StopPlayback();
  LoadSong(nextSong);
  SeekMeasure(0);
  StartPlayback();
}

class TickTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    advances = 0;
  }
};

TEST_F(TickTest, FadeRunsSixtyFourTicksAndAdvancesWithinTheTick) {
  SongSpec first;
  first.repeatEnd = 8;
  // A drum event past the wrap keeps the drum track's volume refreshed every tick.
  first.tracks[8].events = {{0, 10, 1, 200, 6}, {100, 10, 1, 200, 6}};
  SongSpec next;
  next.tickWait = 90;
  next.tracks[8].events = {{0, 20, 1, 100, 3}, {5, 20, 1, 100, 3}};
  resources.AddSong("FIRST", MakeSong(first));
  resources.AddSong("NEXT", MakeSong(next));
  Start();
  TickHooks hooks;
  hooks.advanceSong = StandInAdvance;
  InstallTickHooks(hooks);
  ASSERT_EQ(LoadSong("FIRST"), 1);
  SeekMeasure(0);
  StartPlayback();

  std::vector<int32_t> volumes;
  for (int i = 0; i < 8; ++i) {
    theSong.Tick();
    volumes.push_back(masterVolume);
  }
  EXPECT_EQ(loopCount, 1);
  EXPECT_EQ(playPosition, 0);
  for (int32_t v : volumes) EXPECT_EQ(v, 127);
  const int drum0 = DrumId(0);
  for (int k = 1; k <= 63; ++k) {
    const size_t mark = sound.Mark();
    theSong.Tick();
    ASSERT_EQ(masterVolume, 127 - 2 * k);
    EXPECT_EQ(sound.Count(drum0, "SetVolume", {(200 * (127 - 2 * k) / 127) * 8 - 2040}, mark), 1);
    EXPECT_EQ(advances, 0);
  }
  const uint32_t oldEvent = clockTimerId;
  theSong.Tick();  // the 64th: advance, then the next song's position 0 at full volume
  EXPECT_EQ(advances, 1);
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(loopCount, 0);
  EXPECT_EQ(theSong.info.tickWait, 90);
  EXPECT_EQ(playPosition, 1);
  EXPECT_EQ(trackVolume[8], 100);
  EXPECT_EQ(timer.LiveEvents(), std::vector<uint32_t>{clockTimerId});
  EXPECT_NE(clockTimerId, oldEvent);
  EXPECT_EQ(timer.EventDelay(clockTimerId), 90u);
}

TEST_F(TickTest, NoteLengthsCountTicksPlayedAcrossWraps) {
  SongSpec s;
  s.repeatStart = 4;
  s.repeatEnd = 12;
  s.tracks[0].events = {{1, 45, 0, 100, 6}, {10, 40, 3, 100, 6}, {11, NoChange, 1, 77, 6}};
  resources.AddSong("S", MakeSong(s));
  Start();
  oneSongOnly = 1;
  ASSERT_EQ(LoadSong("S"), 1);
  SeekMeasure(0);
  StartPlayback();
  theSong.Tick();  // position 0
  EXPECT_EQ(currentKey[0], 255);
  theSong.Tick();  // position 1: length 0 keys on and releases in the same tick
  EXPECT_EQ(currentKey[0], 255);
  EXPECT_EQ(noteTicksLeft[0], 0);
  for (int p = 2; p <= 9; ++p) theSong.Tick();
  theSong.Tick();  // position 10: key 40, length 3
  EXPECT_EQ(currentKey[0], 40);
  EXPECT_EQ(noteTicksLeft[0], 2);
  theSong.Tick();  // position 11: NoChange key sets the volume, leaves the counter
  EXPECT_EQ(trackVolume[0], 77);
  EXPECT_EQ(noteTicksLeft[0], 1);
  EXPECT_EQ(currentKey[0], 40);
  EXPECT_EQ(playPosition, 4);  // wrapped
  EXPECT_EQ(loopCount, 1);
  theSong.Tick();  // position 4 (the 12th tick played since 10 is the third)
  EXPECT_EQ(currentKey[0], 40);
  EXPECT_EQ(noteTicksLeft[0], 0);
  theSong.Tick();  // released here, three ticks after the key-on
  EXPECT_EQ(currentKey[0], 255);
  EXPECT_EQ(masterVolume, 127);  // one song only: no fade
}

TEST_F(TickTest, VolumeRefreshStopsAfterLastEventAndMutedTracksSkipKeyOnly) {
  SongSpec s;
  s.repeatEnd = 40;
  s.tracks[8].events = {{0, 10, 1, 120, 6}};                     // last event at 0
  s.tracks[9].events = {{0, 10, 1, 90, 2}, {30, 10, 1, 90, 2}};  // events ahead
  s.tracks[1].events = {{0, 50, 5, 60, 6}};
  resources.AddSong("S", MakeSong(s));
  Start();
  ASSERT_EQ(LoadSong("S"), 1);
  theSong.trackMute[1] = 1;
  theSong.trackMute[9] = 1;
  SeekMeasure(0);
  StartPlayback();
  const int d0 = DrumId(0);
  const int d1 = DrumId(1);
  size_t mark = sound.Mark();
  theSong.Tick();
  EXPECT_EQ(sound.Count(d0, "Play", mark), 1);       // the hit
  EXPECT_EQ(sound.Count(d0, "SetVolume", mark), 0);  // cursor is now null: no refresh
  EXPECT_EQ(sound.Count(d1, "Play", mark), 0);       // muted: no hit
  EXPECT_EQ(sound.Count(d1, "SetPan", mark), 1);     // but its pan applies
  EXPECT_EQ(sound.Count(d1, "SetVolume", {90 * 8 - 2040}, mark), 1);
  EXPECT_EQ(trackVolume[1], 60);  // muted melody: volume taken, no key-on
  EXPECT_EQ(currentKey[1], 255);
  EXPECT_EQ(noteTicksLeft[1], 0);
  mark = sound.Mark();
  theSong.Tick();
  EXPECT_EQ(sound.Count(d0, "SetVolume", mark), 0);
  EXPECT_EQ(sound.Count(d1, "SetVolume", mark), 1);
}

TEST_F(TickTest, SeekMeasureMasterVolumeAndStopResume) {
  SongSpec s;
  s.repeatEnd = 64;
  s.tracks[8].events = {{0, 1, 1, 1, 1}, {31, 1, 1, 1, 1}, {32, 1, 1, 1, 1}, {40, 1, 1, 1, 1}};
  s.tracks[9].events = {{33, 1, 1, 1, 1}};
  s.tracks[10].events = {{5, 1, 1, 1, 1}};
  resources.AddSong("S", MakeSong(s));
  Start();
  ASSERT_EQ(LoadSong("S"), 1);
  SeekMeasure(2);
  EXPECT_EQ(GetPlayPosition(), 32);
  EXPECT_EQ(trackCursor[8]->position, 32);
  EXPECT_EQ(trackCursor[9]->position, 33);
  EXPECT_EQ(trackCursor[10], nullptr);

  EXPECT_EQ(SetMasterVolume(128), 0);
  EXPECT_EQ(SetMasterVolume(-1), 0);
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(SetMasterVolume(0), 1);
  EXPECT_EQ(SetMasterVolume(64), 1);
  EXPECT_EQ(masterVolume, 64);
  theSong.Tick();  // not fading: back to 127
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(GetPlayPosition(), 33);

  StartPlayback();
  loopCount = 3;  // as if fading
  SetMasterVolume(50);
  const NoteEvent* cursor = trackCursor[8];
  StopPlayback();
  EXPECT_EQ(GetPlayPosition(), 33);
  EXPECT_EQ(masterVolume, 50);
  EXPECT_EQ(loopCount, 3);
  StartPlayback();
  EXPECT_EQ(GetPlayPosition(), 33);
  EXPECT_EQ(trackCursor[8], cursor);
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(loopCount, 0);
}

TEST_F(TickTest, ShortRepeatRangeWrapsEveryTick) {
  SongSpec s;
  s.repeatStart = 5;
  s.repeatEnd = 6;
  resources.AddSong("S", MakeSong(s));
  Start();
  oneSongOnly = 1;
  ASSERT_EQ(LoadSong("S"), 1);
  SeekMeasure(0);
  for (int i = 0; i < 6; ++i) theSong.Tick();
  EXPECT_EQ(loopCount, 1);
  EXPECT_EQ(playPosition, 5);
  theSong.Tick();
  theSong.Tick();
  EXPECT_EQ(loopCount, 3);
  EXPECT_EQ(playPosition, 5);

  s.repeatStart = 7;
  s.repeatEnd = 3;  // end before start
  resources.AddSong("T", MakeSong(s));
  ASSERT_EQ(LoadSong("T"), 1);
  loopCount = 0;
  SeekMeasure(0);
  theSong.Tick();  // position 0 >= 3 after the increment? no: 1 < 3
  theSong.Tick();
  theSong.Tick();  // 3 >= 3: wrap to 7
  EXPECT_EQ(playPosition, 7);
  theSong.Tick();
  EXPECT_EQ(playPosition, 7);
  EXPECT_EQ(loopCount, 2);
}

TEST_F(TickTest, WithoutDeviceNothingRuns) {
  sound.FailDeviceCreation();
  EXPECT_EQ(StartSoundDevice(nullptr), 0);
  EXPECT_EQ(engineDevice, nullptr);
  loopCount = 5;
  masterVolume = 3;
  StartPlayback();
  EXPECT_EQ(loopCount, 0);
  EXPECT_EQ(masterVolume, 127);
  EXPECT_TRUE(timer.Calls().empty());
  EXPECT_EQ(SetMasterVolume(10), 0);
  EXPECT_EQ(LoadSong("S"), 0);
  playPosition = 7;
  EXPECT_EQ(GetPlayPosition(), 0);
  SeekMeasure(1);
  EXPECT_EQ(playPosition, 7);
  StopPlayback();
  EXPECT_TRUE(timer.Calls().empty());
  // Before any reset the song has no chains and repeatEnd 0: a tick plays nothing and
  // wraps to repeatStart.
  loopCount = 0;
  const size_t mark = sound.Mark();
  theSong.Tick();
  EXPECT_EQ(playPosition, 0);
  EXPECT_EQ(loopCount, 1);
  EXPECT_TRUE(sound.CallsSince(mark).empty());
}

}  // namespace
}  // namespace engine_test
