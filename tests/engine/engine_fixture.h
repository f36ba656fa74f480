// Shared set-up of the song and engine tests: the real sound output on the recording sound
// system, the recording timer, small test resources and a builder of song images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/resources.h"
#include "platform/testing/recording_sound.h"
#include "platform/testing/recording_timer.h"
#include "platform/timer.h"
#include "song/song.h"
#include "sound/sound.h"

namespace engine_test {

struct Ev {
  int32_t position;
  uint8_t key;
  uint8_t length;
  uint8_t volume;
  uint8_t pan;
};

struct TrackSpec {
  uint16_t freqAdjust = 1000;
  uint8_t waveNumber = 0;
  uint8_t oneShot = 0;
  std::vector<Ev> events;
  int countOverride = -1;  // stored noteCount when >= 0
};

struct SongSpec {
  const char* mark = "Qek-02";
  uint16_t tickWait = 100;
  uint8_t beatsPerMeasure = 4;
  uint8_t stepsPerBeat = 4;
  int32_t repeatStart = 0;
  int32_t repeatEnd = 16;
  TrackSpec tracks[16];
};

inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, int32_t x) {
  for (int i = 0; i < 4; ++i)
    v.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * i)));
}

inline std::vector<uint8_t> MakeSong(const SongSpec& s) {
  std::vector<uint8_t> v(s.mark, s.mark + 6);
  Put16(v, s.tickWait);
  v.push_back(s.beatsPerMeasure);
  v.push_back(s.stepsPerBeat);
  Put32(v, s.repeatStart);
  Put32(v, s.repeatEnd);
  for (const TrackSpec& t : s.tracks) {
    Put16(v, t.freqAdjust);
    v.push_back(t.waveNumber);
    v.push_back(t.oneShot);
    Put16(v, static_cast<uint16_t>(t.countOverride >= 0 ? t.countOverride : t.events.size()));
  }
  for (const TrackSpec& t : s.tracks) {
    for (const Ev& e : t.events) Put32(v, e.position);
    for (const Ev& e : t.events) v.push_back(e.key);
    for (const Ev& e : t.events) v.push_back(e.length);
    for (const Ev& e : t.events) v.push_back(e.volume);
    for (const Ev& e : t.events) v.push_back(e.pan);
  }
  return v;
}

inline std::vector<uint8_t> MakeDrumImage(uint32_t n, uint8_t seed) {
  std::vector<uint8_t> image(58 + n, 0);
  auto put32 = [&](size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(x >> (8 * i));
  };
  std::memcpy(image.data(), "RIFF", 4);
  put32(4, static_cast<uint32_t>(image.size() - 8));
  std::memcpy(image.data() + 8, "WAVEfmt ", 8);
  put32(16, 18);
  image[20] = 1;  // PCM
  image[22] = 1;  // mono
  put32(24, 22050);
  put32(28, 22050);
  image[32] = 1;
  image[34] = 8;
  std::memcpy(image.data() + 38, "fact", 4);
  put32(42, 4);
  put32(46, n);
  std::memcpy(image.data() + 50, "data", 4);
  put32(54, n);
  for (uint32_t i = 0; i < n; ++i)
    image[58 + i] = static_cast<uint8_t>(128 + ((i * 5 + seed) % 60));
  return image;
}

// Holds the test's resources: the waveform table, two drum sounds and the songs a test adds.
class TestResources {
 public:
  TestResources() : waveTable_(25600), bass_(MakeDrumImage(400, 1)), snare_(MakeDrumImage(300, 2)) {
    for (size_t i = 0; i < waveTable_.size(); ++i) waveTable_[i] = static_cast<uint8_t>(i * 13);
    base_ = {{"WAVE", "WAVEDATA", waveTable_.data(), waveTable_.size()},
             {"WAVE", "BASS01", bass_.data(), bass_.size()},
             {"WAVE", "SNARE01", snare_.data(), snare_.size()}};
    platform::RegisterResources(base_.data(), base_.size());
  }
  ~TestResources() {
    platform::UnregisterResources(base_.data());
    for (auto& table : songTables_) platform::UnregisterResources(table.data());
  }
  // Registers `image` as a QEK resource `name` (names must be string literals).
  void AddSong(const char* name, std::vector<uint8_t> image) {
    images_.push_back(std::make_unique<std::vector<uint8_t>>(std::move(image)));
    songTables_.push_back({{"QEK", name, images_.back()->data(), images_.back()->size()}});
    platform::RegisterResources(songTables_.back().data(), 1);
  }

 private:
  std::vector<uint8_t> waveTable_, bass_, snare_;
  std::vector<platform::ResourceEntry> base_;
  std::vector<std::unique_ptr<std::vector<uint8_t>>> images_;
  std::vector<std::vector<platform::ResourceEntry>> songTables_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSoundOutputForTests();
    ResetEngineForTests();
    ResetSongForTests();
    sound.Install();
    platform::InstallTimerService(&timer);
    ConnectEngineToSoundDevice();
  }
  void TearDown() override {
    platform::InstallTimerService(nullptr);
    ResetSongForTests();
    ResetEngineForTests();
    ResetSoundOutputForTests();
    platform::InstallSoundSystem(nullptr);
  }
  // Opens the device, which starts the engine and resets the song.
  void Start() { ASSERT_EQ(StartSoundDevice(nullptr), 1); }
  int DrumId(int drum) const { return sound.IdOf(drumBuffers[drum]); }

  platform::RecordingSoundSystem sound;
  platform::RecordingTimer timer;
  TestResources resources;
};

}  // namespace engine_test
