// Songs played end to end through the real sound device, engine, clock and voices on the
// offline output, checked in samples: onsets on their tick's frame, the wrap, the fade and
// the hand-over to the next song, and repeatable output.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/engine/offline_fixture.h"

namespace engine_test {
namespace {

constexpr float kMelodyFloat = kMelodyLevel / 128.0f;
constexpr float kDrumFloat = (kDrumSample - 128) / 128.0f;

int32_t Millibels(int32_t volume) {
  return (volume - 255) * 8;
}

// The position that tick k (k = 1, 2, ...) plays, for a song started at position 0.
int32_t PositionOfTick(int64_t k, int32_t repeatStart, int32_t repeatEnd) {
  const int64_t played = k - 1;
  if (played < repeatEnd) return static_cast<int32_t>(played);
  return static_cast<int32_t>(repeatStart + (played - repeatEnd) % (repeatEnd - repeatStart));
}

TEST_F(OfflineRenderTest, EveryOnsetLandsOnTheFrameOfItsTick) {
  constexpr uint32_t kRate = 44100;
  constexpr uint16_t kWait = 87;  // 3836.7 frames: the clock must not round per tick
  SongSpec s;
  s.tickWait = kWait;
  s.repeatEnd = 64;
  s.tracks[0].events = {{0, 45, 1, 200, 6},
                        {5, 50, 2, 200, 6},
                        {11, 45, 1, 200, 6},
                        {23, 60, 1, 200, 6},
                        {40, 45, 1, 200, 6}};
  s.tracks[3].events = {{14, 30, 1, 150, 6}, {35, 70, 1, 150, 6}};
  s.tracks[8].events = {{2, 40, 1, 200, 6},
                        {8, 40, 1, 200, 6},
                        {17, 50, 1, 200, 6},
                        {30, 40, 1, 200, 6},
                        {47, 30, 1, 200, 6}};
  s.tracks[13].events = {{20, 40, 1, 100, 6}, {44, 40, 1, 100, 6}};
  AddSong("ONSETS", MakeSong(s));
  Start(kRate);
  oneSongOnly = 1;
  Play("ONSETS");
  const std::vector<int16_t> out = Render(TickFrame(0, 52, kWait, kRate));

  std::vector<uint64_t> expected;
  for (int t : {0, 3, 8, 13}) {
    for (const Ev& e : s.tracks[t].events)
      expected.push_back(TickFrame(0, e.position + 1, kWait, kRate));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Onsets(out), expected);

  // The key-on, its volume and its pan take effect on the onset frame itself.
  const uint64_t melody = TickFrame(0, 1, kWait, kRate);
  EXPECT_EQ(out[2 * melody - 2], 0);
  EXPECT_NEAR(out[2 * melody], ExpectedSample(kMelodyFloat, Millibels(200)), 1);
  EXPECT_EQ(out[2 * melody + 1], out[2 * melody]);
  const uint64_t drum = TickFrame(0, 21, kWait, kRate);
  EXPECT_NEAR(out[2 * drum], ExpectedSample(kDrumFloat, Millibels(100)), 1);
  EXPECT_EQ(out[2 * drum + 1], out[2 * drum]);
}

TEST_F(OfflineRenderTest, WrapGoesBackToTheRepeatStart) {
  constexpr uint32_t kRate = 22050;
  constexpr uint16_t kWait = 93;
  constexpr int32_t kStart = 4;
  constexpr int32_t kEnd = 10;
  SongSpec s;
  s.tickWait = kWait;
  s.repeatStart = kStart;
  s.repeatEnd = kEnd;
  // Position 1 lies before the repeat start and 12 past the repeat end.
  s.tracks[8].events = {
      {1, 40, 1, 200, 6}, {5, 40, 1, 200, 6}, {9, 40, 1, 200, 6}, {12, 40, 1, 200, 6}};
  s.tracks[2].events = {{7, 45, 1, 200, 6}};
  AddSong("WRAP", MakeSong(s));
  Start(kRate);
  oneSongOnly = 1;
  Play("WRAP");
  constexpr int64_t kTicks = 40;
  const std::vector<int16_t> out = Render(TickFrame(0, kTicks + 1, kWait, kRate) - 1);

  std::vector<uint64_t> expected;
  int wraps = 0;
  for (int64_t k = 1; k <= kTicks; ++k) {
    const int32_t position = PositionOfTick(k, kStart, kEnd);
    if (position == kEnd - 1) ++wraps;
    if (position == 1 || position == 5 || position == 9 || position == 7)
      expected.push_back(TickFrame(0, k, kWait, kRate));
  }
  EXPECT_EQ(expected.size(), 19u);  // 1, 5, 7, 9 once, then 5, 7, 9 on five more passes
  EXPECT_EQ(Onsets(out), expected);
  EXPECT_EQ(loopCount, wraps);
  EXPECT_EQ(GetPlayPosition(), PositionOfTick(kTicks + 1, kStart, kEnd));
  EXPECT_EQ(masterVolume, 127);
}

// What the juke-box does at the bottom of a fade: stop, load the next song, rewind, start.
void AdvanceToNext() {
  StopPlayback();
  LoadSong("NEXT");
  SeekMeasure(0);
  StartPlayback();
}

TEST_F(OfflineRenderTest, FadeTakesSixtyFourTicksThenTheNextSongStartsInTheSameTick) {
  constexpr uint32_t kRate = 44100;
  constexpr uint16_t kWait = 91;
  constexpr uint16_t kNextWait = 60;
  constexpr int32_t kEnd = 8;
  SongSpec first;
  first.tickWait = kWait;
  first.repeatStart = 1;
  first.repeatEnd = kEnd;
  // One long note keyed once; the event past the repeat end keeps its volume refreshed.
  first.tracks[0].events = {{0, 45, 255, 200, 6}, {100, 45, 1, 200, 6}};
  SongSpec next;
  next.tickWait = kNextWait;
  next.tracks[9].events = {{0, 40, 1, 200, 6}, {1, 40, 1, 200, 6}, {3, 40, 1, 200, 6}};
  AddSong("FIRST", MakeSong(first));
  AddSong("NEXT", MakeSong(next));
  Start(kRate);
  TickHooks hooks;
  hooks.advanceSong = AdvanceToNext;
  InstallTickHooks(hooks);
  oneSongOnly = 0;
  Play("FIRST");

  // The pass is ticks 1 to 8; ticks 9 to 71 fade at 125 down to 1; tick 72 advances.
  constexpr int64_t kAdvanceTick = kEnd + 64;
  const uint64_t advance = TickFrame(0, kAdvanceTick, kWait, kRate);
  const std::vector<int16_t> out = Render(TickFrame(advance, 5, kNextWait, kRate));

  for (uint64_t f = 0; f < TickFrame(0, 1, kWait, kRate); ++f) ASSERT_EQ(out[2 * f], 0) << f;
  int64_t mismatches = 0;
  uint64_t firstMismatch = 0;
  for (int64_t k = 1; k < kAdvanceTick; ++k) {
    const int32_t master = k <= kEnd ? 127 : 127 - 2 * static_cast<int32_t>(k - kEnd);
    const int expected = ExpectedSample(kMelodyFloat, Millibels(200 * master / 127));
    for (uint64_t f = TickFrame(0, k, kWait, kRate); f < TickFrame(0, k + 1, kWait, kRate); ++f) {
      if (std::abs(out[2 * f] - expected) > 1 || out[2 * f + 1] != out[2 * f]) {
        if (mismatches++ == 0) firstMismatch = f;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "first at frame " << firstMismatch;
  // The last fading level (master volume 1) is still there on the frame before the advance.
  EXPECT_NEAR(out[2 * (advance - 1)], ExpectedSample(kMelodyFloat, Millibels(200 / 127)), 1);

  // From the advance on only the next song sounds, its position 0 on the advance's own
  // frame and every later position on the new clock's ticks.
  EXPECT_NEAR(out[2 * advance], ExpectedSample(kDrumFloat, Millibels(200)), 1);
  const std::vector<int16_t> tail(out.begin() + static_cast<std::ptrdiff_t>(2 * advance),
                                  out.end());
  std::vector<uint64_t> onsets;
  for (uint64_t f : Onsets(tail)) onsets.push_back(advance + f);
  EXPECT_EQ(onsets, (std::vector<uint64_t>{advance, TickFrame(advance, 1, kNextWait, kRate),
                                           TickFrame(advance, 3, kNextWait, kRate)}));
  EXPECT_EQ(loopCount, 0);
  EXPECT_EQ(masterVolume, 127);
  EXPECT_EQ(theSong.info.tickWait, kNextWait);
}

// Every track busy: melody notes of every length, one-shot and sustained, moving pans and
// volumes, and a drum hit on every track on every tick.
SongSpec BusySong() {
  SongSpec s;
  s.tickWait = 47;
  s.repeatStart = 8;
  s.repeatEnd = 40;
  for (int t = 0; t < 16; ++t) {
    TrackSpec& track = s.tracks[t];
    track.waveNumber = static_cast<uint8_t>(t < 8 ? 1 + t * 11 : 0);
    track.oneShot = t == 3 ? 1 : 0;
    track.freqAdjust = static_cast<uint16_t>(t < 8 ? 900 + 25 * t : 1000);
    for (int32_t p = 0; p < 48; ++p) {
      if (t < 8 && (p + t) % 3 != 0) continue;
      const uint8_t key =
          static_cast<uint8_t>(t < 8 ? 20 + (p * 7 + t * 5) % 60 : 20 + (p + t) % 40);
      track.events.push_back({p, key, static_cast<uint8_t>((p + t) % 4),
                              static_cast<uint8_t>(60 + (p * 13 + t) % 190),
                              static_cast<uint8_t>((p + t) % 13)});
    }
  }
  return s;
}

TEST_F(OfflineRenderTest, TwoRendersOfTheSameSongAreByteIdentical) {
  constexpr uint32_t kRate = 48000;
  const SongSpec s = BusySong();
  AddSong("BUSY", MakeSong(s));
  auto render = [&](std::vector<size_t> chunks) {
    Start(kRate);
    oneSongOnly = 0;
    TickHooks hooks;
    hooks.advanceSong = StopPlayback;
    InstallTickHooks(hooks);
    Play("BUSY");
    const size_t frames = TickFrame(0, s.repeatEnd + 64 + 10, s.tickWait, kRate);
    std::vector<int16_t> out;
    size_t done = 0;
    for (size_t i = 0; done < frames; ++i) {
      const size_t n = std::min(chunks[i % chunks.size()], frames - done);
      const std::vector<int16_t> part = Render(n);
      out.insert(out.end(), part.begin(), part.end());
      done += n;
    }
    return out;
  };
  const std::vector<int16_t> a = render({1u << 20});
  const std::vector<int16_t> b = render({1, 7, 1000, 4093, 2255});
  ASSERT_EQ(a.size(), b.size());
  EXPECT_TRUE(a == b);
  const auto loud = std::count_if(a.begin(), a.end(), [](int16_t v) { return v != 0; });
  EXPECT_GT(loud, static_cast<std::ptrdiff_t>(a.size() / 2));  // a render that sounds
}

}  // namespace
}  // namespace engine_test
