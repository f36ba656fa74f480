// Effect slots: eight sampled sounds apart from the song, on the sound device itself.
#include <vector>

#include "platform/resources.h"
#include "sound/sample_image.h"
#include "sound/sound.h"

platform::SoundBuffer* effectSlots[8] = {};

namespace {

bool EffectSlot(int32_t slot) {
  return slot >= 0 && slot < 8;
}

// As for the drum tracks, but the position is left where the fill put it.
int LoadEffectImage(const uint8_t* image, size_t size, int32_t slot) {
  uint32_t n = 0;
  if (!sound_internal::SampleImageFits(image, size, &n)) return 0;
  if (effectSlots[slot] != nullptr) {
    effectSlots[slot]->Release();
    effectSlots[slot] = nullptr;
  }
  return sound_internal::BuildSampleBuffer(soundDevice, &effectSlots[slot], image, size, false);
}

platform::SoundBuffer* SlotBuffer(int32_t slot) {
  if (soundDevice == nullptr || !EffectSlot(slot)) return nullptr;
  return effectSlots[slot];
}

}  // namespace

int LoadEffectResource(const char* name, int32_t slot) {
  if (soundDevice == nullptr) return 1;
  if (name == nullptr || !EffectSlot(slot)) return 0;
  platform::ResourceData resource;
  if (!platform::FindResource("WAVE", name, &resource)) return 0;
  return LoadEffectImage(resource.data, resource.size, slot);
}

int LoadEffectFile(const char* path, int32_t slot) {
  if (soundDevice == nullptr) return 1;
  if (path == nullptr || !EffectSlot(slot)) return 0;
  std::vector<uint8_t> image;
  if (sound_internal::ReadSampleFile(path, &image) != sound_internal::FileRead::kOk) return 0;
  return LoadEffectImage(image.data(), image.size(), slot);
}

void PlayEffect(int32_t slot, int32_t mode) {
  platform::SoundBuffer* buffer = SlotBuffer(slot);
  if (buffer == nullptr) return;
  if (mode == -1) {
    buffer->Play(0, 0, platform::DSBPLAY_LOOPING);
  } else if (mode == 0) {
    buffer->Stop();
  } else if (mode == 1) {
    buffer->Stop();
    buffer->SetCurrentPosition(0);
    buffer->Play(0, 0, 0);
  }
}

void SetEffectFrequency(int32_t slot, int32_t value) {
  if (platform::SoundBuffer* buffer = SlotBuffer(slot))
    buffer->SetFrequency(sound_internal::SaturateRate(static_cast<int64_t>(value) * 10 + 100));
}

void SetEffectVolume(int32_t slot, int32_t value) {
  if (platform::SoundBuffer* buffer = SlotBuffer(slot))
    buffer->SetVolume(sound_internal::Saturate32(static_cast<int64_t>(value) * 8 - 2400));
}

void SetEffectPan(int32_t slot, int32_t value) {
  if (platform::SoundBuffer* buffer = SlotBuffer(slot))
    buffer->SetPan(sound_internal::Saturate32(static_cast<int64_t>(value) * 10 - 2560));
}
