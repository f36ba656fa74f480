// Shared set-up of the sound output tests: a recording sound system, an engine stand-in that
// records the device, and small test resources (a waveform table and drum images).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/testing/recording_sound.h"
#include "sound/sound.h"

namespace sound_test {

// A sample image in the drum layout: header, `n` data bytes (value i * 7 + seed), pad.
inline std::vector<uint8_t> MakeImage(uint32_t n, uint32_t rate = 22050, uint8_t seed = 0,
                                      uint16_t channels = 1, uint16_t bits = 8) {
  std::vector<uint8_t> image(58 + n + (n & 1), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](size_t at, uint16_t v) {
    image[at] = static_cast<uint8_t>(v);
    image[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::copy_n("RIFF", 4, image.begin());
  put32(4, static_cast<uint32_t>(image.size() - 8));
  std::copy_n("WAVEfmt ", 8, image.begin() + 8);
  put32(16, 18);
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  put16(20, 1);
  put16(22, channels);
  put32(24, rate);
  put32(28, rate * align);
  put16(32, align);
  put16(34, bits);
  put16(36, 0);
  std::copy_n("fact", 4, image.begin() + 38);
  put32(42, 4);
  put32(46, n / (align ? align : 1));
  std::copy_n("data", 4, image.begin() + 50);
  put32(54, n);
  for (uint32_t i = 0; i < n; ++i) image[58 + i] = static_cast<uint8_t>(i * 7 + seed);
  return image;
}

// The test waveform table: waveform 0 is a sine falling first (peak 60); every other
// waveform w holds the pattern (i * 3 + w * 11) as a signed byte, so each resampled byte
// tells which sample it came from.
inline const std::vector<uint8_t>& TestWaveTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t(25600);
    for (int i = 0; i < 256; ++i) {
      const double v = -60.0 * std::sin(2.0 * 3.14159265358979323846 * i / 256.0);
      t[i] = static_cast<uint8_t>(static_cast<int8_t>(v < 0 ? v - 0.5 : v + 0.5));
    }
    for (int w = 1; w < 100; ++w)
      for (int i = 0; i < 256; ++i) t[w * 256 + i] = static_cast<uint8_t>(i * 3 + w * 11);
    return t;
  }();
  return table;
}

struct TestImages {
  std::vector<uint8_t> bass01 = MakeImage(1334, 22050, 1);
  std::vector<uint8_t> snare01 = MakeImage(3535, 22050, 2);  // odd length, padded
  std::vector<uint8_t> hiclose = MakeImage(973, 22050, 3);
  std::vector<uint8_t> shortImage = std::vector<uint8_t>(57, 0);
  std::vector<uint8_t> overlong = [] {
    auto v = MakeImage(100);
    v[54] = 101;  // announces one byte more than it holds
    return v;
  }();
  std::vector<uint8_t> badFormat = MakeImage(64, 22050, 4, 3, 8);  // three channels
};

inline TestImages& Images() {
  static TestImages images;
  return images;
}

inline const std::vector<platform::ResourceEntry>& TestResources() {
  static const std::vector<platform::ResourceEntry> entries = [] {
    TestImages& im = Images();
    return std::vector<platform::ResourceEntry>{
        {"WAVE", "WAVEDATA", TestWaveTable().data(), TestWaveTable().size()},
        {"WAVE", "BASS01", im.bass01.data(), im.bass01.size()},
        {"WAVE", "SNARE01", im.snare01.data(), im.snare01.size()},
        {"WAVE", "HICLOSE", im.hiclose.data(), im.hiclose.size()},
        {"WAVE", "SHORT", im.shortImage.data(), im.shortImage.size()},
        {"WAVE", "OVERLONG", im.overlong.data(), im.overlong.size()},
        {"WAVE", "BADFORMAT", im.badFormat.data(), im.badFormat.size()},
    };
  }();
  return entries;
}

// What the engine stand-in saw, in order.
inline std::vector<std::string>& EngineEvents() {
  static std::vector<std::string> events;
  return events;
}
inline platform::RecordingSoundSystem*& ActiveSystem() {
  static platform::RecordingSoundSystem* system = nullptr;
  return system;
}
inline std::vector<size_t>& EngineMarks() {
  static std::vector<size_t> marks;
  return marks;
}

inline int StandInStartEngine(platform::SoundDevice* device) {
  EngineEvents().push_back(device ? "StartEngine(device)" : "StartEngine(null)");
  engineDevice = device;
  return device ? 1 : 0;
}
inline void StandInStopPlayback() {
  EngineEvents().push_back("StopPlayback");
  EngineMarks().push_back(ActiveSystem()->Mark());
}
inline void StandInReleaseSong() {
  EngineEvents().push_back("ReleaseSong");
  EngineMarks().push_back(ActiveSystem()->Mark());
  for (int i = 0; i < 8; ++i) {
    ReleaseMelodyVoice(i);
    ReleaseDrum(static_cast<int8_t>(i));
  }
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSoundOutputForTests();
    EngineEvents().clear();
    EngineMarks().clear();
    ActiveSystem() = &sys;
    InstallEngineHooks({StandInStartEngine, StandInStopPlayback, StandInReleaseSong});
    platform::RegisterResources(TestResources().data(), TestResources().size());
    sys.Install();
  }
  void TearDown() override {
    EXPECT_EQ(sys.CallsAfterRelease(), 0);
    platform::UnregisterResources(TestResources().data());
    platform::InstallSoundSystem(nullptr);
    InstallEngineHooks({});
    ResetSoundOutputForTests();
    ActiveSystem() = nullptr;
  }

  // Opens the device (engine stand-in records it) and loads the test waveform table.
  void Open() {
    ASSERT_EQ(StartSoundDevice(nullptr), 1);
    ASSERT_EQ(LoadWaveTable(), 1);
  }
  int Id(const platform::SoundBuffer* b) const { return sys.IdOf(b); }
  int Mel(int track, int row, int pair) const { return Id(melodyBuffers[track][row][pair]); }

  platform::RecordingSoundSystem sys;
};

}  // namespace sound_test
