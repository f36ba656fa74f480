// The Linux entry of the juke-box: embedded resources, the software mixer as sound system
// and timer, the live audio output, the display, then the juke-box's own start-up.
#include <cstdio>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "platform/instance_lock.h"
#include "platform/mixer.h"
#include "platform/sdl_audio.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "resources/embedded.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "shell/main_window.h"

namespace {
std::unique_ptr<platform::LiveAudioOutput> audioOutput;

void CloseAudio() {
  audioOutput.reset();
  platform::InstallSoundSystem(nullptr);
  platform::InstallTimerService(nullptr);
}
}  // namespace

int main() {
  // A second copy leaves before it opens anything.
  if (platform::HANDLE other =
          platform::OpenMutex(platform::MUTEX_ALL_ACCESS, false, kInstanceLockName)) {
    platform::CloseHandle(other);
    return 0;
  }
  std::string error;
  if (!platform::InstallDisplay(&error)) {
    std::fprintf(stderr, "vexolin: cannot open the display: %s\n", error.c_str());
    return 1;
  }
  RegisterEmbeddedResources();

  static platform::Mixer mixer;
  platform::InstallTimerService(&mixer);
  audioOutput = platform::LiveAudioOutput::Open(mixer, &error);
  if (audioOutput) {
    platform::InstallSoundSystem(&mixer);
  } else {
    // No audio device: the juke-box runs silently.
    std::fprintf(stderr, "vexolin: no audio output (%s); playing silently\n", error.c_str());
  }
  ConnectEngineToSoundDevice();
  InstallTickHooks({StepTickMarker, AdvanceSong});

  const int result = WinMain(nullptr, nullptr, "", platform::SW_SHOWDEFAULT, {CloseAudio});
  platform::UninstallDisplay();
  return result;
}
