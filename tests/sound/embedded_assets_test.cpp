// The built-in waveform table and drum sounds, through the sound output's own loaders.
#include <gtest/gtest.h>

#include <vector>

#include "platform/mixer.h"
#include "platform/offline_output.h"
#include "platform/resources.h"
#include "platform/testing/recording_sound.h"
#include "resources/embedded.h"
#include "sound/sound.h"

namespace {

int StartEngineStandIn(platform::SoundDevice* device) {
  engineDevice = device;
  return device != nullptr;
}

class EmbeddedAssetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterEmbeddedResources();
    ResetSoundOutputForTests();
    InstallEngineHooks({StartEngineStandIn, nullptr, nullptr});
  }
  void TearDown() override {
    platform::InstallSoundSystem(nullptr);
    InstallEngineHooks({});
    ResetSoundOutputForTests();
  }
};

TEST_F(EmbeddedAssetsTest, DrumSamplesAndWaveTableLoad) {
  platform::RecordingSoundSystem sys;
  sys.Install();
  ASSERT_EQ(StartSoundDevice(nullptr), 1);
  platform::ResourceData table;
  ASSERT_TRUE(platform::FindResource("WAVE", "WAVEDATA", &table));
  EXPECT_EQ(table.size, 25600u);
  ASSERT_EQ(LoadWaveTable(), 1);
  // Waveform 0 is close to a sine that falls first.
  int low = 0, high = 0, lowAt = 0, highAt = 0;
  for (int i = 0; i < 256; ++i) {
    if (waveTable[0][i] < low) low = waveTable[0][i], lowAt = i;
    if (waveTable[0][i] > high) high = waveTable[0][i], highAt = i;
  }
  EXPECT_LT(lowAt, highAt);
  EXPECT_LT(low, -40);
  EXPECT_GT(high, 40);

  const uint32_t lengths[12] = {1334,  2404, 3535, 4868, 2990, 973,
                                18832, 8419, 1582, 889,  1953, 3111};
  for (int wave = 0; wave < 12; ++wave) {
    ASSERT_EQ(LoadDrumResource(drumSampleNames[wave], wave % 8), 1) << drumSampleNames[wave];
    const auto st = sys.BufferOf(drumBuffers[wave % 8]);
    EXPECT_EQ(st.bytes.size(), lengths[wave]) << drumSampleNames[wave];
    EXPECT_EQ(+st.format.wFormatTag, 1);
    EXPECT_EQ(+st.format.nChannels, 1);
    EXPECT_EQ(+st.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(+st.format.wBitsPerSample, 8);
  }
  EXPECT_EQ(sys.AliveBuffers().size(), 1u + 8);  // primary + one per drum track
}

TEST_F(EmbeddedAssetsTest, BuiltInSoundsOnTheMixer) {
  constexpr uint32_t kRate = 48000;
  platform::Mixer mixer{kRate};
  platform::OfflineOutput output{mixer};
  platform::InstallSoundSystem(&mixer);
  ASSERT_EQ(StartSoundDevice(nullptr), 1);
  ASSERT_EQ(LoadWaveTable(), 1);
  ASSERT_EQ(BuildMelodyVoice(0, 0, 0), 1);

  auto pitch = [&](uint8_t key) {
    PlayMelodyLooped(key, kNoteOn, 0, 1000);
    output.Render(kRate / 50);  // the previous note's last cycle
    const auto s = output.Render(kRate);
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < kRate; ++i) {
      const int a = s[2 * (i - 1)], b = s[2 * i];
      if (a < 0 && b >= 0) {
        const double at = static_cast<double>(i - 1) + -a / double(b - a);
        if (first < 0) first = at;
        last = at;
        ++crossings;
      }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) / (last - first) * kRate;
  };
  EXPECT_NEAR(pitch(45), 440.0, 440.0 * 0.003);
  EXPECT_NEAR(pitch(36), 262.0, 262.0 * 0.003);
  PlayMelodyLooped(0, kNoteRelease, 0, 0);
  output.Render(kRate / 50);
  ASSERT_EQ(mixer.PlayingBuffers(), 0u);

  // "Bass01" at key 27 plays for 1334 / 21700 s.
  ASSERT_EQ(LoadDrumResource("Bass01", 0), 1);
  PlayDrum(27, 1, 0);
  const size_t frames = 1334u * kRate / 21700u;  // 2950
  output.Render(frames - 2);
  EXPECT_EQ(mixer.PlayingBuffers(), 1u);
  output.Render(4);
  EXPECT_EQ(mixer.PlayingBuffers(), 0u);
  StopSoundDevice();
}

}  // namespace
