// What the voices sound like: offline renders of the software mixer, measured in samples.
#include <cstdlib>
#include <vector>

#include "platform/mixer.h"
#include "platform/offline_output.h"
#include "sound_fixture.h"

namespace sound_test {
namespace {

constexpr uint32_t kRate = 48000;

class SoundAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSoundOutputForTests();
    InstallEngineHooks({StandInStartEngine, nullptr, nullptr});
    platform::RegisterResources(TestResources().data(), TestResources().size());
    platform::InstallSoundSystem(&mixer);
    ASSERT_EQ(StartSoundDevice(nullptr), 1);
    ASSERT_EQ(LoadWaveTable(), 1);
  }
  void TearDown() override {
    StopSoundDevice();
    platform::InstallSoundSystem(nullptr);
    platform::UnregisterResources(TestResources().data());
    InstallEngineHooks({});
    ResetSoundOutputForTests();
  }

  // The left channel of `frames` rendered frames.
  std::vector<int> RenderLeft(size_t frames) {
    const auto stereo = output.Render(frames);
    std::vector<int> left(frames);
    for (size_t i = 0; i < frames; ++i) left[i] = stereo[2 * i];
    return left;
  }

  platform::Mixer mixer{kRate};
  platform::OfflineOutput output{mixer};
};

// Pitch from the rising zero crossings, placed between samples by linear interpolation.
double MeasuredPitch(const std::vector<int>& s) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = static_cast<double>(i - 1) + -s[i - 1] / double(s[i] - s[i - 1]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) / (last - first) * kRate;
}

// Number of samples up to and including the last one that is not silent.
size_t SoundingLength(const std::vector<int>& s) {
  for (size_t i = s.size(); i > 0; --i)
    if (s[i - 1] != 0) return i;
  return 0;
}

TEST_F(SoundAudioTest, SustainedNotesSoundAtTheirPitch) {
  ASSERT_EQ(BuildMelodyVoice(0, 0, 0), 1);
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  const double a = MeasuredPitch(RenderLeft(kRate));
  EXPECT_NEAR(a, 440.0, 440.0 * 0.003);

  PlayMelodyLooped(36, kNoteOn, 0, 1000);  // C of row 3, on the other buffer
  RenderLeft(kRate / 100);                 // the old buffer finishes its cycle
  const double c = MeasuredPitch(RenderLeft(kRate));
  EXPECT_NEAR(c, 262.0, 262.0 * 0.003);

  // A row higher doubles the pitch with half the cycle length.
  PlayMelodyLooped(57, kNoteOn, 0, 1000);
  RenderLeft(kRate / 100);
  EXPECT_NEAR(MeasuredPitch(RenderLeft(kRate)), 880.0, 880.0 * 0.003);

  // Released: it ends within one cycle and stays silent.
  PlayMelodyLooped(0, kNoteRelease, 0, 0);
  RenderLeft(kRate / 100);
  EXPECT_EQ(SoundingLength(RenderLeft(kRate / 10)), 0u);
}

TEST_F(SoundAudioTest, OneShotAndDrumLengths) {
  ASSERT_EQ(BuildMelodyVoice(0, 20, 1), 1);
  PlayMelodyOneShot(45, kNoteOn, 0, 1000);
  const auto note = RenderLeft(kRate / 10);
  const double expected = 2048.0 / 56320.0 * kRate;  // 1745.45
  EXPECT_NEAR(static_cast<double>(SoundingLength(note)), expected, 2.0);
  EXPECT_NE(note[100], 0);

  ASSERT_EQ(LoadDrumResource("Bass01", 0), 1);
  PlayDrum(27, 1, 0);
  const auto hit = RenderLeft(kRate / 5);
  EXPECT_NEAR(static_cast<double>(SoundingLength(hit)), 1334.0 / 21700.0 * kRate, 2.0);

  // A retrigger restarts the sample: the render repeats the first hit sample for sample.
  PlayDrum(27, 1, 0);
  RenderLeft(1000);
  PlayDrum(27, 1, 0);
  const auto again = RenderLeft(kRate / 5);
  EXPECT_EQ(again, hit);
}

}  // namespace
}  // namespace sound_test
