// The sound device and the melody voices, on the recording sound system.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/app.h"
#include "platform/testing/recording_timer.h"
#include "platform/timer.h"
#include "sound_fixture.h"

namespace sound_test {
namespace {

using platform::SoundCall;
using Args = std::vector<int64_t>;

TEST(RecordingSoundTest, LogsModelsAndInjectsFailures) {
  platform::RecordingSoundSystem sys;
  platform::SoundDevice* device = nullptr;
  sys.FailDeviceCreation(true);
  EXPECT_EQ(sys.CreateDevice(&device), platform::DSERR_NODRIVER);
  EXPECT_EQ(device, nullptr);
  sys.FailDeviceCreation(false);
  ASSERT_EQ(sys.CreateDevice(&device), platform::DS_OK);

  platform::WaveFormatEx format{1, 1, 22050, 22050, 1, 8, 0};
  auto desc = SecondaryBufferDescription(16, &format);
  platform::SoundBuffer* a = nullptr;
  platform::SoundBuffer* b = nullptr;
  sys.FailBufferCreation(2);
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &a, nullptr), platform::DS_OK);
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &b, nullptr), platform::DSERR_OUTOFMEMORY);
  EXPECT_EQ(b, nullptr);
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &b, nullptr), platform::DS_OK);
  EXPECT_EQ(sys.IdOf(a), 1);
  EXPECT_EQ(sys.IdOf(b), 2);

  // A refused rate keeps the old one; Play once on a looping buffer flags it to finish.
  EXPECT_EQ(a->SetFrequency(99), platform::DSERR_INVALIDPARAM);
  EXPECT_EQ(a->SetFrequency(200001), platform::DSERR_INVALIDPARAM);
  EXPECT_EQ(sys.Buffer(1).frequency, 22050u);
  a->SetFrequency(56320);
  a->Play(0, 0, platform::DSBPLAY_LOOPING);
  EXPECT_TRUE(sys.Buffer(1).looping);
  a->Play(0, 0, 0);
  EXPECT_TRUE(sys.Buffer(1).finishing);
  EXPECT_TRUE(sys.Buffer(1).playing);
  a->SetCurrentPosition(5);
  sys.PlayedToEnd(1);
  EXPECT_FALSE(sys.Buffer(1).playing);
  EXPECT_EQ(sys.Buffer(1).position, 0u);

  // A split lock gives two regions; bytes land only through Unlock.
  sys.SplitLocksAt(10);
  void* r1;
  void* r2;
  uint32_t s1, s2;
  ASSERT_EQ(b->Lock(0, 16, &r1, &s1, &r2, &s2, 0), platform::DS_OK);
  EXPECT_EQ(s1, 10u);
  EXPECT_EQ(s2, 6u);
  static_cast<uint8_t*>(r1)[0] = 9;
  static_cast<uint8_t*>(r2)[0] = 7;
  EXPECT_EQ(sys.Buffer(2).bytes[0], 0);
  b->Unlock(r1, s1, r2, s2);
  EXPECT_EQ(sys.Buffer(2).bytes[0], 9);
  EXPECT_EQ(sys.Buffer(2).bytes[10], 7);
  sys.FailLock(1);
  EXPECT_EQ(b->Lock(0, 16, &r1, &s1, &r2, &s2, 0), platform::DSERR_INVALIDCALL);
  EXPECT_EQ(b->Lock(0, 16, &r1, &s1, &r2, &s2, 0), platform::DS_OK);
  b->Unlock(r1, s1, r2, s2);

  a->Release();
  EXPECT_EQ(sys.AliveBuffers(), std::vector<int>{2});
  a->Stop();  // a caller fault, counted
  EXPECT_EQ(sys.CallsAfterRelease(), 1);
  const auto texts = sys.Texts(0, 1);
  EXPECT_EQ(texts[0], "buf1.SetFrequency(99)");
  EXPECT_EQ(sys.Texts()[2], "device.CreateSoundBuffer(16,0x80e2)");
  EXPECT_EQ(sys.Count(1, "SetFrequency", Args{56320}), 1);

  // Creation failing from the n-th on.
  sys.FailBufferCreation(1, true);
  EXPECT_NE(device->CreateSoundBuffer(&desc, &b, nullptr), platform::DS_OK);
  EXPECT_NE(device->CreateSoundBuffer(&desc, &b, nullptr), platform::DS_OK);
  // The device refuses a format it cannot play.
  sys.FailBufferCreation(0);
  format.nChannels = 3;
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &b, nullptr), platform::DSERR_BADFORMAT);
}

// The clock's thread and the window's thread both call buffers: the log stays whole and each
// buffer's calls keep their order.
TEST(RecordingSoundTest, CallsFromTwoThreads) {
  platform::RecordingSoundSystem sys;
  platform::SoundDevice* device = nullptr;
  ASSERT_EQ(sys.CreateDevice(&device), platform::DS_OK);
  platform::WaveFormatEx format{1, 1, 22050, 22050, 1, 8, 0};
  auto desc = SecondaryBufferDescription(8, &format);
  platform::SoundBuffer* buffers[2] = {};
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffers[0], nullptr), platform::DS_OK);
  ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffers[1], nullptr), platform::DS_OK);
  auto work = [&](int which) {
    for (uint32_t i = 0; i < 2000; ++i) buffers[which]->SetFrequency(1000 + i);
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  EXPECT_EQ(sys.Calls().size(), 1u + 2 + 4000);
  for (int id = 1; id <= 2; ++id) {
    const auto calls = sys.CallsOf(id);
    ASSERT_EQ(calls.size(), 2000u);
    for (size_t i = 0; i < calls.size(); ++i) ASSERT_EQ(calls[i].args[0], int64_t(1000 + i));
  }
}

TEST_F(SoundTest, StartRecordsDeviceAndPrimaryBuffer) {
  auto* window = reinterpret_cast<platform::WindowHandle>(uintptr_t{0x1234});
  EXPECT_EQ(StartSoundDevice(window), 1);
  ASSERT_NE(soundDevice, nullptr);
  EXPECT_EQ(engineDevice, soundDevice);
  EXPECT_EQ(EngineEvents(), std::vector<std::string>{"StartEngine(device)"});
  const auto calls = sys.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].Is(0, "Create"));
  EXPECT_TRUE(calls[1].Is(0, "SetCooperativeLevel", Args{0x1234, 3}));
  EXPECT_TRUE(calls[2].Is(0, "CreateSoundBuffer", Args{0, 0xC1, 1}));
  const auto primary = sys.Buffer(1);
  EXPECT_EQ(primary.description.dwSize, 36u);
  EXPECT_FALSE(primary.hasFormat);
  EXPECT_EQ(Id(primaryBuffer), 1);
  for (auto* slot : effectSlots) EXPECT_EQ(slot, nullptr);
  // Nothing touches the primary buffer: no format, no lock, no play.
  EXPECT_TRUE(sys.CallsOf(1).empty());

  // Lowering the cooperative level uses the main window.
  mainWindow = reinterpret_cast<platform::WindowHandle>(uintptr_t{0x99});
  SetNormalCooperation();
  EXPECT_EQ(sys.Calls().back().text, "device.SetCooperativeLevel(153,1)");
  mainWindow = nullptr;
}

TEST_F(SoundTest, StartWithoutPrimaryBufferOrWithoutHooks) {
  sys.FailBufferCreation(1);
  EXPECT_EQ(StartSoundDevice(nullptr), 1);
  EXPECT_EQ(primaryBuffer, nullptr);
  EXPECT_NE(engineDevice, nullptr);
  StopSoundDevice();  // skips the missing primary buffer
  EXPECT_EQ(sys.Calls().back().text, "device.Release()");
  EXPECT_EQ(sys.DevicesReleased(), 1);

  ResetSoundOutputForTests();
  InstallEngineHooks({});
  EngineEvents().clear();
  EXPECT_EQ(StartSoundDevice(nullptr), 1);
  EXPECT_NE(soundDevice, nullptr);
  EXPECT_EQ(engineDevice, nullptr);  // the engine did not start
  EXPECT_TRUE(EngineEvents().empty());
}

TEST_F(SoundTest, NoDeviceMakesEveryOperationDoNothing) {
  sys.FailDeviceCreation(true);
  EXPECT_EQ(StartSoundDevice(nullptr), 0);
  EXPECT_EQ(soundDevice, nullptr);
  EXPECT_EQ(engineDevice, nullptr);
  EXPECT_EQ(EngineEvents(), std::vector<std::string>{"StartEngine(null)"});
  const size_t mark = sys.Mark();

  EXPECT_EQ(LoadWaveTable(), 0);
  EXPECT_EQ(waveTable[0][64], 0);  // table untouched
  EXPECT_EQ(LoadWaveTableFile("/dev/null"), 0);
  EXPECT_EQ(BuildMelodyVoice(0, 0, 0), 0);
  EXPECT_EQ(FillMelodyBuffers(waveTable[0], 0, 0), 0);
  ReleaseMelodyVoice(0);
  SetMelodyFrequency(9, 0, 1000);
  SetMelodyPan(6, 0);
  SetMelodyVolume(100, 0);
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  PlayMelodyOneShot(45, kNoteOn, 0, 1000);
  EXPECT_EQ(currentKey[0], 255);
  PreviewNote(45, 0, 1000);
  PreviewNote(45, 8, 1000);
  EXPECT_EQ(LoadDrumResource("Bass01", 0), 0);
  EXPECT_EQ(LoadDrumFile("/dev/null", 0), 0);
  ReleaseDrum(0);
  SetDrumFrequency(27, 0);
  SetDrumPan(6, 0);
  SetDrumVolume(100, 0);
  PlayDrum(27, 1, 0);
  EXPECT_EQ(LoadEffectResource("Bass01", 0), 1);
  EXPECT_EQ(LoadEffectFile("/nonexistent", 0), 1);
  PlayEffect(0, 1);
  SetEffectFrequency(0, 2195);
  SetEffectVolume(0, 300);
  SetEffectPan(0, 256);
  SetNormalCooperation();
  StopSoundDevice();
  EXPECT_TRUE(sys.CallsSince(mark).empty());
  EXPECT_EQ(sys.BuffersCreated(), 0);
  EXPECT_EQ(drumBuffers[0], nullptr);
  EXPECT_EQ(effectSlots[0], nullptr);
  EXPECT_EQ(EngineEvents().size(), 1u);  // StopSoundDevice did not stop the engine
}

TEST_F(SoundTest, StopReleasesInOrder) {
  Open();
  BuildMelodyVoice(0, 0, 0);
  ASSERT_EQ(LoadDrumResource("Bass01", 0), 1);
  ASSERT_EQ(LoadEffectResource("HiClose", 2), 1);
  ASSERT_EQ(LoadEffectResource("Snare01", 5), 1);
  const int e2 = Id(effectSlots[2]);
  const int e5 = Id(effectSlots[5]);
  const int primary = Id(primaryBuffer);
  StopSoundDevice();
  EXPECT_EQ(EngineEvents(),
            (std::vector<std::string>{"StartEngine(device)", "StopPlayback", "ReleaseSong"}));
  const auto& marks = EngineMarks();
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0], marks[1]);  // nothing between stopping playback and releasing the song
  const auto after = sys.CallsSince(marks[1]);
  ASSERT_EQ(after.size(), 16u + 1 + 4);  // voice 0, drum 0, then ours
  const size_t tail = after.size() - 4;
  for (size_t i = 0; i < tail; ++i) EXPECT_EQ(after[i].op, "Release");
  EXPECT_TRUE(after[tail].Is(e2, "Release"));
  EXPECT_TRUE(after[tail + 1].Is(e5, "Release"));
  EXPECT_TRUE(after[tail + 2].Is(primary, "Release"));
  EXPECT_TRUE(after[tail + 3].Is(0, "Release"));
  EXPECT_TRUE(sys.AliveBuffers().empty());
  EXPECT_EQ(soundDevice, nullptr);
  EXPECT_EQ(effectSlots[2], nullptr);
  // A second stop finds no device.
  const size_t mark = sys.Mark();
  StopSoundDevice();
  EXPECT_EQ(sys.Mark(), mark);
}

TEST_F(SoundTest, FillSequenceAndTwoRegionSeam) {
  Open();
  const size_t mark = sys.Mark();
  std::vector<uint8_t> data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 5);
  sys.SplitLocksAt(117);
  platform::SoundBuffer* buffer = nullptr;
  ASSERT_EQ(FillStaticBuffer(soundDevice, &buffer, 300, &melodyFormat, data.data(), true), 1);
  const int id = Id(buffer);
  EXPECT_EQ(sys.Texts(mark),
            (std::vector<std::string>{"device.CreateSoundBuffer(300,0x80e2)",
                                      "buf" + std::to_string(id) + ".Lock(0,300,0)",
                                      "buf" + std::to_string(id) + ".Unlock(117,183)",
                                      "buf" + std::to_string(id) + ".SetCurrentPosition(0)"}));
  EXPECT_EQ(sys.Buffer(id).bytes, data);
  const auto state = sys.Buffer(id);
  EXPECT_EQ(state.description.dwSize, 36u);
  EXPECT_EQ(state.description.dwFlags, 0x80E2u);
  EXPECT_EQ(state.description.dwReserved, 0u);
  for (auto byte : state.description.guid3DAlgorithm) EXPECT_EQ(byte, 0);
  EXPECT_EQ(+state.format.nSamplesPerSec, 22050u);
  EXPECT_EQ(+state.format.wBitsPerSample, 8);

  // Without the rewind the sequence ends with the Unlock.
  platform::SoundBuffer* other = nullptr;
  const size_t mark2 = sys.Mark();
  ASSERT_EQ(FillStaticBuffer(soundDevice, &other, 300, &melodyFormat, data.data(), false), 1);
  EXPECT_EQ(sys.CallsSince(mark2).back().op, "Unlock");
}

TEST_F(SoundTest, MelodyBufferLengthsAndResampledBytes) {
  Open();
  const int sustained[8] = {256, 256, 128, 128, 64, 32, 16, 8};
  const int oneShot[8] = {1024, 2048, 1536, 2048, 1280, 768, 448, 256};
  const int steps[8] = {1, 1, 2, 2, 4, 8, 16, 32};
  for (int shot = 0; shot < 2; ++shot) {
    const uint8_t wave = 7;
    sys.SplitLocksAt(shot ? 500 : 0);  // one-shot buffers also cross a seam
    ASSERT_EQ(BuildMelodyVoice(3, wave, static_cast<int8_t>(shot)), 1);
    for (int row = 0; row < 8; ++row) {
      for (int pair = 0; pair < 2; ++pair) {
        const auto st = sys.Buffer(Mel(3, row, pair));
        ASSERT_EQ(st.bytes.size(), static_cast<size_t>(shot ? oneShot[row] : sustained[row]))
            << "row " << row;
        EXPECT_EQ(st.description.dwFlags, 0x80E2u);
        EXPECT_EQ(+st.format.nChannels, 1);
        EXPECT_EQ(+st.format.nAvgBytesPerSec, 22050u);
        EXPECT_EQ(+st.format.nBlockAlign, 1);
        EXPECT_EQ(st.position, 0u);
        EXPECT_FALSE(st.playing);
        for (size_t i = 0; i < st.bytes.size(); ++i) {
          const int8_t sample = waveTable[wave][(i * steps[row]) % 256];
          ASSERT_EQ(st.bytes[i], static_cast<uint8_t>(sample + 128)) << row << " " << i;
        }
      }
    }
  }
  // The first build's 16 buffers were released by the rebuild: one voice alive.
  EXPECT_EQ(sys.AliveBuffers().size(), 1u + 16u);  // primary + voice
  // -128 becomes 0, 0 becomes 128, 127 becomes 255.
  waveTable[9][0] = -128;
  waveTable[9][1] = 127;
  waveTable[9][2] = 0;
  ASSERT_EQ(BuildMelodyVoice(0, 9, 0), 1);
  const auto row0 = sys.Buffer(Mel(0, 0, 1)).bytes;
  EXPECT_EQ(row0[0], 0);
  EXPECT_EQ(row0[1], 255);
  EXPECT_EQ(row0[2], 128);
}

TEST_F(SoundTest, PartialVoicesAfterFailedCreationOrLock) {
  Open();
  sys.FailBufferCreation(5);  // row 2, pair 0
  EXPECT_EQ(BuildMelodyVoice(1, 0, 0), 1);
  EXPECT_NE(melodyBuffers[1][1][1], nullptr);
  EXPECT_EQ(melodyBuffers[1][2][0], nullptr);
  for (int row = 2; row < 8; ++row) EXPECT_EQ(melodyBuffers[1][row][1], nullptr);

  // The rate reaches the buffers there are; a key in a missing row does nothing.
  const size_t mark = sys.Mark();
  SetMelodyFrequency(0, 1, 1000);
  EXPECT_EQ(sys.CallsSince(mark).size(), 4u);
  PlayMelodyLooped(24, kNoteOn, 1, 1000);
  EXPECT_EQ(currentKey[1], 255);
  PlayMelodyLooped(12, kNoteOn, 1, 1000);
  EXPECT_EQ(currentKey[1], 12);

  sys.FailLock(3);  // row 1, pair 0: created, not filled
  waveTable[0][0] = 50;
  EXPECT_EQ(BuildMelodyVoice(2, 0, 0), 1);
  ASSERT_NE(melodyBuffers[2][1][0], nullptr);
  const auto unfilled = sys.Buffer(Mel(2, 1, 0));
  EXPECT_EQ(unfilled.unlocks, 0);
  EXPECT_EQ(unfilled.bytes[0], 0);
  EXPECT_EQ(sys.Buffer(Mel(2, 0, 1)).bytes[0], 178);
  EXPECT_EQ(melodyBuffers[2][1][1], nullptr);

  // Waveform 100 is refused and keeps the voice; 99 builds.
  platform::SoundBuffer* kept = melodyBuffers[2][0][0];
  EXPECT_EQ(BuildMelodyVoice(2, 100, 0), 0);
  EXPECT_EQ(melodyBuffers[2][0][0], kept);
  EXPECT_EQ(BuildMelodyVoice(2, 99, 0), 1);
  EXPECT_NE(melodyBuffers[2][7][1], nullptr);
  EXPECT_TRUE(sys.Buffer(Id(kept)).released);
  // Track outside 0-7.
  const size_t mark2 = sys.Mark();
  EXPECT_EQ(BuildMelodyVoice(8, 0, 0), 0);
  EXPECT_EQ(BuildMelodyVoice(-1, 0, 0), 0);
  SetMelodyFrequency(0, 8, 1000);
  PlayMelodyLooped(45, kNoteOn, 8, 1000);
  ReleaseMelodyVoice(-1);
  EXPECT_EQ(sys.Mark(), mark2);
}

TEST_F(SoundTest, RatesForEveryRowAndNote) {
  Open();
  BuildMelodyVoice(0, 0, 0);
  size_t mark = sys.Mark();
  SetMelodyFrequency(9, 0, 1000);  // key 45
  EXPECT_EQ(sys.Count(Mel(0, 3, 0), "SetFrequency", Args{56320}, mark), 1);
  EXPECT_EQ(sys.Count(Mel(0, 3, 1), "SetFrequency", Args{56320}, mark), 1);
  EXPECT_EQ(sys.Buffer(Mel(0, 0, 0)).frequency, 14080u);
  EXPECT_EQ(sys.Buffer(Mel(0, 7, 1)).frequency, 56320u);
  EXPECT_EQ(sys.CallsSince(mark).size(), 16u);

  const int cycle[8] = {256, 256, 128, 128, 64, 32, 16, 8};
  const int mult[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const int freq[12] = {262, 277, 294, 311, 330, 349, 370, 392, 415, 440, 466, 494};
  uint32_t lo = UINT32_MAX, hi = 0;
  for (int note = 0; note < 12; ++note) {
    SetMelodyFrequency(note, 0, 1000);
    for (int row = 0; row < 8; ++row) {
      const uint32_t expected = static_cast<uint32_t>(cycle[row] * freq[note] * mult[row] / 8);
      for (int pair = 0; pair < 2; ++pair) {
        const uint32_t got = sys.Buffer(Mel(0, row, pair)).frequency;
        ASSERT_EQ(got, expected) << note << " " << row;
        lo = std::min(lo, got);
        hi = std::max(hi, got);
      }
    }
  }
  EXPECT_EQ(lo, 8384u);
  EXPECT_EQ(hi, 63232u);

  mark = sys.Mark();
  SetMelodyFrequency(9, 0, 1200);
  EXPECT_EQ(sys.Count(Mel(0, 3, 0), "SetFrequency", Args{56520}, mark), 1);
  EXPECT_EQ(sys.Buffer(Mel(0, 0, 0)).frequency, 14280u);
  // A rate the platform refuses leaves the old one.
  SetMelodyFrequency(0, 0, -100000);
  EXPECT_EQ(sys.Buffer(Mel(0, 0, 0)).frequency, 14280u);
  // Notes outside 0-11 do nothing.
  mark = sys.Mark();
  SetMelodyFrequency(12, 0, 1000);
  SetMelodyFrequency(-1, 0, 1000);
  EXPECT_EQ(sys.Mark(), mark);
}

TEST_F(SoundTest, PanAndVolumeGoToTheCurrentBufferOnly) {
  Open();
  BuildMelodyVoice(0, 0, 0);
  size_t mark = sys.Mark();
  SetMelodyPan(0, 0);  // silent: nothing
  SetMelodyVolume(100, 0);
  EXPECT_EQ(sys.Mark(), mark);

  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  const int cur = Mel(0, 3, 0);
  const int pans[13] = {-2560, -2130, -1700, -1270, -840, -410, 0,
                        410,   840,   1270,  1700,  2130, 2560};
  mark = sys.Mark();
  for (int pan = 0; pan < 13; ++pan) SetMelodyPan(pan, 0);
  const auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 13u);
  for (int pan = 0; pan < 13; ++pan) EXPECT_TRUE(calls[pan].Is(cur, "SetPan", Args{pans[pan]}));
  mark = sys.Mark();
  SetMelodyPan(13, 0);
  SetMelodyPan(255, 0);
  SetMelodyPan(-1, 0);
  EXPECT_EQ(sys.Mark(), mark);

  const std::pair<int, int> volumes[] = {{255, 0}, {254, -8}, {127, -1024}, {0, -2040}};
  for (auto [volume, mB] : volumes) {
    mark = sys.Mark();
    SetMelodyVolume(volume, 0);
    ASSERT_EQ(sys.CallsSince(mark).size(), 1u);
    EXPECT_TRUE(sys.CallsSince(mark)[0].Is(cur, "SetVolume", Args{mB}));
  }
  EXPECT_EQ(sys.Count(Mel(0, 3, 1), "SetVolume"), 0);
}

// Every row of the sustained note table, call by call.
TEST_F(SoundTest, LoopedNoteStateMachine) {
  Open();
  BuildMelodyVoice(0, 0, 0);
  const int a0 = Mel(0, 3, 0), a1 = Mel(0, 3, 1);
  const int c0 = Mel(0, 4, 0), c1 = Mel(0, 4, 1);
  auto rates = [](size_t n) { return std::vector<std::string>(n, "SetFrequency"); };
  auto ops = [&](size_t mark) {
    std::vector<std::string> out;
    for (const auto& c : sys.CallsSince(mark)) out.push_back(c.op);
    return out;
  };

  // silent, -1: 16 rates, Play looping on B(k).
  size_t mark = sys.Mark();
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 17u);
  EXPECT_EQ(ops(mark), [&] {
    auto v = rates(16);
    v.push_back("Play");
    return v;
  }());
  EXPECT_TRUE(calls[16].Is(a0, "Play", Args{0, 0, 1}));
  EXPECT_EQ(currentKey[0], 45);
  EXPECT_EQ(alternate[0], 0);

  // same key: Play once on B(k); flip; Play looping; no rate.
  mark = sys.Mark();
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].Is(a0, "Play", Args{0, 0, 0}));
  EXPECT_TRUE(calls[1].Is(a1, "Play", Args{0, 0, 1}));
  EXPECT_EQ(alternate[0], 1);
  EXPECT_TRUE(sys.Buffer(a0).finishing);
  EXPECT_TRUE(sys.Buffer(a1).looping);

  // other key in another row: Play once on B(j); flip; rates; Play looping on B(k).
  mark = sys.Mark();
  PlayMelodyLooped(50, kNoteOn, 0, 1000);  // row 4, note D
  calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 18u);
  EXPECT_TRUE(calls[0].Is(a1, "Play", Args{0, 0, 0}));
  for (size_t i = 1; i < 17; ++i) EXPECT_EQ(calls[i].op, "SetFrequency");
  EXPECT_TRUE(calls[17].Is(c0, "Play", Args{0, 0, 1}));
  EXPECT_EQ(sys.Buffer(a1).frequency, 128u * 294 * 8 / 8);  // the old row got the new rate too
  EXPECT_EQ(currentKey[0], 50);
  EXPECT_EQ(alternate[0], 0);

  // sounding, 0: Stop and rewind B(j); key stays.
  mark = sys.Mark();
  PlayMelodyLooped(0, kNoteStop, 0, 1000);
  EXPECT_EQ(sys.Texts(mark),
            (std::vector<std::string>{"buf" + std::to_string(c0) + ".Stop()",
                                      "buf" + std::to_string(c0) + ".SetCurrentPosition(0)"}));
  EXPECT_EQ(currentKey[0], 50);

  // sounding, 2: Play once on B(j); silent.
  mark = sys.Mark();
  PlayMelodyLooped(0, kNoteRelease, 0, 0);
  calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].Is(c0, "Play", Args{0, 0, 0}));
  EXPECT_EQ(currentKey[0], 255);

  // silent, 2 and 0: nothing. Other modes and keys of 96 and above: nothing.
  mark = sys.Mark();
  PlayMelodyLooped(0, kNoteRelease, 0, 0);
  PlayMelodyLooped(0, kNoteStop, 0, 0);
  PlayMelodyLooped(45, 1, 0, 1000);
  PlayMelodyLooped(45, -2, 0, 1000);
  PlayMelodyLooped(96, kNoteOn, 0, 1000);
  PlayMelodyLooped(255, kNoteOn, 0, 1000);
  EXPECT_EQ(sys.Mark(), mark);
  EXPECT_EQ(currentKey[0], 255);
  (void)c1;
}

// Every row of the one-shot note table, call by call.
TEST_F(SoundTest, OneShotNoteStateMachine) {
  Open();
  BuildMelodyVoice(1, 0, 1);
  const int a0 = Mel(1, 3, 0), a1 = Mel(1, 3, 1);
  const int b1 = Mel(1, 0, 1), b0 = Mel(1, 0, 0);

  size_t mark = sys.Mark();
  PlayMelodyOneShot(45, kNoteOn, 1, 1000);  // silent
  auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 17u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(calls[i].op, "SetFrequency");
  EXPECT_TRUE(calls[16].Is(a0, "Play", Args{0, 0, 0}));
  EXPECT_EQ(alternate[1], 0);

  mark = sys.Mark();
  PlayMelodyOneShot(45, kNoteOn, 1, 1000);  // same key: flip; Play once; first keeps playing
  calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].Is(a1, "Play", Args{0, 0, 0}));
  EXPECT_EQ(alternate[1], 1);
  EXPECT_TRUE(sys.Buffer(a0).playing);

  mark = sys.Mark();
  PlayMelodyOneShot(0, kNoteOn, 1, 1000);  // other key: flip; rates; Play once
  calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 17u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(calls[i].op, "SetFrequency");
  EXPECT_TRUE(calls[16].Is(b0, "Play", Args{0, 0, 0}));
  EXPECT_EQ(currentKey[1], 0);
  EXPECT_EQ(alternate[1], 0);

  mark = sys.Mark();
  PlayMelodyOneShot(0, kNoteStop, 1, 1000);  // Stop, rewind
  EXPECT_EQ(sys.CallsSince(mark).size(), 2u);
  EXPECT_TRUE(sys.CallsSince(mark)[0].Is(b0, "Stop"));
  EXPECT_EQ(currentKey[1], 0);

  mark = sys.Mark();
  PlayMelodyOneShot(0, kNoteRelease, 1, 1000);  // release: no buffer call
  EXPECT_EQ(sys.Mark(), mark);
  EXPECT_EQ(currentKey[1], 255);
  PlayMelodyOneShot(0, kNoteRelease, 1, 1000);
  PlayMelodyOneShot(0, kNoteStop, 1, 1000);
  PlayMelodyOneShot(100, kNoteOn, 1, 1000);
  EXPECT_EQ(sys.Mark(), mark);

  // The release through the sustained operation plays a finished one-shot buffer once more.
  PlayMelodyOneShot(0, kNoteOn, 1, 1000);  // from silence: no flip, pair 0
  PlayMelodyOneShot(0, kNoteOn, 1, 1000);  // same key: flips to pair 1
  sys.PlayedToEnd(b1);
  mark = sys.Mark();
  PlayMelodyLooped(0, kNoteRelease, 1, 0);
  ASSERT_EQ(sys.CallsSince(mark).size(), 1u);
  EXPECT_TRUE(sys.CallsSince(mark)[0].Is(b1, "Play", Args{0, 0, 0}));
  EXPECT_TRUE(sys.Buffer(b1).playing);
  EXPECT_EQ(currentKey[1], 255);
}

TEST_F(SoundTest, RebuildKeepsNoteState) {
  Open();
  BuildMelodyVoice(0, 0, 0);
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  PlayMelodyLooped(45, kNoteOn, 0, 1000);
  ASSERT_EQ(alternate[0], 1);
  BuildMelodyVoice(0, 5, 1);
  EXPECT_EQ(currentKey[0], 45);
  EXPECT_EQ(alternate[0], 1);
  const size_t mark = sys.Mark();
  PlayMelodyLooped(45, kNoteOn, 0, 1000);  // same key on the new buffers
  const auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].Is(Mel(0, 3, 1), "Play", Args{0, 0, 0}));
  EXPECT_TRUE(calls[1].Is(Mel(0, 3, 0), "Play", Args{0, 0, 1}));
  // Releasing the voice leaves the note state too.
  ReleaseMelodyVoice(0);
  EXPECT_EQ(currentKey[0], 45);
  for (auto& row : melodyBuffers[0])
    for (auto* b : row) EXPECT_EQ(b, nullptr);
}

TEST_F(SoundTest, PreviewNoteSpinsEightyTicks) {
  Open();
  BuildMelodyVoice(2, 0, 0);
  ASSERT_EQ(LoadDrumResource("Snare01", 3), 1);
  platform::RecordingTimer timer;
  timer.SetTickCount(1000);
  timer.SetTickStep(7);
  platform::InstallTimerService(&timer);

  size_t mark = sys.Mark();
  PreviewNote(50, 2, 1000);
  const auto after = platform::GetTickCount();
  auto calls = sys.CallsSince(mark);
  ASSERT_EQ(calls.size(), 19u);
  const int b = Mel(2, 4, 0);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(calls[i].op, "SetFrequency");
  EXPECT_TRUE(calls[16].Is(b, "SetVolume", Args{-760}));
  EXPECT_TRUE(calls[17].Is(b, "Play", Args{0, 0, 1}));
  EXPECT_TRUE(calls[18].Is(b, "Play", Args{0, 0, 0}));
  // Noted at 1000, then read until 80 had passed: 1007 ... 1084 (12 reads), then ours.
  EXPECT_EQ(after, 1000u + 7 * 13);
  EXPECT_EQ(currentKey[2], 255);
  EXPECT_EQ(alternate[2], 0);

  // The count may wrap during the spin.
  timer.SetTickCount(UINT32_MAX - 10);
  PreviewNote(50, 2, 1000);
  EXPECT_LT(platform::GetTickCount(), 100u);

  mark = sys.Mark();
  PreviewNote(27, 11, 1000);  // drum 3
  const int d = Id(drumBuffers[3]);
  EXPECT_EQ(sys.Texts(mark),
            (std::vector<std::string>{"buf" + std::to_string(d) + ".Stop()",
                                      "buf" + std::to_string(d) + ".SetCurrentPosition(0)",
                                      "buf" + std::to_string(d) + ".SetFrequency(21700)",
                                      "buf" + std::to_string(d) + ".SetVolume(-760)",
                                      "buf" + std::to_string(d) + ".Play(0,0,0)"}));
  mark = sys.Mark();
  PreviewNote(27, 16, 1000);
  PreviewNote(27, -1, 1000);
  PreviewNote(96, 2, 1000);
  PreviewNote(27, 12, 1000);  // empty drum track
  EXPECT_EQ(sys.Mark(), mark);
  platform::InstallTimerService(nullptr);
}

TEST_F(SoundTest, WaveTableFromResourceAndFile) {
  // A short resource replaces only what it holds.
  static const uint8_t shortTable[300] = {1, 2, 3};
  static const platform::ResourceEntry shortEntry[] = {
      {"WAVE", "wavedata", shortTable, sizeof shortTable}};
  Open();
  EXPECT_EQ(waveTable[1][0], static_cast<int8_t>(11));
  platform::RegisterResources(shortEntry, 1);
  EXPECT_EQ(LoadWaveTable(), 1);
  EXPECT_EQ(waveTable[0][0], 1);
  EXPECT_EQ(waveTable[1][43], 0);                         // byte 299 of the short table
  EXPECT_EQ(waveTable[1][44], static_cast<int8_t>(143));  // kept: 44 * 3 + 11
  platform::UnregisterResources(shortEntry);

  const std::string path = ::testing::TempDir() + "sound_wave_table.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint8_t bytes[5] = {0x80, 0x7F, 9, 9, 9};
  std::fwrite(bytes, 1, 5, f);
  std::fclose(f);
  waveTable[0][5] = 77;
  EXPECT_EQ(LoadWaveTableFile(path.c_str()), 1);
  EXPECT_EQ(waveTable[0][0], -128);
  EXPECT_EQ(waveTable[0][1], 127);
  EXPECT_EQ(waveTable[0][4], 9);
  EXPECT_EQ(waveTable[0][5], 77);  // past the file's end: kept
  EXPECT_EQ(LoadWaveTableFile("/nonexistent/wave.bin"), 0);
  EXPECT_EQ(LoadWaveTableFile(nullptr), 0);
  std::remove(path.c_str());

  // Without the resource: 0 and the table as it was.
  platform::UnregisterResources(TestResources().data());
  EXPECT_EQ(LoadWaveTable(), 0);
  EXPECT_EQ(waveTable[0][0], -128);
  platform::RegisterResources(TestResources().data(), TestResources().size());
}

}  // namespace
}  // namespace sound_test
