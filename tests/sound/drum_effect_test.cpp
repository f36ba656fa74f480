// Drum voices and effect slots, on the recording sound system.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sound_fixture.h"

namespace sound_test {
namespace {

using Args = std::vector<int64_t>;

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

std::vector<uint8_t> DataOf(const std::vector<uint8_t>& image) {
  const uint32_t n = image[54] | image[55] << 8 | image[56] << 16 | image[57] << 24;
  return std::vector<uint8_t>(image.begin() + 58, image.begin() + 58 + n);
}

TEST_F(SoundTest, DrumLoadBuildsExactBuffer) {
  Open();
  // wave numbers name samples 0-11 only
  EXPECT_STREQ(drumSampleNames[0], "Bass01");
  EXPECT_STREQ(drumSampleNames[2], "Snare01");
  EXPECT_STREQ(drumSampleNames[11], "Tom02");
  sys.SplitLocksAt(1000);
  const size_t mark = sys.Mark();
  ASSERT_EQ(LoadDrumResource(drumSampleNames[2], 4), 1);  // odd length 3535, padded image
  const int id = Id(drumBuffers[4]);
  const auto st = sys.Buffer(id);
  EXPECT_EQ(st.bytes, DataOf(Images().snare01));
  EXPECT_EQ(st.bytes.size(), 3535u);
  EXPECT_EQ(st.description.dwFlags, 0x80E2u);
  EXPECT_EQ(+st.format.nSamplesPerSec, 22050u);
  EXPECT_EQ(sys.Texts(mark).back(), "buf" + std::to_string(id) + ".SetCurrentPosition(0)");
  EXPECT_EQ(sys.Count(id, "Unlock", Args{1000, 2535}), 1);

  // Loading the track twice leaves exactly one buffer; the first is released.
  ASSERT_EQ(LoadDrumResource("hiclose", 4), 1);
  EXPECT_TRUE(sys.Buffer(id).released);
  EXPECT_EQ(sys.Buffer(Id(drumBuffers[4])).bytes, DataOf(Images().hiclose));

  // A file with the same bytes gives the same buffer as the resource.
  const std::string path = WriteTemp("sound_snare.wav", Images().snare01);
  ASSERT_EQ(LoadDrumFile(path.c_str(), 5), 1);
  const auto fromFile = sys.Buffer(Id(drumBuffers[5]));
  EXPECT_EQ(fromFile.bytes, st.bytes);
  EXPECT_EQ(0, std::memcmp(&fromFile.format, &st.format, sizeof st.format));
  std::remove(path.c_str());
}

TEST_F(SoundTest, DrumRefusalsLeaveTheTrackAsItWas) {
  Open();
  ASSERT_EQ(LoadDrumResource("Bass01", 0), 1);
  platform::SoundBuffer* held = drumBuffers[0];
  const size_t mark = sys.Mark();
  EXPECT_EQ(LoadDrumResource("Nothing", 0), 0);
  EXPECT_EQ(LoadDrumResource("Short", 0), 0);
  EXPECT_EQ(LoadDrumResource("Overlong", 0), 0);
  EXPECT_EQ(LoadDrumResource(nullptr, 0), 0);
  EXPECT_EQ(LoadDrumResource("Bass01", 8), 0);
  EXPECT_EQ(LoadDrumResource("Bass01", -1), 0);

  auto notRiff = Images().bass01;
  notRiff[0] = 'X';
  const std::string p1 = WriteTemp("sound_notriff.wav", notRiff);
  const std::string p2 = WriteTemp("sound_empty.wav", {});
  const std::string p3 = WriteTemp("sound_short.wav", {'R', 'I', 'F', 'F', 0, 0});
  const std::string p4 = WriteTemp("sound_overlong.wav", Images().overlong);
  EXPECT_EQ(LoadDrumFile(p1.c_str(), 0), 0);
  EXPECT_EQ(LoadDrumFile(p2.c_str(), 0), 0);
  EXPECT_EQ(LoadDrumFile(p3.c_str(), 0), 0);
  EXPECT_EQ(LoadDrumFile(p4.c_str(), 0), 0);
  EXPECT_EQ(LoadDrumFile("/nonexistent/x.wav", 0), 0);
  EXPECT_EQ(LoadDrumFile(::testing::TempDir().c_str(), 0), 0);  // a folder
  EXPECT_EQ(LoadDrumFile(nullptr, 0), 0);
  for (const auto& p : {p1, p2, p3, p4}) std::remove(p.c_str());
  EXPECT_EQ(drumBuffers[0], held);
  EXPECT_EQ(sys.Mark(), mark);  // not even a release

  // A format the device refuses: the old buffer is gone, the track empty.
  EXPECT_EQ(LoadDrumResource("BadFormat", 0), 0);
  EXPECT_EQ(drumBuffers[0], nullptr);
  EXPECT_TRUE(sys.Buffer(Id(held)).released);
  // A failed lock: the new buffer stays, unfilled.
  sys.FailLock(1);
  EXPECT_EQ(LoadDrumResource("Bass01", 0), 0);
  ASSERT_NE(drumBuffers[0], nullptr);
  EXPECT_EQ(sys.Buffer(Id(drumBuffers[0])).unlocks, 0);
  EXPECT_EQ(sys.Buffer(Id(drumBuffers[0])).bytes[1], 0);
  // A failed creation: empty.
  sys.FailBufferCreation(1);
  EXPECT_EQ(LoadDrumResource("Bass01", 0), 0);
  EXPECT_EQ(drumBuffers[0], nullptr);
  EXPECT_EQ(sys.AliveBuffers().size(), 1u);  // the primary buffer only
}

TEST_F(SoundTest, DrumSettersAndTrigger) {
  Open();
  size_t mark = sys.Mark();
  PlayDrum(27, 1, 1);  // empty track: nothing
  SetDrumFrequency(27, 1);
  SetDrumPan(6, 1);
  SetDrumVolume(255, 1);
  EXPECT_EQ(sys.Mark(), mark);

  ASSERT_EQ(LoadDrumResource("Bass01", 1), 1);
  const int id = Id(drumBuffers[1]);
  const std::pair<int, int> keys[] = {{0, 100}, {27, 21700}, {95, 76100}};
  for (auto [key, rate] : keys) {
    SetDrumFrequency(static_cast<uint8_t>(key), 1);
    EXPECT_EQ(sys.Buffer(id).frequency, static_cast<uint32_t>(rate));
  }
  mark = sys.Mark();
  for (int pan = 0; pan <= 12; ++pan) SetDrumPan(static_cast<uint8_t>(pan), 1);
  const int pans[13] = {-2560, -2130, -1700, -1270, -840, -410, 0,
                        410,   840,   1270,  1700,  2130, 2560};
  const auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 13u);
  for (int pan = 0; pan <= 12; ++pan) EXPECT_TRUE(calls[pan].Is(id, "SetPan", Args{pans[pan]}));
  mark = sys.Mark();
  SetDrumPan(13, 1);
  SetDrumPan(255, 1);
  SetDrumFrequency(27, 8);
  PlayDrum(27, 1, -1);
  EXPECT_EQ(sys.Mark(), mark);
  SetDrumVolume(255, 1);
  EXPECT_EQ(sys.Buffer(id).volume, 0);
  SetDrumVolume(200, 1);
  EXPECT_EQ(sys.Buffer(id).volume, -440);
  SetDrumVolume(0, 1);
  EXPECT_EQ(sys.Buffer(id).volume, -2040);

  const std::string b = "buf" + std::to_string(id);
  mark = sys.Mark();
  PlayDrum(27, 1, 1);
  EXPECT_EQ(sys.Texts(mark),
            (std::vector<std::string>{b + ".Stop()", b + ".SetCurrentPosition(0)",
                                      b + ".SetFrequency(21700)", b + ".Play(0,0,0)"}));
  EXPECT_TRUE(sys.Buffer(id).playing);
  mark = sys.Mark();
  PlayDrum(27, 2, 1);
  PlayDrum(27, -1, 1);
  EXPECT_EQ(sys.Mark(), mark);
  EXPECT_TRUE(sys.Buffer(id).playing);  // a sounding hit goes on
  PlayDrum(0, 0, 1);
  EXPECT_EQ(sys.Texts(mark),
            (std::vector<std::string>{b + ".Stop()", b + ".SetCurrentPosition(0)"}));
  EXPECT_FALSE(sys.Buffer(id).playing);
  ReleaseDrum(1);
  EXPECT_EQ(drumBuffers[1], nullptr);
  ReleaseDrum(1);  // empty: nothing
  ReleaseDrum(9);
}

TEST_F(SoundTest, EffectSlots) {
  Open();
  sys.SplitLocksAt(500);
  const size_t mark = sys.Mark();
  ASSERT_EQ(LoadEffectResource("Snare01", 3), 1);
  const int id = Id(effectSlots[3]);
  EXPECT_EQ(sys.Buffer(id).bytes, DataOf(Images().snare01));
  EXPECT_EQ(sys.CallsSince(mark).back().op, "Unlock");  // no rewind after the fill
  EXPECT_EQ(sys.Count(id, "SetCurrentPosition"), 0);

  SetEffectVolume(3, 300);
  EXPECT_EQ(sys.Buffer(id).volume, 0);
  SetEffectVolume(3, 255);
  EXPECT_EQ(sys.Buffer(id).volume, -360);
  SetEffectVolume(3, 0);
  EXPECT_EQ(sys.Buffer(id).volume, -2400);
  SetEffectPan(3, 256);
  EXPECT_EQ(sys.Buffer(id).pan, 0);
  SetEffectPan(3, 0);
  EXPECT_EQ(sys.Buffer(id).pan, -2560);
  SetEffectPan(3, 512);
  EXPECT_EQ(sys.Buffer(id).pan, 2560);
  SetEffectFrequency(3, 2195);
  EXPECT_EQ(sys.Buffer(id).frequency, 22050u);
  SetEffectFrequency(3, 0);
  EXPECT_EQ(sys.Buffer(id).frequency, 100u);
  // No clamping: out-of-range values reach the platform, which refuses them.
  SetEffectFrequency(3, INT32_MAX);
  EXPECT_EQ(sys.Calls().back().args, Args{UINT32_MAX});
  EXPECT_EQ(sys.Buffer(id).frequency, 100u);
  SetEffectVolume(3, INT32_MIN);
  EXPECT_EQ(sys.Calls().back().args, Args{INT32_MIN});

  const std::string b = "buf" + std::to_string(id);
  size_t m = sys.Mark();
  PlayEffect(3, -1);
  PlayEffect(3, 0);
  PlayEffect(3, -1);
  PlayEffect(3, 1);
  PlayEffect(3, 2);
  PlayEffect(3, -2);
  EXPECT_EQ(sys.Texts(m), (std::vector<std::string>{
                              b + ".Play(0,0,1)", b + ".Stop()", b + ".Play(0,0,1)", b + ".Stop()",
                              b + ".SetCurrentPosition(0)", b + ".Play(0,0,0)"}));
  // Reloading a looping slot ends that sound.
  PlayEffect(3, -1);
  ASSERT_EQ(LoadEffectResource("HiClose", 3), 1);
  EXPECT_TRUE(sys.Buffer(id).released);
  EXPECT_FALSE(sys.Buffer(Id(effectSlots[3])).playing);

  // Refusals keep the slot; bad slots do nothing.
  platform::SoundBuffer* held = effectSlots[3];
  m = sys.Mark();
  EXPECT_EQ(LoadEffectResource("Nothing", 3), 0);
  EXPECT_EQ(LoadEffectResource("Overlong", 3), 0);
  EXPECT_EQ(LoadEffectResource("Short", 3), 0);
  EXPECT_EQ(LoadEffectResource("HiClose", 8), 0);
  EXPECT_EQ(LoadEffectFile("/nonexistent/x.wav", 3), 0);
  PlayEffect(8, 1);
  PlayEffect(-1, 1);
  SetEffectVolume(9, 0);
  PlayEffect(4, 1);  // empty slot
  SetEffectPan(4, 0);
  EXPECT_EQ(sys.Mark(), m);
  EXPECT_EQ(effectSlots[3], held);

  const std::string path = WriteTemp("sound_effect.wav", Images().bass01);
  ASSERT_EQ(LoadEffectFile(path.c_str(), 6), 1);
  EXPECT_EQ(sys.Buffer(Id(effectSlots[6])).bytes, DataOf(Images().bass01));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace sound_test
