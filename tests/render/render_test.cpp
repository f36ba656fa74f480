// Runs the built vexolin-render on small song files made here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Temp(const std::string& name) {
  return ::testing::TempDir() + "render_" + name;
}

// tickWait 100 ms, repeat 0..16, one melody and one drum track.
std::vector<uint8_t> SmallSong(int repeatStart = 0, int repeatEnd = 16) {
  std::vector<uint8_t> v = {'Q', 'e', 'k', '-', '0', '2', 100, 0, 4, 4};
  for (int x : {repeatStart, repeatEnd})
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
  for (int t = 0; t < 16; ++t) {
    const uint8_t n = t == 0 ? 2 : 0;
    for (uint8_t b : {uint8_t{0xE8}, uint8_t{3}, uint8_t{0}, uint8_t{0}, n, uint8_t{0}})
      v.push_back(b);
  }
  for (int p : {0, 8})
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(p >> (8 * i)));
  for (uint8_t b : {45, 47, 2, 2, 200, 200, 6, 6}) v.push_back(b);
  return v;
}

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = Temp(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

int RunTool(const std::string& args) {
  const int status =
      std::system((std::string(VEXOLIN_RENDER) + " " + args + " 2>/dev/null").c_str());
  // std::system gives the shell's wait status: the exit code sits in its second byte.
  return status < 0 ? -1 : (status >> 8) & 0xFF;
}

std::vector<uint8_t> Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

TEST(RenderTool, ExitCodesHeaderFrameCountsAndRepeatability) {
  const std::string song = Write("song.qek", SmallSong());
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("--rate 7999 " + song), 2);
  EXPECT_EQ(RunTool("--mute 16 " + song), 2);
  EXPECT_EQ(RunTool("--bogus " + song), 2);
  EXPECT_EQ(RunTool(Temp("missing.qek")), 1);
  std::vector<uint8_t> cut = SmallSong();
  cut.pop_back();
  EXPECT_EQ(RunTool(Write("cut.qek", cut) + " -o " + Temp("cut.wav")), 1);

  // Default end: (16 + 64) ticks of 100 ms at 48000 = 384000 frames.
  ASSERT_EQ(RunTool(song + " -o " + Temp("a.wav")), 0);
  const std::vector<uint8_t> a = Read(Temp("a.wav"));
  ASSERT_GE(a.size(), 44u);
  EXPECT_EQ(std::string(a.begin(), a.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 12), "WAVE");
  EXPECT_EQ(a[20] | (a[21] << 8), 1);  // PCM
  EXPECT_EQ(a[22] | (a[23] << 8), 2);  // stereo
  EXPECT_EQ(U32(a, 24), 48000u);
  EXPECT_EQ(a[34] | (a[35] << 8), 16);  // bits
  EXPECT_EQ(U32(a, 40), 384000u * 4);
  EXPECT_EQ(a.size(), 44u + 384000u * 4);

  ASSERT_EQ(RunTool(song + " -o " + Temp("b.wav")), 0);
  EXPECT_EQ(Read(Temp("b.wav")), a);
  ASSERT_EQ(RunTool(song + " -o - > " + Temp("c.wav")), 0);
  EXPECT_EQ(Read(Temp("c.wav")), a);

  // --seconds: floor(S × rate); --loops 2 at 22050: tick 16 + 16 + 1 starts at
  // floor(33 × 100 × 22050 / 1000).
  ASSERT_EQ(RunTool(song + " --seconds 1.5 --rate 8000 -o " + Temp("s.wav")), 0);
  EXPECT_EQ(U32(Read(Temp("s.wav")), 40), 12000u * 4);
  ASSERT_EQ(RunTool(song + " --loops 2 --rate 22050 -o " + Temp("l.wav")), 0);
  EXPECT_EQ(U32(Read(Temp("l.wav")), 40), 72765u * 4);
  const std::string loopSong = Write("loop.qek", SmallSong(4, 16));
  ASSERT_EQ(RunTool(loopSong + " --loops 3 --rate 10000 -o " + Temp("l3.wav")), 0);
  EXPECT_EQ(U32(Read(Temp("l3.wav")), 40), (16u + 12 + 12 + 1) * 1000 * 4);

  // --info prints the header and the tracks, and renders nothing.
  ASSERT_EQ(RunTool(song + " --info -o " + Temp("none.wav") + " > " + Temp("info.txt")), 0);
  const std::vector<uint8_t> info = Read(Temp("info.txt"));
  const std::string text(info.begin(), info.end());
  EXPECT_NE(text.find("tickWait 100 ms"), std::string::npos);
  EXPECT_NE(text.find("repeatEnd 16"), std::string::npos);
  EXPECT_NE(text.find("    0    0       0       1000      2     0    8"), std::string::npos);
  EXPECT_TRUE(Read(Temp("none.wav")).empty());
}

}  // namespace
