#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/songc/songc.h"

namespace {

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The 16-bit samples of a PCM WAV file (all channels interleaved).
std::vector<int16_t> WavSamples(const std::string& wav) {
  std::vector<int16_t> out;
  if (wav.size() < 12 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(8, 4, "WAVE") != 0)
    return out;
  size_t p = 12;
  while (p + 8 <= wav.size()) {
    uint32_t size = static_cast<uint8_t>(wav[p + 4]) | (static_cast<uint8_t>(wav[p + 5]) << 8) |
                    (static_cast<uint8_t>(wav[p + 6]) << 16) |
                    (static_cast<uint32_t>(static_cast<uint8_t>(wav[p + 7])) << 24);
    if (wav.compare(p, 4, "data") == 0) {
      size_t n = std::min<size_t>(size, wav.size() - p - 8) / 2;
      out.resize(n);
      for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(static_cast<uint8_t>(wav[p + 8 + 2 * i]) |
                                      (static_cast<uint8_t>(wav[p + 9 + 2 * i]) << 8));
      return out;
    }
    p += 8 + size + (size & 1);
  }
  return out;
}

TEST(BuiltinSongsRendered, NoClippingAndLoudnessWithinSixDecibels) {
  double loudest = 0, quietest = 1e9;
  std::string loudName, quietName;
  int songs = 0;
  for (const auto& e : std::filesystem::directory_iterator(VEXOLIN_SONGS_DIR)) {
    if (e.path().extension() != ".song") continue;
    std::string name = e.path().stem().string();
    SCOPED_TRACE(name);
    songc::CompileResult r = songc::Compile(ReadAll(e.path()), e.path().string());
    ASSERT_TRUE(r.ok);
    std::string qek = std::string(VEXOLIN_RENDER_OUT) + "/" + name + ".qek";
    std::string wav = std::string(VEXOLIN_RENDER_OUT) + "/" + name + ".wav";
    {
      std::ofstream out(qek, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(r.image.data()),
                static_cast<std::streamsize>(r.image.size()));
    }
    std::string command = std::string("\"") + VEXOLIN_RENDER + "\" \"" + qek + "\" -o \"" + wav +
                          "\" > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<int16_t> s = WavSamples(ReadAll(wav));
    ASSERT_GT(s.size(), 48000u * 2 * 40) << "shorter than 40 s";
    size_t full = 0;
    double sum = 0;
    for (int16_t v : s) {
      if (v >= 32767 || v <= -32767) ++full;
      sum += static_cast<double>(v) * v;
    }
    EXPECT_LE(full, s.size() / 2000) << full << " samples at full scale";
    double rms = std::sqrt(sum / static_cast<double>(s.size()));
    EXPECT_GT(rms, 0);
    if (rms > loudest) loudest = rms, loudName = name;
    if (rms < quietest) quietest = rms, quietName = name;
    ++songs;
  }
  ASSERT_GT(songs, 0);
  EXPECT_LE(20 * std::log10(loudest / quietest), 6.0) << loudName << " against " << quietName;
}

}  // namespace
