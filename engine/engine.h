// The playback engine: the tick, the engine's control operations, the master volume and its
// fade, and the playback clock that runs the tick on the platform timer.
#pragma once

#include <cstdint>

#include "platform/sound.h"

// ---- Engine state -------------------------------------------------------------------------

extern int32_t loopCount;
extern int32_t masterVolume;      // 0-127; 127 at program start
extern int32_t noteTicksLeft[8];  // per melody track
extern int32_t trackVolume[16];   // last volume an event of the track carried
// Set by the juke-box: non-zero makes the current song repeat for ever.
extern int32_t oneSongOnly;

// ---- Control operations -------------------------------------------------------------------

int StartEngine(platform::SoundDevice* device);
int LoadSong(const char* name);
void SeekMeasure(int32_t measure);
int32_t GetPlayPosition();
void StartPlayback();
int SetMasterVolume(int32_t volume);
void StopPlayback();
void ReleaseSong();

// Installs StartEngine, StopPlayback and ReleaseSong as the sound device's engine hooks.
void ConnectEngineToSoundDevice();

// The calls the tick makes upwards: the screen's tick marker on every tick, and the
// juke-box advance at the bottom of a fade. Installed at start-up; null hooks do nothing.
struct TickHooks {
  void (*stepTickMarker)() = nullptr;
  void (*advanceSong)() = nullptr;
};
void InstallTickHooks(const TickHooks& hooks);

// ---- Playback clock -----------------------------------------------------------------------

extern uint32_t clockPeriod;   // 13 at program start
extern uint32_t clockTimerId;  // 0 before the first StartClock

int BeginClockPeriod();
int StartClock(uint32_t delay);
void ClockCallback(uint32_t timerId, uint32_t message, uintptr_t user, uintptr_t reserved1,
                   uintptr_t reserved2);
int StopClock();

// Tests only: puts every engine and clock value back to its program-start state.
void ResetEngineForTests();
