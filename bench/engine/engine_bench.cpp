// The engine's costs: one Song::Tick of a song with an event on every track on every tick,
// and the speed of rendering a song that keeps all 16 tracks sounding, as a multiple of real
// time, through the real sound device, engine, clock, voices and offline mixer at 48 kHz.
//
// Allocations are counted by a replaced operator new and reported per tick and per render.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "platform/mixer.h"
#include "platform/offline_output.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "song/song.h"
#include "sound/sound.h"
#include "tests/support/counting_alloc.h"

namespace {

constexpr uint32_t kRate = 48000;

struct Event {
  int32_t position;
  uint8_t key, length, volume, pan;
};

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, int32_t x) {
  for (int i = 0; i < 4; ++i)
    v.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * i)));
}

// A song image with the given events on each of the 16 tracks.
std::vector<uint8_t> MakeSong(uint16_t tickWait, int32_t repeatStart, int32_t repeatEnd,
                              const std::vector<Event> (&tracks)[kTrackCount]) {
  std::vector<uint8_t> v = {'Q', 'e', 'k', '-', '0', '2'};
  Put16(v, tickWait);
  v.push_back(4);
  v.push_back(4);
  Put32(v, repeatStart);
  Put32(v, repeatEnd);
  for (int t = 0; t < kTrackCount; ++t) {
    Put16(v, static_cast<uint16_t>(t < 8 ? 950 + 10 * t : 1000));
    v.push_back(static_cast<uint8_t>(t < 8 ? 3 + 12 * t : t % 2));
    v.push_back(0);
    Put16(v, static_cast<uint16_t>(tracks[t].size()));
  }
  for (const auto& events : tracks) {
    for (const Event& e : events) Put32(v, e.position);
    for (const Event& e : events) v.push_back(e.key);
    for (const Event& e : events) v.push_back(e.length);
    for (const Event& e : events) v.push_back(e.volume);
    for (const Event& e : events) v.push_back(e.pan);
  }
  return v;
}

std::vector<uint8_t> DrumImage(uint32_t frames, uint8_t seed) {
  std::vector<uint8_t> image(58 + frames, 0);
  const uint8_t format[] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0};
  std::memcpy(image.data() + 20, format, sizeof format);
  for (int i = 0; i < 4; ++i) image[54 + i] = static_cast<uint8_t>(frames >> (8 * i));
  for (uint32_t i = 0; i < frames; ++i)
    image[58 + i] = static_cast<uint8_t>(128 + ((i * 37 + seed) % 101) - 50);
  return image;
}

// The sound output and engine on a mixer, with a waveform table, two long drum sounds and
// the two songs of this file.
class Rig {
 public:
  Rig()
      : mixer_(kRate),
        output_(mixer_),
        waveTable_(25600),
        bass_(DrumImage(9000, 1)),
        bass2_(DrumImage(12000, 2)) {
    for (size_t i = 0; i < waveTable_.size(); ++i) {
      waveTable_[i] = static_cast<uint8_t>((i % 256 < 128 ? i % 256 : 255 - i % 256) * 2 - 128);
    }
    std::vector<Event> busy[kTrackCount];
    std::vector<Event> sounding[kTrackCount];
    for (int t = 0; t < kTrackCount; ++t) {
      for (int32_t p = 0; p < 256; ++p) {
        const uint8_t pan = static_cast<uint8_t>((p + t) % 13);
        const uint8_t volume = static_cast<uint8_t>(80 + (p * 7 + t * 11) % 170);
        const uint8_t key =
            static_cast<uint8_t>(t < 8 ? 12 + (p * 5 + t * 7) % 72 : 20 + (p + t) % 50);
        // Busy: a key-on on every track on every tick.
        busy[t].push_back({p, key, static_cast<uint8_t>(1 + (p + t) % 3), volume, pan});
        // Sounding: melody notes held until the next one, a drum hit on every tick.
        if (t >= 8 || p % 4 == 0) sounding[t].push_back({p, key, 4, volume, pan});
      }
    }
    busySong_ = MakeSong(100, 0, 256, busy);
    soundingSong_ = MakeSong(100, 0, 256, sounding);
    entries_ = {{"WAVE", "WAVEDATA", waveTable_.data(), waveTable_.size()},
                {"WAVE", "BASS01", bass_.data(), bass_.size()},
                {"WAVE", "BASS02", bass2_.data(), bass2_.size()},
                {"QEK", "BUSY", busySong_.data(), busySong_.size()},
                {"QEK", "SOUNDING", soundingSong_.data(), soundingSong_.size()}};
    platform::RegisterResources(entries_.data(), entries_.size());
    platform::InstallSoundSystem(&mixer_);
    platform::InstallTimerService(&mixer_);
    ConnectEngineToSoundDevice();
    StartSoundDevice(nullptr);
    oneSongOnly = 1;
  }
  ~Rig() {
    StopPlayback();
    platform::InstallTimerService(nullptr);
    ResetSongForTests();
    ResetEngineForTests();
    ResetSoundOutputForTests();
    platform::InstallSoundSystem(nullptr);
    platform::UnregisterResources(entries_.data());
  }
  void Play(const char* name) {
    LoadSong(name);
    SeekMeasure(0);
    StartPlayback();
  }

  platform::Mixer mixer_;
  platform::OfflineOutput output_;

 private:
  std::vector<uint8_t> waveTable_, bass_, bass2_, busySong_, soundingSong_;
  std::vector<platform::ResourceEntry> entries_;
};

// One tick of the busy song, called directly (the clock's callback adds only a Sleep that
// returns at once on the rendering thread).
void BM_Tick(benchmark::State& state) {
  Rig rig;
  rig.Play("BUSY");
  for (int i = 0; i < 512; ++i) theSong.Tick();  // every voice used once
  const long before = AllocationCount();
  for (auto _ : state) theSong.Tick();
  const long made = AllocationCount() - before;
  state.counters["allocations"] = static_cast<double>(made);
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond);

// One second of the sounding song per iteration; "x_realtime" is seconds of audio rendered
// per second of wall time on this one thread.
void BM_RenderSecond(benchmark::State& state) {
  Rig rig;
  rig.mixer_.SetInterpolation(state.range(0) ? platform::Mixer::Interpolation::Linear
                                             : platform::Mixer::Interpolation::Nearest);
  rig.Play("SOUNDING");
  std::vector<int16_t> out(2 * kRate);
  rig.output_.Render(out.data(), kRate);
  const long before = AllocationCount();
  size_t playing = 0;
  for (auto _ : state) {
    rig.output_.Render(out.data(), kRate);
    benchmark::DoNotOptimize(out.data());
    playing = rig.mixer_.PlayingBuffers();
  }
  state.counters["allocations"] = static_cast<double>(AllocationCount() - before);
  state.counters["playing_buffers"] = static_cast<double>(playing);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSecond)->Arg(1)->Arg(0)->ArgName("linear")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
