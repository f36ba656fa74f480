// Melody voices: the waveform table, the sixteen resampled buffers of each melody track and
// the two note state machines.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/resources.h"
#include "platform/timer.h"
#include "sound/sample_image.h"
#include "sound/sound.h"

int8_t waveTable[100][256] = {};

const OctaveRow octaveTable[8] = {
    {256, 1, 4},  {256, 2, 8},  {128, 4, 12}, {128, 8, 16},
    {64, 16, 20}, {32, 32, 24}, {16, 64, 28}, {8, 128, 32},
};

const int16_t noteFrequencies[12] = {262, 277, 294, 311, 330, 349, 370, 392, 415, 440, 466, 494};

const int16_t panTable[13] = {0, 43, 86, 129, 172, 215, 256, 297, 340, 383, 426, 469, 512};

const platform::WaveFormatEx melodyFormat = {platform::WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};

platform::SoundBuffer* melodyBuffers[8][8][2] = {};
uint8_t currentKey[8] = {255, 255, 255, 255, 255, 255, 255, 255};
uint8_t alternate[8] = {};

namespace {

constexpr size_t kWaveTableBytes = sizeof waveTable;  // 25600
constexpr int kPreviewMilliseconds = 80;
constexpr int32_t kPreviewVolume = -760;

bool MelodyTrack(int track) {
  return track >= 0 && track < 8;
}

void PlayOn(platform::SoundBuffer* buffer, uint32_t flags) {
  if (buffer != nullptr) buffer->Play(0, 0, flags);
}

void StopAndRewind(platform::SoundBuffer* buffer) {
  if (buffer == nullptr) return;
  buffer->Stop();
  buffer->SetCurrentPosition(0);
}

// B(k): the buffer of key k's row at the track's current pair index.
platform::SoundBuffer* Current(int track, uint8_t key) {
  return melodyBuffers[track][key / 12][alternate[track]];
}

void Flip(int track) {
  alternate[track] = static_cast<uint8_t>(1 - alternate[track]);
}

}  // namespace

int LoadWaveTable() {
  if (engineDevice == nullptr) return 0;
  platform::ResourceData resource;
  if (!platform::FindResource("WAVE", "WAVEDATA", &resource)) return 0;
  // A short resource replaces only what it holds; nothing is read past its end.
  const size_t bytes = std::min(resource.size, kWaveTableBytes);
  if (bytes != 0 && resource.data != nullptr) std::memcpy(waveTable, resource.data, bytes);
  return 1;
}

int LoadWaveTableFile(const char* path) {
  if (engineDevice == nullptr || path == nullptr) return 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return 0;
  std::fread(waveTable, 1, kWaveTableBytes, file);
  std::fclose(file);
  return 1;
}

int BuildMelodyVoice(int track, uint8_t waveNumber, int8_t oneShot) {
  if (engineDevice == nullptr || !MelodyTrack(track)) return 0;
  if (waveNumber > 99) return 0;
  ReleaseMelodyVoice(track);
  FillMelodyBuffers(waveTable[waveNumber], track, oneShot);
  return 1;
}

int FillMelodyBuffers(const int8_t* wave, int track, int8_t oneShot) {
  if (engineDevice == nullptr || wave == nullptr || !MelodyTrack(track)) return 0;
  std::vector<uint8_t> scratch;
  for (int row = 0; row < 8; ++row) {
    const int cycle = octaveTable[row].cycleLength;
    const int n = oneShot != 0 ? cycle * octaveTable[row].oneShotCycles : cycle;
    const int step = 256 / cycle;
    scratch.resize(static_cast<size_t>(n));
    int r = 0;
    for (int i = 0; i < n; ++i) {
      scratch[static_cast<size_t>(i)] = static_cast<uint8_t>(wave[r] + 128);
      r += step;
      if (r > 255) r -= 256;
    }
    for (int pair = 0; pair < 2; ++pair) {
      if (!FillStaticBuffer(engineDevice, &melodyBuffers[track][row][pair],
                            static_cast<uint32_t>(n), &melodyFormat, scratch.data(), true))
        return 0;
    }
  }
  return 1;
}

void ReleaseMelodyVoice(int track) {
  if (engineDevice == nullptr || !MelodyTrack(track)) return;
  for (auto& row : melodyBuffers[track]) {
    for (auto& buffer : row) {
      if (buffer != nullptr) {
        buffer->Release();
        buffer = nullptr;
      }
    }
  }
}

void SetMelodyFrequency(int note, int track, int freqAdjust) {
  if (engineDevice == nullptr || !MelodyTrack(track) || note < 0 || note > 11) return;
  for (int row = 0; row < 8; ++row) {
    const OctaveRow& o = octaveTable[row];
    const int64_t rate =
        static_cast<int64_t>(o.cycleLength) * noteFrequencies[note] * o.rateMultiplier / 8 +
        static_cast<int64_t>(freqAdjust) - 1000;
    for (auto* buffer : melodyBuffers[track][row])
      if (buffer != nullptr) buffer->SetFrequency(sound_internal::SaturateRate(rate));
  }
}

void SetMelodyPan(int pan, int track) {
  if (engineDevice == nullptr || !MelodyTrack(track) || pan < 0 || pan > 12) return;
  if (currentKey[track] == 255) return;
  if (auto* buffer = Current(track, currentKey[track])) buffer->SetPan((panTable[pan] - 256) * 10);
}

void SetMelodyVolume(int volume, int track) {
  if (engineDevice == nullptr || !MelodyTrack(track)) return;
  if (currentKey[track] == 255) return;
  if (auto* buffer = Current(track, currentKey[track]))
    buffer->SetVolume(sound_internal::Saturate32(static_cast<int64_t>(volume) * 8 - 2040));
}

void PlayMelodyLooped(uint8_t key, int mode, int track, int freqAdjust) {
  if (engineDevice == nullptr || !MelodyTrack(track) || key >= 96) return;
  if (Current(track, key) == nullptr) return;
  const uint8_t sounding = currentKey[track];
  switch (mode) {
    case kNoteOn:
      if (sounding == 255) {
        SetMelodyFrequency(key % 12, track, freqAdjust);
        PlayOn(Current(track, key), platform::DSBPLAY_LOOPING);
      } else if (sounding == key) {
        PlayOn(Current(track, key), 0);
        Flip(track);
        PlayOn(Current(track, key), platform::DSBPLAY_LOOPING);
      } else {
        PlayOn(Current(track, sounding), 0);
        Flip(track);
        SetMelodyFrequency(key % 12, track, freqAdjust);
        PlayOn(Current(track, key), platform::DSBPLAY_LOOPING);
      }
      currentKey[track] = key;
      break;
    case kNoteRelease:
      if (sounding == 255) return;
      PlayOn(Current(track, sounding), 0);
      currentKey[track] = 255;
      break;
    case kNoteStop:
      if (sounding == 255) return;
      StopAndRewind(Current(track, sounding));
      break;
    default:
      break;
  }
}

void PlayMelodyOneShot(uint8_t key, int mode, int track, int freqAdjust) {
  if (engineDevice == nullptr || !MelodyTrack(track) || key >= 96) return;
  if (Current(track, key) == nullptr) return;
  const uint8_t sounding = currentKey[track];
  switch (mode) {
    case kNoteOn:
      if (sounding == 255) {
        SetMelodyFrequency(key % 12, track, freqAdjust);
      } else if (sounding == key) {
        Flip(track);
      } else {
        Flip(track);
        SetMelodyFrequency(key % 12, track, freqAdjust);
      }
      PlayOn(Current(track, key), 0);
      currentKey[track] = key;
      break;
    case kNoteRelease:
      if (sounding != 255) currentKey[track] = 255;
      break;
    case kNoteStop:
      if (sounding == 255) return;
      StopAndRewind(Current(track, sounding));
      break;
    default:
      break;
  }
}

void PreviewNote(uint8_t key, int track, int freqAdjust) {
  if (engineDevice == nullptr || track < 0 || track > 15) return;
  if (track < 8) {
    if (key >= 96) return;  // no row holds such a key
    const uint32_t start = platform::GetTickCount();
    SetMelodyFrequency(key % 12, track, freqAdjust);
    platform::SoundBuffer* buffer = melodyBuffers[track][key / 12][0];
    if (buffer != nullptr) {
      buffer->SetVolume(kPreviewVolume);
      buffer->Play(0, 0, platform::DSBPLAY_LOOPING);
    }
    while (platform::GetTickCount() - start < static_cast<uint32_t>(kPreviewMilliseconds)) {
    }
    PlayOn(buffer, 0);
    return;
  }
  const int drum = track - 8;
  platform::SoundBuffer* buffer = drumBuffers[drum];
  if (buffer == nullptr) return;
  buffer->Stop();
  buffer->SetCurrentPosition(0);
  SetDrumFrequency(key, static_cast<int8_t>(drum));
  buffer->SetVolume(kPreviewVolume);
  buffer->Play(0, 0, 0);
}
