// The song object: reset defaults, pools, and the settings exchange.
#include "tests/engine/engine_fixture.h"

namespace engine_test {
namespace {

TEST_F(EngineTest, ResetGivesDefaultsAndFreshPools) {
  for (const TrackInfo& t : theSong.info.tracks) {
    EXPECT_EQ(t.notePool, nullptr);
    EXPECT_EQ(t.firstNote, nullptr);
  }
  theSong.info.tracks[3].waveNumber = 9;
  Start();
  const SongInfo& info = theSong.info;
  EXPECT_EQ(info.tickWait, 128);
  EXPECT_EQ(info.beatsPerMeasure, 4);
  EXPECT_EQ(info.stepsPerBeat, 4);
  EXPECT_EQ(info.noteCapacity, 4096);
  EXPECT_EQ(info.repeatStart, 0);
  EXPECT_EQ(info.repeatEnd, 4080);
  for (int t = 0; t < kTrackCount; ++t) {
    const TrackInfo& track = info.tracks[t];
    EXPECT_EQ(track.freqAdjust, 1000);
    EXPECT_EQ(track.waveNumber, 0);
    EXPECT_EQ(track.oneShot, 0);
    EXPECT_EQ(track.firstNote, nullptr);
    ASSERT_NE(track.notePool, nullptr);
    for (int i : {0, 1, 4095}) {
      const NoteEvent& e = track.notePool[i];
      EXPECT_EQ(e.prev, nullptr);
      EXPECT_EQ(e.next, nullptr);
      EXPECT_EQ(e.length, 0);
      EXPECT_EQ(e.key, NoChange);
      EXPECT_EQ(e.volume, NoChange);
      EXPECT_EQ(e.pan, NoChange);
    }
    EXPECT_EQ(theSong.trackMute[t], 0);
  }
  for (int d = 0; d < 8; ++d) EXPECT_NE(drumBuffers[d], nullptr);
  for (int t = 0; t < 8; ++t) EXPECT_NE(melodyBuffers[t][0][0], nullptr);
}

TEST_F(EngineTest, ApplyInfoCopiesSelectedGroupsOnly) {
  Start();
  SongInfo before{};
  theSong.CopyInfo(before);
  EXPECT_EQ(before.noteCapacity, 4096);
  SongInfo source = before;
  source.tickWait = 77;
  source.beatsPerMeasure = 3;
  source.stepsPerBeat = 6;
  source.noteCapacity = 12;
  source.repeatStart = 5;
  source.repeatEnd = 9;
  for (int t = 0; t < kTrackCount; ++t) {
    source.tracks[t].freqAdjust = static_cast<uint16_t>(900 + t);
    source.tracks[t].waveNumber = static_cast<uint8_t>(t + 1);
    source.tracks[t].oneShot = 1;
  }
  const size_t mark = sound.Mark();
  EXPECT_TRUE(theSong.ApplyInfo(source, 0));
  EXPECT_TRUE(theSong.ApplyInfo(source, 0x04 | 0x80 | 0x100));
  EXPECT_EQ(theSong.info.tickWait, 128);
  EXPECT_EQ(theSong.info.repeatEnd, 4080);
  EXPECT_EQ(theSong.info.tracks[0].waveNumber, 0);

  EXPECT_TRUE(theSong.ApplyInfo(source, InfoFreqAdjust));
  EXPECT_EQ(theSong.info.tracks[7].freqAdjust, 907);
  EXPECT_EQ(theSong.info.tracks[8].freqAdjust, 1000);
  EXPECT_EQ(theSong.info.tracks[0].oneShot, 0);

  EXPECT_TRUE(theSong.ApplyInfo(source, 0xFFFFFFFFu));
  EXPECT_EQ(theSong.info.tickWait, 77);
  EXPECT_EQ(theSong.info.beatsPerMeasure, 3);
  EXPECT_EQ(theSong.info.stepsPerBeat, 6);
  EXPECT_EQ(theSong.info.repeatStart, 5);
  EXPECT_EQ(theSong.info.repeatEnd, 9);
  EXPECT_EQ(theSong.info.noteCapacity, 4096);
  EXPECT_EQ(theSong.info.tracks[15].waveNumber, 16);
  EXPECT_EQ(theSong.info.tracks[15].oneShot, 1);
  EXPECT_EQ(theSong.info.tracks[15].freqAdjust, 1000);
  EXPECT_NE(theSong.info.tracks[0].notePool, nullptr);
  EXPECT_TRUE(sound.CallsSince(mark).empty());  // no voice rebuilt

  SongInfo out{};
  out.tracks[2].notePool = reinterpret_cast<NoteEvent*>(&out);
  theSong.CopyInfo(out);
  EXPECT_EQ(out.tracks[2].notePool, reinterpret_cast<NoteEvent*>(&out));
  EXPECT_EQ(out.tickWait, 77);
  EXPECT_EQ(out.tracks[4].waveNumber, 5);
}

}  // namespace
}  // namespace engine_test
