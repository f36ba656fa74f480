#include <atomic>

#include "platform/sound.h"

namespace platform {
namespace {
std::atomic<SoundSystem*> installedSystem{nullptr};
}  // namespace

void InstallSoundSystem(SoundSystem* system) {
  installedSystem.store(system);
}

SoundSystem* InstalledSoundSystem() {
  return installedSystem.load();
}

HRESULT DirectSoundCreate(const void* deviceId, SoundDevice** device, void* outer) {
  if (device == nullptr) return DSERR_INVALIDPARAM;
  *device = nullptr;
  if (deviceId != nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  SoundSystem* system = installedSystem.load();
  if (system == nullptr) return DSERR_NODRIVER;
  return system->CreateDevice(device);
}

}  // namespace platform
