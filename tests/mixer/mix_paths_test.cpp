// The mixer's block path for mono voices gives the same samples as its frame-by-frame path:
// a render pulled in one piece must equal the same render pulled one frame at a time, which
// mixes every frame singly.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/mixer.h"
#include "platform/offline_output.h"

namespace platform {
namespace {

SoundBuffer* Make(SoundDevice* device, uint16_t bits, uint16_t channels, uint32_t rate,
                  uint32_t bytes, uint32_t seed) {
  WaveFormatEx format{
      WAVE_FORMAT_PCM, channels, rate, 0, static_cast<uint16_t>(channels * bits / 8), bits, 0};
  format.nAvgBytesPerSec = rate * format.nBlockAlign;
  BufferDescription desc{36, 0x80E2, bytes, 0, &format, {}};
  SoundBuffer* buffer = nullptr;
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  void *r1, *r2;
  uint32_t s1, s2;
  EXPECT_EQ(buffer->Lock(0, bytes, &r1, &s1, &r2, &s2, 0), DS_OK);
  for (uint32_t i = 0; i < s1; ++i)
    static_cast<uint8_t*>(r1)[i] = static_cast<uint8_t>((i * 97 + seed * 31) ^ (i >> 3));
  EXPECT_EQ(buffer->Unlock(r1, s1, r2, s2), DS_OK);
  return buffer;
}

// Voices that end inside a block of four, loop every few frames, step by less than a frame
// and by several frames, at odd gains and pans; one stereo voice beside them.
std::vector<int16_t> Render(Mixer::Interpolation interpolation, size_t piece) {
  Mixer mixer(44100);
  mixer.SetInterpolation(interpolation);
  SoundDevice* device = nullptr;
  EXPECT_EQ(mixer.CreateDevice(&device), DS_OK);
  struct Voice {
    uint16_t bits, channels;
    uint32_t rate, bytes;
    bool loop;
    int32_t pan, volume;
  };
  const Voice voices[] = {
      {8, 1, 56320, 8, true, -1200, -300},   {8, 1, 100, 64, true, 2500, 0},
      {16, 1, 44100, 2002, false, 0, -100},  {8, 1, 200000, 777, true, -10000, -50},
      {8, 1, 30011, 1001, false, 700, -900}, {16, 1, 13000, 256, true, 300, -2000},
      {16, 2, 22050, 4000, true, -400, -10},
  };
  uint32_t seed = 0;
  for (const Voice& v : voices) {
    SoundBuffer* b = Make(device, v.bits, v.channels, v.rate, v.bytes, ++seed);
    EXPECT_EQ(b->SetPan(v.pan), DS_OK);
    EXPECT_EQ(b->SetVolume(v.volume), DS_OK);
    EXPECT_EQ(b->Play(0, 0, v.loop ? DSBPLAY_LOOPING : 0), DS_OK);
  }
  OfflineOutput output(mixer);
  constexpr size_t kFrames = 9000;
  std::vector<int16_t> out(2 * kFrames);
  for (size_t done = 0; done < kFrames; done += piece) {
    output.Render(out.data() + 2 * done, std::min(piece, kFrames - done));
  }
  return out;
}

TEST(MixPaths, BlockMixEqualsFrameByFrameMix) {
  for (Mixer::Interpolation interpolation :
       {Mixer::Interpolation::Linear, Mixer::Interpolation::Nearest}) {
    const std::vector<int16_t> whole = Render(interpolation, 9000);
    EXPECT_EQ(whole, Render(interpolation, 1));
    EXPECT_EQ(whole, Render(interpolation, 5));
    size_t loud = 0;
    for (int16_t v : whole) loud += v != 0;
    EXPECT_GT(loud, whole.size() / 2);
  }
}

}  // namespace
}  // namespace platform
