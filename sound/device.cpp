// The sound device: opening and closing it, the buffer descriptions and the fill sequence.
#include <algorithm>
#include <cstring>

#include "platform/app.h"
#include "sound/sample_image.h"
#include "sound/sound.h"

platform::SoundDevice* soundDevice = nullptr;
platform::SoundBuffer* primaryBuffer = nullptr;
platform::SoundDevice* engineDevice = nullptr;

namespace {
EngineHooks engineHooks;
// The description's size as the device knows it (its 32-bit layout), whatever the pointer
// width of this build.
constexpr uint32_t kDescriptionSize = 36;
}  // namespace

void InstallEngineHooks(const EngineHooks& hooks) {
  engineHooks = hooks;
}

platform::BufferDescription SecondaryBufferDescription(uint32_t bytes,
                                                       const platform::WaveFormatEx* format) {
  platform::BufferDescription description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = kDescriptionSize;
  description.dwFlags = kSecondaryBufferFlags;
  description.dwBufferBytes = bytes;
  description.dwReserved = 0;
  description.lpwfxFormat = format;
  return description;
}

int FillStaticBuffer(platform::SoundDevice* device, platform::SoundBuffer** slot, uint32_t bytes,
                     const platform::WaveFormatEx* format, const uint8_t* data, bool rewind) {
  if (device == nullptr || slot == nullptr) return 0;
  platform::BufferDescription description = SecondaryBufferDescription(bytes, format);
  *slot = nullptr;
  if (device->CreateSoundBuffer(&description, slot, nullptr) != platform::DS_OK ||
      *slot == nullptr) {
    *slot = nullptr;
    return 0;
  }
  platform::SoundBuffer* buffer = *slot;
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t size1 = 0;
  uint32_t size2 = 0;
  if (buffer->Lock(0, bytes, &region1, &size1, &region2, &size2, 0) != platform::DS_OK) return 0;
  // Never copy more than the sound holds, whatever sizes the lock reports.
  const uint32_t first = std::min(size1, bytes);
  if (region1 != nullptr && first != 0) std::memcpy(region1, data, first);
  if (size2 != 0 && region2 != nullptr) {
    const uint32_t second = std::min(size2, bytes - first);
    if (second != 0) std::memcpy(region2, data + first, second);
  }
  buffer->Unlock(region1, size1, region2, size2);
  if (rewind) buffer->SetCurrentPosition(0);
  return 1;
}

int StartSoundDevice(platform::WindowHandle window) {
  platform::SoundDevice* device = nullptr;
  if (platform::DirectSoundCreate(nullptr, &device, nullptr) != platform::DS_OK ||
      device == nullptr) {
    soundDevice = nullptr;
    if (engineHooks.startEngine) engineHooks.startEngine(nullptr);
    return 0;
  }
  soundDevice = device;
  soundDevice->SetCooperativeLevel(window, platform::DSSCL_EXCLUSIVE);

  platform::BufferDescription primary;
  std::memset(&primary, 0, sizeof primary);
  primary.dwSize = kDescriptionSize;
  primary.dwFlags = kPrimaryBufferFlags;
  primaryBuffer = nullptr;
  if (soundDevice->CreateSoundBuffer(&primary, &primaryBuffer, nullptr) != platform::DS_OK)
    primaryBuffer = nullptr;

  for (auto& slot : effectSlots) slot = nullptr;
  if (engineHooks.startEngine) engineHooks.startEngine(soundDevice);
  return 1;
}

void SetNormalCooperation() {
  if (soundDevice == nullptr) return;
  soundDevice->SetCooperativeLevel(mainWindow, platform::DSSCL_NORMAL);
}

void StopSoundDevice() {
  if (soundDevice == nullptr) return;
  if (engineHooks.stopPlayback) engineHooks.stopPlayback();
  if (engineHooks.releaseSong) engineHooks.releaseSong();
  for (auto& slot : effectSlots) {
    if (slot != nullptr) {
      slot->Release();
      slot = nullptr;
    }
  }
  if (primaryBuffer != nullptr) {
    primaryBuffer->Release();
    primaryBuffer = nullptr;
  }
  soundDevice->Release();
  // Both references go, so that a stray call afterwards finds no device instead of a
  // released one.
  soundDevice = nullptr;
  engineDevice = nullptr;
}

namespace sound_internal {

int32_t Saturate32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

uint32_t SaturateRate(int64_t value) {
  return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

}  // namespace sound_internal

void ResetSoundOutputForTests() {
  soundDevice = nullptr;
  primaryBuffer = nullptr;
  engineDevice = nullptr;
  std::memset(waveTable, 0, sizeof waveTable);
  for (auto& track : melodyBuffers)
    for (auto& row : track)
      for (auto& buffer : row) buffer = nullptr;
  for (auto& key : currentKey) key = 255;
  for (auto& pair : alternate) pair = 0;
  for (auto& buffer : drumBuffers) buffer = nullptr;
  for (auto& slot : effectSlots) slot = nullptr;
}
