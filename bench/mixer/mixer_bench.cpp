// Voice-samples per second of the mixer: looping 8-bit mono voices of 128 to 2048 bytes at
// rates between 8000 and 64000, mixed at 48 kHz.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/mixer.h"

namespace {

void BM_LoopingVoices(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  const bool linear = state.range(1) != 0;
  platform::Mixer mixer(48000);
  mixer.SetInterpolation(linear ? platform::Mixer::Interpolation::Linear
                                : platform::Mixer::Interpolation::Nearest);
  platform::SoundDevice* device = nullptr;
  mixer.CreateDevice(&device);
  for (int v = 0; v < voices; ++v) {
    uint32_t bytes = 128u << (v % 5);  // 128 .. 2048
    uint32_t rate = 8000 + static_cast<uint32_t>(v) * 56000 / (voices - 1);
    platform::WaveFormatEx format{platform::WAVE_FORMAT_PCM, 1, rate, rate, 1, 8, 0};
    platform::BufferDescription desc{36, 0x80E2, bytes, 0, &format, {}};
    platform::SoundBuffer* buffer = nullptr;
    device->CreateSoundBuffer(&desc, &buffer, nullptr);
    void *r1, *r2;
    uint32_t s1, s2;
    buffer->Lock(0, bytes, &r1, &s1, &r2, &s2, 0);
    for (uint32_t i = 0; i < s1; ++i) static_cast<uint8_t*>(r1)[i] = static_cast<uint8_t>(i * 7);
    buffer->Unlock(r1, s1, r2, s2);
    buffer->SetPan((v % 7 - 3) * 1000);
    buffer->SetVolume(-(v % 4) * 300);
    buffer->Play(0, 0, platform::DSBPLAY_LOOPING);
  }
  std::vector<int16_t> out(2 * 4800);
  for (auto _ : state) {
    mixer.Render(out.data(), 4800);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["voice_samples_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 4800 * voices, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopingVoices)
    ->ArgsProduct({{16, 32}, {1, 0}})
    ->ArgNames({"voices", "linear"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
