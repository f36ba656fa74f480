// The tick engine and the engine's control operations.
#include "engine/engine.h"

#include "platform/player_lock.h"
#include "song/song.h"
#include "sound/sound.h"

int32_t loopCount = 0;
int32_t masterVolume = 127;
int32_t noteTicksLeft[8] = {};
int32_t trackVolume[16] = {};
int32_t oneSongOnly = 0;

namespace {
TickHooks tickHooks;
}

void InstallTickHooks(const TickHooks& hooks) {
  tickHooks = hooks;
}

void Song::Tick() {
  if (oneSongOnly != 0 || loopCount <= 0) {
    masterVolume = 127;
  } else {
    masterVolume -= 2;
    if (masterVolume < 0) {
      masterVolume = 0;
      if (tickHooks.advanceSong != nullptr) tickHooks.advanceSong();
    }
  }
  if (tickHooks.stepTickMarker != nullptr) tickHooks.stepTickMarker();

  for (int t = 0; t < kMelodyTrackCount; ++t) {
    const TrackInfo& track = info.tracks[t];
    NoteEvent* event = trackCursor[t];
    if (event != nullptr && event->position == playPosition) {
      if (trackMute[t] == 0 && event->key != NoChange) {
        if (track.oneShot != 0) {
          PlayMelodyOneShot(event->key, kNoteOn, t, track.freqAdjust);
        } else {
          PlayMelodyLooped(event->key, kNoteOn, t, track.freqAdjust);
        }
        noteTicksLeft[t] = event->length;
      }
      if (event->pan != NoChange) SetMelodyPan(event->pan, t);
      if (event->volume != NoChange) trackVolume[t] = event->volume;
      trackCursor[t] = event->next;
    }
    if (noteTicksLeft[t] == 0) {
      if (track.oneShot != 0) {
        PlayMelodyOneShot(0, kNoteRelease, t, track.freqAdjust);
      } else {
        PlayMelodyLooped(0, kNoteRelease, t, track.freqAdjust);
      }
    }
    if (noteTicksLeft[t] > 0) --noteTicksLeft[t];
    if (trackCursor[t] != nullptr) SetMelodyVolume(trackVolume[t] * masterVolume / 127, t);
  }

  for (int t = kMelodyTrackCount; t < kTrackCount; ++t) {
    const int8_t drum = static_cast<int8_t>(t - kMelodyTrackCount);
    NoteEvent* event = trackCursor[t];
    if (event != nullptr && event->position == playPosition) {
      if (event->key != NoChange && trackMute[t] == 0) PlayDrum(event->key, 1, drum);
      if (event->pan != NoChange) SetDrumPan(event->pan, drum);
      if (event->volume != NoChange) trackVolume[t] = event->volume;
      trackCursor[t] = event->next;
    }
    if (trackCursor[t] != nullptr) SetDrumVolume(trackVolume[t] * masterVolume / 127, drum);
  }

  playPosition = playPosition + 1;
  if (playPosition >= info.repeatEnd) {
    loopCount = loopCount + 1;
    Seek(info.repeatStart);
  }
}

int StartEngine(platform::SoundDevice* device) {
  engineDevice = device;
  if (device == nullptr) return 0;
  if (!LoadWaveTable()) return 0;
  theSong.Reset();
  return 1;
}

int LoadSong(const char* name) {
  platform::PlayerLock lock;
  if (engineDevice == nullptr) return 0;
  return theSong.LoadResource(name) ? 1 : 0;
}

void SeekMeasure(int32_t measure) {
  platform::PlayerLock lock;
  if (engineDevice == nullptr) return;
  // Signed 32-bit arithmetic that wraps rather than overflowing.
  const uint32_t ticks =
      static_cast<uint32_t>(measure) * theSong.info.beatsPerMeasure * theSong.info.stepsPerBeat;
  theSong.Seek(static_cast<int32_t>(ticks));
}

int32_t GetPlayPosition() {
  if (engineDevice == nullptr) return 0;
  return playPosition;
}

void StartPlayback() {
  platform::PlayerLock lock;
  loopCount = 0;
  masterVolume = 127;
  if (engineDevice == nullptr) return;
  BeginClockPeriod();
  StartClock(theSong.info.tickWait);
}

int SetMasterVolume(int32_t volume) {
  platform::PlayerLock lock;
  if (engineDevice == nullptr) return 0;
  if (volume < 0 || volume > 127) return 0;
  masterVolume = volume;
  return 1;
}

void StopPlayback() {
  platform::PlayerLock lock;
  if (engineDevice == nullptr) return;
  for (int track = 0; track < kMelodyTrackCount; ++track) {
    PlayMelodyLooped(0, kNoteRelease, track, 0);
  }
  StopClock();
}

void ReleaseSong() {
  platform::PlayerLock lock;
  if (engineDevice == nullptr) return;
  theSong.FreeNotes();
  for (int i = 0; i < 8; ++i) {
    ReleaseMelodyVoice(i);
    ReleaseDrum(static_cast<int8_t>(i));
  }
}

void ConnectEngineToSoundDevice() {
  EngineHooks hooks;
  hooks.startEngine = StartEngine;
  hooks.stopPlayback = StopPlayback;
  hooks.releaseSong = ReleaseSong;
  InstallEngineHooks(hooks);
}

void ResetClockForTests();

void ResetEngineForTests() {
  loopCount = 0;
  masterVolume = 127;
  for (int32_t& left : noteTicksLeft) left = 0;
  for (int32_t& volume : trackVolume) volume = 0;
  oneSongOnly = 0;
  tickHooks = TickHooks{};
  ResetClockForTests();
}
