#include "platform/wav_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace platform {
namespace {

uint32_t Le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

TEST(WavWriter, HeaderAndChunksWithTheCountUpFront) {
  std::ostringstream stream;
  WavWriter writer;
  ASSERT_TRUE(writer.Open(stream, 48000, 3u));
  int16_t first[4] = {1, -1, 0x1234, -32768};
  int16_t second[2] = {32767, 7};
  ASSERT_TRUE(writer.Append(first, 2));
  ASSERT_TRUE(writer.Append(second, 1));
  ASSERT_TRUE(writer.Finish());
  std::string s = stream.str();
  ASSERT_EQ(s.size(), 44u + 12u);
  EXPECT_EQ(s.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(s, 4), 36u + 12u);
  EXPECT_EQ(s.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(s, 16), 16u);
  EXPECT_EQ(Le32(s, 20), 1u | 2u << 16);  // PCM, stereo
  EXPECT_EQ(Le32(s, 24), 48000u);
  EXPECT_EQ(Le32(s, 28), 192000u);
  EXPECT_EQ(Le32(s, 32), 4u | 16u << 16);
  EXPECT_EQ(s.substr(36, 4), "data");
  EXPECT_EQ(Le32(s, 40), 12u);
  EXPECT_EQ(std::string(s.begin() + 44, s.begin() + 50),
            std::string("\x01\x00\xff\xff\x34\x12", 6));
  EXPECT_EQ(static_cast<uint8_t>(s[50]), 0x00);
  EXPECT_EQ(static_cast<uint8_t>(s[51]), 0x80);
}

TEST(WavWriter, PatchesSizesOnAFileAndReportsMismatches) {
  std::string path = testing::TempDir() + "mixer_wav_test.wav";
  {
    WavWriter writer;
    ASSERT_TRUE(writer.Open(path, 44100));
    int16_t frames[200] = {};
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer.Append(frames, 100));
    ASSERT_TRUE(writer.Finish());
  }
  std::ifstream in(path, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(s.size(), 44u + 2000u);
  EXPECT_EQ(Le32(s, 4), 36u + 2000u);
  EXPECT_EQ(Le32(s, 40), 2000u);
  std::remove(path.c_str());

  std::ostringstream stream;
  WavWriter shortWriter;
  ASSERT_TRUE(shortWriter.Open(stream, 48000, 10u));
  int16_t one[2] = {};
  shortWriter.Append(one, 1);
  EXPECT_FALSE(shortWriter.Finish());
  EXPECT_NE(shortWriter.Error().find("announced"), std::string::npos);

  WavWriter nowhere;
  EXPECT_FALSE(nowhere.Open("/nonexistent-dir/x.wav", 48000));
  EXPECT_FALSE(nowhere.Error().empty());
  EXPECT_FALSE(nowhere.Append(one, 1));
}

}  // namespace
}  // namespace platform
