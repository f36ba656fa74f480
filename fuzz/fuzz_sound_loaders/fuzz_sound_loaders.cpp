// Feeds arbitrary bytes to the drum and effect loaders, as a resource and as a file, and to
// the waveform table file loader, on the recording sound system.
//
// Input: byte 0 chooses the lock split (low 4 bits, times 64) and whether the first lock
// fails (bit 4); the rest is the sample image or wave table file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "platform/resources.h"
#include "platform/testing/recording_sound.h"
#include "sound/sound.h"

namespace {

int StartEngineStandIn(platform::SoundDevice* device) {
  engineDevice = device;
  return device != nullptr;
}

void ReleaseSongStandIn() {
  for (int i = 0; i < 8; ++i) {
    ReleaseMelodyVoice(i);
    ReleaseDrum(static_cast<int8_t>(i));
  }
}

const fuzzing::InputFile& Input() {
  static const fuzzing::InputFile file("vexolin_fuzz_sound_", ".bin");
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const uint8_t* image = data + 1;
  const size_t bytes = size - 1;

  platform::RecordingSoundSystem sys;
  sys.Install();
  ResetSoundOutputForTests();
  InstallEngineHooks({StartEngineStandIn, nullptr, ReleaseSongStandIn});
  StartSoundDevice(nullptr);
  sys.SplitLocksAt((control & 0x0F) * 64u);
  if (control & 0x10) sys.FailLock(1);

  const platform::ResourceEntry entry[] = {{"WAVE", "FUZZ", image, bytes}};
  platform::RegisterResources(entry, 1);
  LoadDrumResource("FUZZ", control & 7);
  LoadEffectResource("FUZZ", (control >> 5) & 7);
  platform::UnregisterResources(entry);
  PlayDrum(27, 1, static_cast<int8_t>(control & 7));
  PlayEffect((control >> 5) & 7, 1);

  if (Input().Write(image, bytes)) {
    LoadDrumFile(Input().Path(), 1);
    LoadEffectFile(Input().Path(), 2);
    LoadWaveTableFile(Input().Path());
    BuildMelodyVoice(0, static_cast<uint8_t>(control % 100), static_cast<int8_t>(control & 1));
    PlayMelodyLooped(45, kNoteOn, 0, 1000);
    Input().Remove();
  }

  StopSoundDevice();
  if (sys.CallsAfterRelease() != 0) __builtin_trap();
  if (!sys.AliveBuffers().empty()) __builtin_trap();
  InstallEngineHooks({});
  ResetSoundOutputForTests();
  platform::InstallSoundSystem(nullptr);
  return 0;
}
