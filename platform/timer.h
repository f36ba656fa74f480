// Periodic timer events, timer resolution, the tick count and Sleep, with the multimedia
// timer's operations and result codes.
//
// The implementation chosen with `InstallTimerService` decides what time is: the software
// mixer (platform/mixer.h) runs events on the audio sample clock; a test double lets tests
// fire events by hand. Every timer callback runs with the player lock held
// (platform/player_lock.h).
#pragma once

#include <cstdint>

namespace platform {

using MMRESULT = uint32_t;
inline constexpr MMRESULT TIMERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT TIMERR_NOCANDO = 97;

inline constexpr uint32_t TIME_ONESHOT = 0;
inline constexpr uint32_t TIME_PERIODIC = 1;
inline constexpr uint32_t TIME_CALLBACK_FUNCTION = 0;

// Timer capabilities: the shortest and longest period in milliseconds.
struct TimeCaps {
  uint32_t wPeriodMin;
  uint32_t wPeriodMax;
};

using TimerCallback = void (*)(uint32_t timerId, uint32_t message, uintptr_t user,
                               uintptr_t reserved1, uintptr_t reserved2);

class TimerService {
 public:
  virtual MMRESULT GetDevCaps(TimeCaps* caps, uint32_t size) = 0;
  virtual MMRESULT BeginPeriod(uint32_t period) = 0;
  virtual MMRESULT EndPeriod(uint32_t period) = 0;
  virtual uint32_t SetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback,
                            uintptr_t user, uint32_t flags) = 0;
  virtual MMRESULT KillEvent(uint32_t timerId) = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint32_t GetTickCount() = 0;

 protected:
  ~TimerService() = default;
};

// Chooses the timer service; null means none (events refused, real-time Sleep and tick count).
void InstallTimerService(TimerService* service);
TimerService* InstalledTimerService();

MMRESULT TimeGetDevCaps(TimeCaps* caps, uint32_t size);
MMRESULT TimeBeginPeriod(uint32_t period);
MMRESULT TimeEndPeriod(uint32_t period);
// Returns the new event's id, or 0 when refused.
uint32_t TimeSetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback, uintptr_t user,
                      uint32_t flags);
MMRESULT TimeKillEvent(uint32_t timerId);
void Sleep(uint32_t milliseconds);
uint32_t GetTickCount();

}  // namespace platform
