#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <new>
#include <thread>

#include "platform/offline_output.h"
#include "platform/player_lock.h"
#include "tests/support/counting_alloc.h"

namespace platform {
namespace {

struct Rig {
  explicit Rig(uint32_t rate = 48000) : mixer(rate) {
    EXPECT_EQ(mixer.CreateDevice(&device), DS_OK);
  }
  // A secondary buffer filled with `bytes` bytes produced by `byteAt`.
  SoundBuffer* Make(uint16_t bits, uint16_t channels, uint32_t rate, uint32_t bytes,
                    const std::function<uint8_t(uint32_t)>& byteAt) {
    WaveFormatEx format{
        WAVE_FORMAT_PCM, channels, rate, 0, static_cast<uint16_t>(channels * bits / 8), bits, 0};
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    BufferDescription desc{36, 0x80E2, bytes, 0, &format, {}};
    SoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    void *r1, *r2;
    uint32_t s1, s2;
    EXPECT_EQ(buffer->Lock(0, bytes, &r1, &s1, &r2, &s2, 0), DS_OK);
    for (uint32_t i = 0; i < s1; ++i) static_cast<uint8_t*>(r1)[i] = byteAt(i);
    EXPECT_EQ(buffer->Unlock(r1, s1, r2, s2), DS_OK);
    return buffer;
  }
  // 16-bit mono holding one value everywhere.
  SoundBuffer* Dc16(int16_t value, uint32_t frames, uint32_t rate = 48000) {
    auto v = static_cast<uint16_t>(value);
    return Make(16, 1, rate, frames * 2,
                [v](uint32_t i) { return static_cast<uint8_t>(i % 2 ? v >> 8 : v); });
  }
  std::vector<int16_t> Render(size_t frames) { return OfflineOutput(mixer).Render(frames); }

  Mixer mixer;
  SoundDevice* device = nullptr;
};

size_t NonSilentFrames(const std::vector<int16_t>& out) {
  size_t n = 0;
  for (size_t i = 0; i < out.size(); i += 2) n += (out[i] != 0 || out[i + 1] != 0);
  return n;
}

uint32_t Position(SoundBuffer* b) {
  uint32_t play = 0, write = 0;
  EXPECT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
  return play;
}

uint32_t Status(SoundBuffer* b) {
  uint32_t status = 99;
  EXPECT_EQ(b->GetStatus(&status), DS_OK);
  return status;
}

TEST(Mixer, OncePassLengthAtRateThenStopsAtZero) {
  Rig rig;
  SoundBuffer* b = rig.Make(8, 1, 56320, 2048, [](uint32_t) { return 0xC0; });
  EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING);
  auto out = rig.Render(4000);
  double expected = 2048.0 * 48000 / 56320;  // 1745.45 frames
  EXPECT_NEAR(static_cast<double>(NonSilentFrames(out)), expected, 1.0);
  EXPECT_EQ(out[2], 16384);  // 0xC0 is half scale, centre pan, full volume
  EXPECT_EQ(Status(b), 0u);
  EXPECT_EQ(Position(b), 0u);
  EXPECT_EQ(NonSilentFrames(rig.Render(2000)), 0u);
  // Played again it starts from the start and runs one full pass again.
  b->Play(0, 0, 0);
  EXPECT_NEAR(static_cast<double>(NonSilentFrames(rig.Render(4000))), expected, 1.0);
}

TEST(Mixer, PlayOnceOnLoopingFinishesThePassAndPlayNeverRestarts) {
  Rig rig;
  SoundBuffer* b = rig.Make(8, 1, 56320, 2048, [](uint32_t) { return 0xC0; });
  b->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  auto looped = rig.Render(3000);  // past the end of the first pass
  EXPECT_EQ(NonSilentFrames(looped), 3000u);
  uint32_t at = Position(b);
  EXPECT_EQ(at, static_cast<uint32_t>((3000ull * ((56320ull << 32) / 48000) >> 32) % 2048));
  // Play without looping on the playing buffer: the cursor stays, the loop is cleared.
  b->Play(0, 0, 0);
  EXPECT_EQ(Position(b), at);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING);
  auto tail = rig.Render(4000);
  EXPECT_NEAR(static_cast<double>(NonSilentFrames(tail)), (2048.0 - at) * 48000 / 56320, 1.0);
  for (size_t i = 0; i + 2 < tail.size() && tail[i + 2] != 0; i += 2) ASSERT_NE(tail[i], 0);
  EXPECT_EQ(Status(b), 0u);
  EXPECT_EQ(Position(b), 0u);
}

TEST(Mixer, StopKeepsPositionAndCursorMovesAligned) {
  Rig rig;
  SoundBuffer* b = rig.Dc16(1000, 4800);  // 16-bit mono at the output rate: 1 frame per frame
  b->Play(0, 0, DSBPLAY_LOOPING);
  rig.Render(1000);
  EXPECT_EQ(Position(b), 2000u);
  b->Stop();
  rig.Render(500);
  EXPECT_EQ(Position(b), 2000u);
  EXPECT_EQ(Status(b), 0u);
  EXPECT_EQ(b->SetCurrentPosition(7), DS_OK);  // aligned down to the 2-byte block
  EXPECT_EQ(Position(b), 6u);
  EXPECT_EQ(b->SetCurrentPosition(9600), DSERR_INVALIDPARAM);
  EXPECT_EQ(Position(b), 6u);
  b->Play(0, 0, DSBPLAY_LOOPING);
  b->SetCurrentPosition(100);  // while playing
  rig.Render(10);
  EXPECT_EQ(Position(b), 120u);
  // Looping wraps: 4800 frames later the cursor is back where it was.
  rig.Render(4800);
  EXPECT_EQ(Position(b), 120u);
}

TEST(Mixer, RefusedSettingsKeepTheOldValue) {
  Rig rig;
  SoundBuffer* b = rig.Dc16(8192, 48000);
  b->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(b->SetFrequency(24000), DS_OK);
  for (uint32_t bad : {0u, 99u, 200001u, 0xFFFFFFFFu})
    EXPECT_EQ(b->SetFrequency(bad), DSERR_INVALIDPARAM);
  rig.Render(1000);
  EXPECT_EQ(Position(b), 1000u);  // 500 frames of 2 bytes: still at 24000
  EXPECT_EQ(b->SetFrequency(100), DS_OK);
  EXPECT_EQ(b->SetFrequency(200000), DS_OK);
  EXPECT_EQ(b->SetVolume(-600), DS_OK);
  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
  auto out = rig.Render(10);
  EXPECT_EQ(out[0], out[1]);  // pan still centred
  EXPECT_NEAR(out[0], 8192 * std::pow(10.0, -0.3), 0.6);
}

double Db(double ratio) {
  return 20.0 * std::log10(ratio);
}

TEST(Mixer, GainAndPanLawsWithinAHundredthOfADecibel) {
  struct Case {
    int32_t volume, pan;
  };
  for (Case c : {Case{0, 0}, Case{-600, 0}, Case{-2000, 0}, Case{0, -1200}, Case{0, 1200},
                 Case{-300, -450}, Case{-150, 3000}, Case{0, -10000}}) {
    Rig rig;
    SoundBuffer* b = rig.Dc16(16384, 4800);
    b->SetVolume(c.volume);
    b->SetPan(c.pan);
    b->Play(0, 0, DSBPLAY_LOOPING);
    auto out = rig.Render(4800);
    double left = 0, right = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
      left += out[i] * static_cast<double>(out[i]);
      right += out[i + 1] * static_cast<double>(out[i + 1]);
    }
    left = std::sqrt(left / 4800) / 16384;
    right = std::sqrt(right / 4800) / 16384;
    double wantLeft = c.volume / 100.0 - (c.pan > 0 ? c.pan / 100.0 : 0);
    double wantRight = c.volume / 100.0 - (c.pan < 0 ? -c.pan / 100.0 : 0);
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    if (wantLeft > -60) {
      EXPECT_NEAR(Db(left), wantLeft, 0.01);
    }
    if (wantRight > -60) {
      EXPECT_NEAR(Db(right), wantRight, 0.01);
    }
    if (wantRight <= -60) {
      EXPECT_LE(right, 0.002);
    }
  }
}

TEST(Mixer, TwoRegionLockFillsAcrossTheSeam) {
  Rig rig;
  WaveFormatEx format{WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
  BufferDescription desc{36, 0x80E2, 100, 0, &format, {}};
  SoundBuffer* b = nullptr;
  ASSERT_EQ(rig.device->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
  void *r1 = nullptr, *r2 = nullptr;
  uint32_t s1 = 0, s2 = 0;
  EXPECT_EQ(b->Lock(0, 101, &r1, &s1, &r2, &s2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(100, 10, &r1, &s1, &r2, &s2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(60, 80, &r1, &s1, &r2, &s2, 0), DS_OK);
  ASSERT_EQ(s1, 40u);
  ASSERT_EQ(s2, 40u);
  ASSERT_NE(r2, nullptr);
  // Sample n of the 80 written bytes is 100 * (n + 1); the first 20 land at frames 30..49,
  // the next 20 at frames 0..19.
  std::vector<int16_t> values(40);
  for (int n = 0; n < 40; ++n) values[n] = static_cast<int16_t>(100 * (n + 1));
  std::memcpy(r1, values.data(), s1);
  std::memcpy(r2, reinterpret_cast<uint8_t*>(values.data()) + s1, s2);
  ASSERT_EQ(b->Unlock(r1, s1, r2, s2), DS_OK);
  b->Play(0, 0, 0);
  auto out = rig.Render(50);
  for (int f = 0; f < 50; ++f) {
    int16_t want = f < 20 ? values[20 + f] : f >= 30 ? values[f - 30] : 0;
    ASSERT_EQ(out[2 * f], want) << "frame " << f;
  }
  // From the write cursor: the range starts at the play position and wraps as well.
  b->Stop();
  ASSERT_EQ(b->SetCurrentPosition(80), DS_OK);
  void *w1 = nullptr, *w2 = nullptr;
  ASSERT_EQ(b->Lock(0, 40, &w1, &s1, &w2, &s2, 0x1), DS_OK);
  EXPECT_EQ(static_cast<uint8_t*>(w1) - static_cast<uint8_t*>(r2), 80);
  EXPECT_EQ(s1, 20u);
  EXPECT_EQ(w2, r2);
  EXPECT_EQ(s2, 20u);
  EXPECT_EQ(b->Unlock(w1, s1, w2, s2), DS_OK);
  int16_t stray = 0;
  EXPECT_EQ(b->Unlock(&stray, 2, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST(Mixer, LinearAndNearestInterpolation) {
  for (auto mode : {Mixer::Interpolation::Linear, Mixer::Interpolation::Nearest}) {
    Rig rig;
    rig.mixer.SetInterpolation(mode);
    // Frames 0, 16384, 0, 16384 at half the output rate: every second output frame falls
    // halfway between two frames.
    SoundBuffer* b =
        rig.Make(16, 1, 24000, 8, [](uint32_t i) { return i == 3 || i == 7 ? 0x40 : 0; });
    b->Play(0, 0, DSBPLAY_LOOPING);
    auto out = rig.Render(8);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    if (mode == Mixer::Interpolation::Linear) {
      // The last frame interpolates towards frame 0 when looping.
      EXPECT_EQ(left, (std::vector<int16_t>{0, 8192, 16384, 8192, 0, 8192, 16384, 8192}));
      // Refilling one frame in the middle changes the slopes on both sides of it.
      void *r1, *r2;
      uint32_t s1, s2;
      ASSERT_EQ(b->Lock(4, 2, &r1, &s1, &r2, &s2, 0), DS_OK);
      static_cast<uint8_t*>(r1)[0] = 0x00;
      static_cast<uint8_t*>(r1)[1] = 0x40;
      ASSERT_EQ(b->Unlock(r1, s1, r2, s2), DS_OK);
      auto refilled = rig.Render(8);
      left.clear();
      for (size_t i = 0; i < refilled.size(); i += 2) left.push_back(refilled[i]);
      EXPECT_EQ(left, (std::vector<int16_t>{0, 8192, 16384, 16384, 16384, 16384, 16384, 8192}));
    } else {
      EXPECT_EQ(left, (std::vector<int16_t>{0, 0, 16384, 16384, 0, 0, 16384, 16384}));
    }
  }
}

TEST(Mixer, ClipsOnlyAtTheOutput) {
  Rig rig;
  SoundBuffer* a = rig.Dc16(24576, 480);
  SoundBuffer* b = rig.Dc16(24576, 480);
  SoundBuffer* c = rig.Dc16(-24576, 480);
  for (SoundBuffer* x : {a, b}) x->Play(0, 0, DSBPLAY_LOOPING);
  auto loud = rig.Render(4);
  EXPECT_EQ(loud[0], 32767);
  EXPECT_EQ(loud[1], 32767);
  c->Play(0, 0, DSBPLAY_LOOPING);
  auto summed = rig.Render(4);  // 0.75 + 0.75 - 0.75, not clipped on the way
  EXPECT_EQ(summed[0], 24576);
  c->Stop();
  b->SetVolume(DSBVOLUME_MIN);
  c->SetFrequency(48000);
  auto neg = rig.Render(2);
  EXPECT_NEAR(neg[0], 24576, 3);
}

TEST(Mixer, RefusesBadDescriptionsAndHandlesThePrimaryBuffer) {
  Rig rig;
  SoundBuffer* b = reinterpret_cast<SoundBuffer*>(1);
  WaveFormatEx good{WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
  auto create = [&](uint32_t flags, uint32_t bytes, const WaveFormatEx* format) {
    BufferDescription desc{36, flags, bytes, 0, format, {}};
    b = reinterpret_cast<SoundBuffer*>(1);
    return rig.device->CreateSoundBuffer(&desc, &b, nullptr);
  };
  EXPECT_EQ(rig.device->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(create(0x80E2, 100, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(create(0x80E2, 0, &good), DSERR_INVALIDPARAM);
  EXPECT_EQ(create(0x80E2, 0x7FFFFFFF, &good), DSERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);
  WaveFormatEx bad = good;
  bad.wFormatTag = 3;
  EXPECT_EQ(create(0x80E2, 100, &bad), DSERR_BADFORMAT);
  bad = good;
  bad.wBitsPerSample = 24;
  bad.nBlockAlign = 3;
  EXPECT_EQ(create(0x80E2, 99, &bad), DSERR_BADFORMAT);
  bad = good;
  bad.nChannels = 0;
  EXPECT_EQ(create(0x80E2, 100, &bad), DSERR_BADFORMAT);
  bad = good;
  bad.nBlockAlign = 2;
  EXPECT_EQ(create(0x80E2, 100, &bad), DSERR_BADFORMAT);
  WaveFormatEx stereo16{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  EXPECT_EQ(create(0x80E2, 102, &stereo16), DSERR_INVALIDPARAM);  // not whole frames
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(create(0x80E2, 104, &stereo16), DS_OK);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(create(0xC1, 0, &good), DSERR_INVALIDPARAM);  // a primary has no format
  EXPECT_EQ(create(0xC1, 0, nullptr), DS_OK);
  ASSERT_NE(b, nullptr);
  void *r1, *r2;
  uint32_t s1, s2;
  EXPECT_EQ(b->Lock(0, 4, &r1, &s1, &r2, &s2, 0), DSERR_INVALIDCALL);
  EXPECT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DSERR_INVALIDCALL);
  EXPECT_EQ(b->Release(), 0u);
  EXPECT_EQ(rig.device->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
  EXPECT_EQ(rig.device->SetCooperativeLevel(nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(rig.device->SetCooperativeLevel(nullptr, 5), DSERR_INVALIDPARAM);
}

TEST(Mixer, ReleasedBuffersAndDevicesFallSilent) {
  Rig rig;
  SoundBuffer* kept = rig.Dc16(1000, 480);
  SoundBuffer* gone = rig.Dc16(2000, 480);
  kept->Play(0, 0, DSBPLAY_LOOPING);
  gone->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(rig.Render(1)[0], 3000);
  EXPECT_EQ(gone->Release(), 0u);
  EXPECT_EQ(rig.Render(1)[0], 1000);
  EXPECT_EQ(gone->Play(0, 0, 0), DSERR_INVALIDCALL);  // a stray call is refused, no crash
  EXPECT_EQ(rig.mixer.PlayingBuffers(), 1u);
  EXPECT_EQ(gone->Release(), 0u);  // twice is harmless
  // A new buffer may take the released one's place and plays as any other.
  SoundBuffer* fresh = rig.Dc16(-500, 480);
  fresh->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(rig.Render(1)[0], 500);
  EXPECT_EQ(fresh->Release(), 0u);
  EXPECT_EQ(rig.Render(1)[0], 1000);
  EXPECT_EQ(rig.device->Release(), 0u);
  EXPECT_EQ(NonSilentFrames(rig.Render(100)), 0u);
  EXPECT_EQ(kept->Play(0, 0, DSBPLAY_LOOPING), DSERR_INVALIDCALL);
  EXPECT_EQ(kept->SetFrequency(22050), DSERR_INVALIDCALL);
  uint32_t status;
  EXPECT_EQ(kept->GetStatus(&status), DSERR_INVALIDCALL);
  EXPECT_EQ(kept->Release(), 0u);
  BufferDescription desc{36, 0xC1, 0, 0, nullptr, {}};
  SoundBuffer* b;
  EXPECT_EQ(rig.device->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDCALL);
  EXPECT_EQ(NonSilentFrames(rig.Render(100)), 0u);
}

// ---- timer on the sample clock ------------------------------------------------------------

struct Log {
  Mixer* mixer;
  std::vector<uint64_t> at;
  std::function<void(uint32_t)> extra;
};

void LogCallback(uint32_t id, uint32_t, uintptr_t user, uintptr_t, uintptr_t) {
  auto* log = reinterpret_cast<Log*>(user);
  log->at.push_back(log->mixer->SamplesRendered());
  if (log->extra) log->extra(id);
}

TEST(MixerTimer, CallbacksRunOnExactSamplesWithoutDrift) {
  for (auto [rate, period] : {std::pair{48000u, 128u}, std::pair{44100u, 13u}}) {
    Mixer mixer(rate);
    Log log{&mixer, {}, {}};
    log.at.reserve(10001);
    std::vector<int16_t> out(2 * 997);
    mixer.Render(out.data(), 777);
    uint32_t id =
        mixer.SetEvent(period, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    const uint64_t total = 777 + 10000ull * period * rate / 1000;
    while (mixer.SamplesRendered() < total) mixer.Render(out.data(), 997);
    ASSERT_GE(log.at.size(), 10000u);
    for (uint64_t k = 1; k <= 10000; ++k) {
      ASSERT_EQ(log.at[k - 1], 777 + k * period * rate / 1000) << "callback " << k;
    }
    EXPECT_EQ(mixer.KillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(mixer.KillEvent(id), MMSYSERR_INVALPARAM);
  }
}

TEST(MixerTimer, SwitchingInsideACallbackLeavesOnlyTheNewEvent) {
  Mixer mixer;
  Log log{&mixer, {}, {}};
  uint32_t first = 0, second = 0;
  log.extra = [&](uint32_t id) {
    if (id != first) return;
    EXPECT_FALSE(PlayerMutex().try_lock() && (PlayerMutex().unlock(), false));
    EXPECT_EQ(mixer.KillEvent(first), TIMERR_NOERROR);
    EXPECT_EQ(mixer.KillEvent(first), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixer.EndPeriod(13), TIMERR_NOERROR);
    EXPECT_EQ(mixer.BeginPeriod(128), TIMERR_NOERROR);
    second = mixer.SetEvent(100, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), 1);
  };
  EXPECT_EQ(mixer.BeginPeriod(13), TIMERR_NOERROR);
  first = mixer.SetEvent(128, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), 1);
  OfflineOutput(mixer).Render(6144 + 3 * 4800 + 10);
  EXPECT_NE(second, first);
  EXPECT_EQ(log.at, (std::vector<uint64_t>{6144, 6144 + 4800, 6144 + 9600, 6144 + 14400}));
  EXPECT_EQ(mixer.KillEvent(second), TIMERR_NOERROR);
  EXPECT_EQ(mixer.EndPeriod(13), TIMERR_NOCANDO);
  EXPECT_EQ(mixer.EndPeriod(128), TIMERR_NOERROR);
}

TEST(MixerTimer, RefusalsOneShotsAndTheTickCount) {
  Mixer mixer(44100);
  Log log{&mixer, {}, {}};
  auto user = reinterpret_cast<uintptr_t>(&log);
  TimeCaps caps{};
  EXPECT_EQ(mixer.GetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(caps.wPeriodMax, 1000000u);
  EXPECT_EQ(mixer.SetEvent(0, 10, LogCallback, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(mixer.SetEvent(10, 10, nullptr, user, TIME_PERIODIC), 0u);
  EXPECT_EQ(mixer.KillEvent(0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.KillEvent(12345), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.EndPeriod(1), TIMERR_NOCANDO);
  EXPECT_EQ(mixer.BeginPeriod(0), TIMERR_NOCANDO);
  uint32_t once = mixer.SetEvent(10, 0, LogCallback, user, TIME_ONESHOT);
  OfflineOutput(mixer).Render(4410 * 2);
  EXPECT_EQ(log.at, std::vector<uint64_t>{441});
  EXPECT_EQ(mixer.KillEvent(once), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.GetTickCount(), 200u);
  OfflineOutput(mixer).Render(43);
  EXPECT_EQ(mixer.GetTickCount(), 200u);  // 8863 samples: 200.97 ms
  OfflineOutput(mixer).Render(2);
  EXPECT_EQ(mixer.GetTickCount(), 201u);  // 8865 samples: 201.02 ms
}

TEST(MixerTimer, SleepInsideACallbackDoesNotStall) {
  Mixer mixer;
  Log log{&mixer, {}, {}};
  std::vector<uint32_t> ticks;
  log.extra = [&](uint32_t) {
    mixer.Sleep(3600 * 1000);  // an hour, if it really slept
    ticks.push_back(mixer.GetTickCount());
  };
  mixer.SetEvent(128, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), TIME_PERIODIC);
  OfflineOutput(mixer).Render(6144 * 3 + 1);  // the third runs before sample 18432
  EXPECT_EQ(ticks, (std::vector<uint32_t>{128, 256, 384}));
}

TEST(MixerTimer, KillFromAnotherThreadWaitsForTheRunningCallback) {
  Mixer mixer;
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> finished{false};
  Log log{&mixer, {}, {}};
  log.extra = [&](uint32_t) {
    if (log.at.size() != 1) return;
    entered.set_value();
    released.wait();
    finished = true;
  };
  uint32_t id =
      mixer.SetEvent(10, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), TIME_PERIODIC);
  std::thread audio([&] { OfflineOutput(mixer).Render(48000); });
  entered.get_future().wait();
  // The callback runs with the player lock held by the audio thread.
  EXPECT_FALSE(PlayerMutex().try_lock());
  std::promise<void> killing;
  bool finishedWhenKilled = false;
  size_t callbacksWhenKilled = 0;
  MMRESULT result = 1;
  std::thread killer([&] {
    killing.set_value();
    result = mixer.KillEvent(id);
    finishedWhenKilled = finished.load();
    callbacksWhenKilled = log.at.size();
  });
  killing.get_future().wait();
  release.set_value();
  killer.join();
  audio.join();
  EXPECT_EQ(result, TIMERR_NOERROR);
  // Whether the kill began before or after the release, it returned only once the running
  // callback had finished, and no callback ran after it.
  EXPECT_TRUE(finishedWhenKilled);
  EXPECT_GE(callbacksWhenKilled, 1u);
  EXPECT_EQ(log.at.size(), callbacksWhenKilled);
}

TEST(Mixer, RenderingNeverAllocates) {
  Rig rig;
  std::vector<SoundBuffer*> voices;
  for (int v = 0; v < 32; ++v) {
    voices.push_back(rig.Make(8, 1, 8000 + 1700 * v, 128 + 61 * v,
                              [v](uint32_t i) { return static_cast<uint8_t>(i * (v + 3)); }));
    voices.back()->Play(0, 0, v % 3 ? DSBPLAY_LOOPING : 0);
  }
  voices.push_back(rig.Dc16(300, 1000, 22050));
  voices.back()->Play(0, 0, DSBPLAY_LOOPING);
  Log log{&rig.mixer, {}, {}};
  log.at.reserve(1000);
  log.extra = [&](uint32_t) {
    voices[0]->SetFrequency(11025 + 10 * static_cast<uint32_t>(log.at.size()));
    voices[1]->SetPan(-500);
    voices[2]->Play(0, 0, DSBPLAY_LOOPING);
    voices[3]->Stop();
    voices[4]->SetCurrentPosition(2);
    rig.mixer.Sleep(1);
  };
  rig.mixer.SetEvent(13, 10, LogCallback, reinterpret_cast<uintptr_t>(&log), TIME_PERIODIC);
  std::vector<int16_t> out(2 * 4096);
  long before = AllocationCount();
  for (int i = 0; i < 50; ++i) rig.mixer.Render(out.data(), 4096);
  long after = AllocationCount();
  EXPECT_EQ(after - before, 0);
  EXPECT_GT(log.at.size(), 100u);
  EXPECT_GT(NonSilentFrames(out), 0u);
}

TEST(Mixer, SameInputSameOutput) {
  auto render = [] {
    Rig rig;
    SoundBuffer* a = rig.Make(8, 1, 31000, 777, [](uint32_t i) { return (i * 37) & 0xFF; });
    SoundBuffer* b = rig.Make(16, 2, 44100, 4000, [](uint32_t i) { return (i * 11) & 0xFF; });
    a->SetPan(-2500);
    b->SetVolume(-700);
    a->Play(0, 0, DSBPLAY_LOOPING);
    b->Play(0, 0, 0);
    return rig.Render(20000);
  };
  auto first = render();
  EXPECT_EQ(first, render());
  EXPECT_GT(NonSilentFrames(first), 10000u);
}

}  // namespace
}  // namespace platform
