// Shared set-up of the offline render tests: the real sound device, engine, clock and voices
// on the software mixer, pulled through the offline output as vexolin-render does.
//
// Waveform 0 is a constant level and the drum sound a short constant burst, so the output is
// silent between notes, each note starts with a non-zero sample, and the level inside a tick
// is flat. Waveforms 1 to 99 are ramps, for songs that only need to sound busy.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "platform/mixer.h"
#include "platform/offline_output.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "song/song.h"
#include "sound/sound.h"
#include "tests/engine/engine_fixture.h"

namespace engine_test {

inline constexpr int8_t kMelodyLevel = 100;  // every waveform sample
inline constexpr uint8_t kDrumSample = 192;  // unsigned 8-bit, +0.5
inline constexpr uint32_t kDrumFrames = 200;

// Frame at which the k-th tick (k = 1, 2, ...) of a clock started at frame `start` runs.
inline uint64_t TickFrame(uint64_t start, int64_t k, uint32_t tickWait, uint32_t rate) {
  return start + static_cast<uint64_t>(k) * tickWait * rate / 1000;
}

// The output sample of a constant `level` (-1 to 1) at `millibels`, centre pan.
inline int ExpectedSample(float level, int32_t millibels) {
  const float gain = static_cast<float>(std::pow(10.0, millibels / 2000.0));
  return static_cast<int>(std::lround(level * gain * 32768.0f));
}

// The frames of the left channel at which a sound starts: a non-zero sample after at least
// `gap` silent frames (or at the start).
inline std::vector<uint64_t> Onsets(const std::vector<int16_t>& stereo, size_t gap = 64) {
  std::vector<uint64_t> onsets;
  size_t silent = gap;
  for (size_t f = 0; f < stereo.size() / 2; ++f) {
    if (stereo[2 * f] == 0) {
      ++silent;
      continue;
    }
    if (silent >= gap) onsets.push_back(f);
    silent = 0;
  }
  return onsets;
}

class OfflineRenderTest : public ::testing::Test {
 protected:
  OfflineRenderTest() : waveTable_(25600, static_cast<uint8_t>(kMelodyLevel)) {
    for (size_t i = 256; i < waveTable_.size(); ++i) waveTable_[i] = static_cast<uint8_t>(i * 7);
    drum_ = MakeDrumImage(kDrumFrames, 0);
    std::memset(drum_.data() + 58, kDrumSample, kDrumFrames);
    base_ = {{"WAVE", "WAVEDATA", waveTable_.data(), waveTable_.size()},
             {"WAVE", "BASS01", drum_.data(), drum_.size()}};
    platform::RegisterResources(base_.data(), base_.size());
  }
  ~OfflineRenderTest() override {
    platform::UnregisterResources(base_.data());
    for (auto& table : songTables_) platform::UnregisterResources(table.data());
  }
  void TearDown() override { Stop(); }

  // Opens the sound device on a new mixer at `rate`, which starts the engine.
  void Start(uint32_t rate) {
    Stop();
    ResetSoundOutputForTests();
    ResetEngineForTests();
    ResetSongForTests();
    mixer_ = std::make_unique<platform::Mixer>(rate);
    output_ = std::make_unique<platform::OfflineOutput>(*mixer_);
    platform::InstallSoundSystem(mixer_.get());
    platform::InstallTimerService(mixer_.get());
    ConnectEngineToSoundDevice();
    ASSERT_EQ(StartSoundDevice(nullptr), 1);
  }
  // Stops playback and puts everything back, the mixer last.
  void Stop() {
    if (mixer_ == nullptr) return;
    StopPlayback();
    platform::InstallTimerService(nullptr);
    ResetSongForTests();
    ResetEngineForTests();
    ResetSoundOutputForTests();
    platform::InstallSoundSystem(nullptr);
    output_.reset();
    mixer_.reset();
  }
  // Registers `image` as a QEK resource `name` (names must be string literals).
  void AddSong(const char* name, std::vector<uint8_t> image) {
    images_.push_back(std::make_unique<std::vector<uint8_t>>(std::move(image)));
    songTables_.push_back({{"QEK", name, images_.back()->data(), images_.back()->size()}});
    platform::RegisterResources(songTables_.back().data(), 1);
  }
  // Loads, rewinds and starts a song as the juke-box does.
  void Play(const char* name) {
    ASSERT_EQ(LoadSong(name), 1);
    SeekMeasure(0);
    StartPlayback();
  }
  std::vector<int16_t> Render(size_t frames) { return output_->Render(frames); }

  std::unique_ptr<platform::Mixer> mixer_;
  std::unique_ptr<platform::OfflineOutput> output_;

 private:
  std::vector<uint8_t> waveTable_, drum_;
  std::vector<platform::ResourceEntry> base_;
  std::vector<std::unique_ptr<std::vector<uint8_t>>> images_;
  std::vector<std::vector<platform::ResourceEntry>> songTables_;
};

}  // namespace engine_test
