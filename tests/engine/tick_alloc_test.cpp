// Playing a song allocates nothing: neither a tick called directly, through wraps and a fade,
// nor the ticks that the clock runs while the offline output renders.
#include "tests/engine/offline_fixture.h"
#include "tests/support/counting_alloc.h"

namespace engine_test {
namespace {

TEST_F(OfflineRenderTest, TicksDuringPlaybackNeitherAllocateNorFree) {
  constexpr uint32_t kRate = 48000;
  SongSpec s;
  s.tickWait = 40;
  s.repeatStart = 4;
  s.repeatEnd = 24;
  for (int t = 0; t < 16; ++t) {
    s.tracks[t].oneShot = t == 5 ? 1 : 0;
    for (int32_t p = 0; p < 30; ++p) {
      const uint8_t key = static_cast<uint8_t>(t < 8 ? 10 + (p * 5 + t * 9) % 80 : 30 + p);
      s.tracks[t].events.push_back({p, key, static_cast<uint8_t>(p % 3),
                                    static_cast<uint8_t>(50 + p * 6),
                                    static_cast<uint8_t>(p % 13)});
    }
  }
  AddSong("BUSY", MakeSong(s));
  Start(kRate);
  oneSongOnly = 1;
  Play("BUSY");
  std::vector<int16_t> out(2 * 4096);
  output_->Render(out.data(), 4096);  // the first ticks, every voice used once

  // Direct ticks through many wraps, then the fade down to the tick before the advance.
  long allocations = AllocationCount();
  long releases = ReleaseCount();
  for (int i = 0; i < 500; ++i) theSong.Tick();
  oneSongOnly = 0;
  loopCount = 1;
  masterVolume = 127;
  for (int i = 0; i < 63; ++i) theSong.Tick();
  const int32_t fadedTo = masterVolume;
  const long tickAllocations = AllocationCount() - allocations;
  const long tickReleases = ReleaseCount() - releases;
  EXPECT_EQ(fadedTo, 1);
  EXPECT_EQ(tickAllocations, 0);
  EXPECT_EQ(tickReleases, 0);

  // Ticks run by the clock while rendering: about 200 of them, across wraps.
  oneSongOnly = 1;
  const int32_t wrapsBefore = loopCount;
  allocations = AllocationCount();
  releases = ReleaseCount();
  for (int i = 0; i < 96; ++i) output_->Render(out.data(), 4096);
  const long renderAllocations = AllocationCount() - allocations;
  const long renderReleases = ReleaseCount() - releases;
  EXPECT_EQ(renderAllocations, 0);
  EXPECT_EQ(renderReleases, 0);
  EXPECT_GE(loopCount - wrapsBefore, 9);  // the clock really ticked, through wraps
}

}  // namespace
}  // namespace engine_test
