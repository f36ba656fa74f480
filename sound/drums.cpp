// Drum voices: one sampled sound per drum track, triggered at a rate set by the key.
#include <vector>

#include "platform/resources.h"
#include "sound/sample_image.h"
#include "sound/sound.h"

platform::SoundBuffer* drumBuffers[8] = {};

const char* const drumSampleNames[12] = {"Bass01", "Bass02",  "Snare01", "Snare02",
                                         "Tom01",  "HiClose", "HiOpen",  "Crash",
                                         "Per01",  "Per02",   "Bass03",  "Tom02"};

namespace {

bool DrumTrack(int drum) {
  return drum >= 0 && drum < 8;
}

// Replaces the track's buffer by one built from a sample image, once the image is known to
// fit: a refused image leaves the track as it was.
int LoadDrumImage(const uint8_t* image, size_t size, int32_t drum) {
  uint32_t n = 0;
  if (!sound_internal::SampleImageFits(image, size, &n)) return 0;
  ReleaseDrum(static_cast<int8_t>(drum));
  return sound_internal::BuildSampleBuffer(engineDevice, &drumBuffers[drum], image, size, true);
}

}  // namespace

int LoadDrumResource(const char* name, int32_t drum) {
  if (engineDevice == nullptr || name == nullptr || !DrumTrack(drum)) return 0;
  platform::ResourceData resource;
  if (!platform::FindResource("WAVE", name, &resource)) return 0;
  return LoadDrumImage(resource.data, resource.size, drum);
}

int LoadDrumFile(const char* path, int32_t drum) {
  if (engineDevice == nullptr || path == nullptr || !DrumTrack(drum)) return 0;
  std::vector<uint8_t> image;
  if (sound_internal::ReadSampleFile(path, &image) != sound_internal::FileRead::kOk) return 0;
  return LoadDrumImage(image.data(), image.size(), drum);
}

void ReleaseDrum(int8_t drum) {
  if (engineDevice == nullptr || !DrumTrack(drum)) return;
  if (drumBuffers[drum] != nullptr) {
    drumBuffers[drum]->Release();
    drumBuffers[drum] = nullptr;
  }
}

void SetDrumFrequency(uint8_t key, int8_t drum) {
  if (engineDevice == nullptr || !DrumTrack(drum) || drumBuffers[drum] == nullptr) return;
  drumBuffers[drum]->SetFrequency(static_cast<uint32_t>(key) * 800 + 100);
}

void SetDrumPan(uint8_t pan, int8_t drum) {
  if (engineDevice == nullptr || !DrumTrack(drum) || drumBuffers[drum] == nullptr) return;
  if (pan > 12) return;
  drumBuffers[drum]->SetPan((panTable[pan] - 256) * 10);
}

void SetDrumVolume(int32_t volume, int8_t drum) {
  if (engineDevice == nullptr || !DrumTrack(drum) || drumBuffers[drum] == nullptr) return;
  drumBuffers[drum]->SetVolume(sound_internal::Saturate32(static_cast<int64_t>(volume) * 8 - 2040));
}

void PlayDrum(uint8_t key, int32_t mode, int8_t drum) {
  if (engineDevice == nullptr || !DrumTrack(drum) || drumBuffers[drum] == nullptr) return;
  platform::SoundBuffer* buffer = drumBuffers[drum];
  if (mode == 0) {
    buffer->Stop();
    buffer->SetCurrentPosition(0);
  } else if (mode == 1) {
    buffer->Stop();
    buffer->SetCurrentPosition(0);
    SetDrumFrequency(key, drum);
    buffer->Play(0, 0, 0);
  }
}
