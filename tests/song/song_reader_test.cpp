// The song readers: exact reading of both versions, and refusal of bad images leaving the
// loaded song exactly as it was.
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/message_box.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

namespace engine_test {
namespace {

struct RecordingBoxes : platform::MessageBoxSink {
  int Show(platform::WindowHandle, const char* text, const char* caption, uint32_t) override {
    shown.push_back(platform::ToUtf8(caption) + "|" + platform::ToUtf8(text));
    return platform::IDOK;
  }
  std::vector<std::string> shown;
};

SongSpec Sample() {
  SongSpec s;
  s.tickWait = 120;
  s.beatsPerMeasure = 4;
  s.stepsPerBeat = 3;
  s.repeatStart = 12;
  s.repeatEnd = 48;
  s.tracks[0] = {
      950, 7, 1, {{0, 45, 2, 200, 6}, {3, 47, 1, 100, 2}, {9, NoChange, 1, 50, 255}}, -1};
  s.tracks[5] = {1000, 99, 0, {{-2, 30, 4, 10, 1}, {4, 31, 4, 11, 12}}, -1};
  s.tracks[9] = {1000, 1, 0, {{0, 40, 1, 220, 6}}, -1};
  return s;
}

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

class ReaderTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    platform::InstallMessageBoxSink(&boxes);
  }
  void TearDown() override {
    platform::InstallMessageBoxSink(nullptr);
    EngineTest::TearDown();
  }
  // Everything a refused load must leave alone.
  struct Snapshot {
    SongInfo info;
    std::vector<NoteEvent> events[kTrackCount];
    NoteEvent* cursors[kTrackCount];
    int32_t position;
  };
  Snapshot Take() const {
    Snapshot s{};
    s.info = theSong.info;
    for (int t = 0; t < kTrackCount; ++t) {
      for (const NoteEvent* e = theSong.info.tracks[t].firstNote; e; e = e->next) {
        s.events[t].push_back(*e);
      }
      s.cursors[t] = trackCursor[t];
    }
    s.position = playPosition;
    return s;
  }
  void ExpectSame(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(std::memcmp(&a.info, &b.info, sizeof a.info), 0);
    for (int t = 0; t < kTrackCount; ++t) {
      ASSERT_EQ(a.events[t].size(), b.events[t].size()) << t;
      for (size_t i = 0; i < a.events[t].size(); ++i) {
        EXPECT_EQ(std::memcmp(&a.events[t][i], &b.events[t][i], sizeof(NoteEvent)), 0);
      }
      EXPECT_EQ(a.cursors[t], b.cursors[t]);
    }
    EXPECT_EQ(a.position, b.position);
  }
  RecordingBoxes boxes;
};

TEST_F(ReaderTest, ReadsEveryFieldAndLinksChains) {
  resources.AddSong("SAMPLE", MakeSong(Sample()));
  Start();
  ASSERT_TRUE(theSong.LoadResource("sample"));
  const SongInfo& info = theSong.info;
  EXPECT_EQ(info.tickWait, 120);
  EXPECT_EQ(info.stepsPerBeat, 3);
  EXPECT_EQ(info.repeatStart, 12);
  EXPECT_EQ(info.repeatEnd, 48);
  EXPECT_EQ(info.noteCapacity, 4096);
  EXPECT_EQ(info.tracks[0].freqAdjust, 950);
  EXPECT_EQ(info.tracks[0].waveNumber, 7);
  EXPECT_EQ(info.tracks[0].oneShot, 1);
  const NoteEvent* pool = info.tracks[0].notePool;
  ASSERT_EQ(info.tracks[0].firstNote, pool);
  EXPECT_EQ(pool[0].prev, nullptr);
  EXPECT_EQ(pool[0].next, &pool[1]);
  EXPECT_EQ(pool[1].prev, &pool[0]);
  EXPECT_EQ(pool[2].next, nullptr);
  EXPECT_EQ(pool[1].position, 3);
  EXPECT_EQ(pool[1].key, 47);
  EXPECT_EQ(pool[1].length, 1);
  EXPECT_EQ(pool[1].volume, 100);
  EXPECT_EQ(pool[1].pan, 2);
  EXPECT_EQ(pool[2].key, NoChange);
  EXPECT_EQ(pool[2].pan, NoChange);
  // The cursor is the first event at or after 0.
  EXPECT_EQ(trackCursor[5], &info.tracks[5].notePool[1]);
  EXPECT_EQ(trackCursor[0], pool);
  EXPECT_EQ(playPosition, 0);
  EXPECT_EQ(info.tracks[1].firstNote, nullptr);
  for (int t = 0; t < kTrackCount; ++t) EXPECT_EQ(theSong.trackMute[t], 0);

  // Version 1: one-shot bytes are read as sustained; an empty track resets firstNote.
  SongSpec v1 = Sample();
  v1.mark = "Qek-01";
  v1.tracks[0].events.clear();
  resources.AddSong("V1", MakeSong(v1));
  ASSERT_TRUE(theSong.LoadResource("V1"));
  EXPECT_EQ(theSong.info.tracks[0].oneShot, 0);
  EXPECT_EQ(theSong.info.tracks[0].firstNote, nullptr);
  EXPECT_EQ(trackCursor[0], nullptr);
}

TEST_F(ReaderTest, EmptySongRebuildsVoicesAndDrumPastTableKeepsItsSound) {
  SongSpec s;
  s.tracks[8].waveNumber = 2;  // SNARE01
  s.tracks[9].waveNumber = 12;
  const std::vector<uint8_t> image = MakeSong(s);
  ASSERT_EQ(image.size(), 114u);
  resources.AddSong("EMPTY", image);
  Start();
  platform::SoundBuffer* kept = drumBuffers[1];
  platform::SoundBuffer* replaced = drumBuffers[0];
  const int created = sound.BuffersCreated();
  ASSERT_TRUE(theSong.LoadResource("EMPTY"));
  for (const TrackInfo& t : theSong.info.tracks) EXPECT_EQ(t.firstNote, nullptr);
  EXPECT_EQ(drumBuffers[1], kept);
  EXPECT_NE(drumBuffers[0], replaced);
  EXPECT_EQ(sound.BufferOf(drumBuffers[0]).bytes.size(), 300u);  // the snare image
  EXPECT_EQ(sound.BufferOf(kept).bytes.size(), 400u);            // still Bass01
  // 8 melody tracks × 16 buffers and 7 drum sounds rebuilt.
  EXPECT_EQ(sound.BuffersCreated() - created, 8 * 16 + 7);
  EXPECT_EQ(playPosition, 0);
}

TEST_F(ReaderTest, RefusedImagesLeaveTheSongAsItWas) {
  resources.AddSong("GOOD", MakeSong(Sample()));
  SongSpec over = Sample();
  over.tracks[3].countOverride = 4097;
  resources.AddSong("OVER", MakeSong(over));
  std::vector<uint8_t> shortImage = MakeSong(Sample());
  shortImage.pop_back();
  resources.AddSong("SHORT", shortImage);
  std::vector<uint8_t> longImage = MakeSong(Sample());
  longImage.push_back(0);
  resources.AddSong("LONG", longImage);
  std::vector<uint8_t> badMark = MakeSong(Sample());
  badMark[5] = '3';
  resources.AddSong("BADMARK", badMark);
  resources.AddSong("HEADER", std::vector<uint8_t>(badMark.begin(), badMark.begin() + 50));
  resources.AddSong("TINY", std::vector<uint8_t>{'Q', 'e', 'k'});

  // Without pools nothing is read.
  EXPECT_FALSE(theSong.LoadResource("GOOD"));
  Start();
  ASSERT_TRUE(theSong.LoadResource("GOOD"));
  SeekMeasure(1);
  const Snapshot before = Take();
  const size_t mark = sound.Mark();
  for (const char* name : {"OVER", "SHORT", "LONG", "BADMARK", "HEADER", "TINY", "MISSING"}) {
    EXPECT_FALSE(theSong.LoadResource(name)) << name;
    ExpectSame(before, Take());
  }
  EXPECT_EQ(LoadSong("OVER"), 0);
  ExpectSame(before, Take());
  EXPECT_TRUE(sound.CallsSince(mark).empty());
  EXPECT_TRUE(boxes.shown.empty());

  const char* reason = nullptr;
  const std::vector<uint8_t> overImage = MakeSong(over);
  EXPECT_FALSE(CheckSongImage(overImage.data(), overImage.size(), 4096, &reason));
  EXPECT_NE(reason, nullptr);
  const std::vector<uint8_t> good = MakeSong(Sample());
  EXPECT_TRUE(CheckSongImage(good.data(), good.size(), 4096, nullptr));
  EXPECT_FALSE(CheckSongImage(good.data(), good.size(), 2, nullptr));  // track 0 holds 3

  // Files: refused the same way, with the message boxes.
  EXPECT_FALSE(theSong.LoadFile((::testing::TempDir() + "no-such-song.qek").c_str()));
  EXPECT_FALSE(theSong.LoadFile(WriteFile("short.qek", shortImage).c_str()));
  EXPECT_FALSE(theSong.LoadFile(WriteFile("badmark.qek", badMark).c_str()));
  EXPECT_FALSE(theSong.LoadFile(WriteFile("huge.qek", std::vector<uint8_t>(600000, 0)).c_str()));
  ExpectSame(before, Take());
  EXPECT_TRUE(sound.CallsSince(mark).empty());
  EXPECT_EQ(boxes.shown, (std::vector<std::string>{"Error (Load)|ファイルにアクセスできません",
                                                   "Error (Load)|このファイルは使えません",
                                                   "Error (Load)|このファイルは使えません",
                                                   "Error (Load)|このファイルは使えません"}));

  ASSERT_TRUE(theSong.LoadFile(WriteFile("good.qek", good).c_str()));
  EXPECT_EQ(theSong.info.tickWait, 120);
  EXPECT_EQ(playPosition, 0);
}

}  // namespace
}  // namespace engine_test
