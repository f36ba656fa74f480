#include <atomic>
#include <chrono>
#include <thread>

#include "platform/timer.h"

namespace platform {
namespace {
std::atomic<TimerService*> installedService{nullptr};

uint32_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

void InstallTimerService(TimerService* service) {
  installedService.store(service);
}

TimerService* InstalledTimerService() {
  return installedService.load();
}

MMRESULT TimeGetDevCaps(TimeCaps* caps, uint32_t size) {
  TimerService* service = installedService.load();
  return service ? service->GetDevCaps(caps, size) : TIMERR_NOCANDO;
}

MMRESULT TimeBeginPeriod(uint32_t period) {
  TimerService* service = installedService.load();
  return service ? service->BeginPeriod(period) : TIMERR_NOCANDO;
}

MMRESULT TimeEndPeriod(uint32_t period) {
  TimerService* service = installedService.load();
  return service ? service->EndPeriod(period) : TIMERR_NOCANDO;
}

uint32_t TimeSetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback, uintptr_t user,
                      uint32_t flags) {
  TimerService* service = installedService.load();
  return service ? service->SetEvent(delay, resolution, callback, user, flags) : 0;
}

MMRESULT TimeKillEvent(uint32_t timerId) {
  TimerService* service = installedService.load();
  return service ? service->KillEvent(timerId) : MMSYSERR_INVALPARAM;
}

void Sleep(uint32_t milliseconds) {
  TimerService* service = installedService.load();
  if (service) {
    service->Sleep(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

uint32_t GetTickCount() {
  TimerService* service = installedService.load();
  return service ? service->GetTickCount() : SteadyMilliseconds();
}

}  // namespace platform
