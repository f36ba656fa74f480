// A timer double for tests: records every call with its arguments, keeps the period
// bookkeeping of the real timer, and fires events only when the test asks.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/timer.h"

namespace platform {

// One recorded call: its name, its arguments in order and what it returned.
struct TimerCall {
  std::string name;
  std::vector<uint64_t> args;
  uint64_t result;
};

class RecordingTimer : public TimerService {
 public:
  // Recorded: "GetDevCaps(8)" (the size), "BeginPeriod(13)", "EndPeriod(13)",
  // "SetEvent(128,10,0,1)" (delay, resolution, user, flags), "KillEvent(1)", "Sleep(1)".
  MMRESULT GetDevCaps(TimeCaps* caps, uint32_t size) override;
  MMRESULT BeginPeriod(uint32_t period) override;
  // Refused with TIMERR_NOCANDO unless a BeginPeriod of the same value is outstanding.
  MMRESULT EndPeriod(uint32_t period) override;
  // Returns ids 1, 2, ... in order; 0 when refused (delay 0, null callback, or told to fail).
  uint32_t SetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback, uintptr_t user,
                    uint32_t flags) override;
  // MMSYSERR_INVALPARAM for an unknown or already killed id.
  MMRESULT KillEvent(uint32_t timerId) override;
  // Recorded and returns at once.
  void Sleep(uint32_t milliseconds) override;
  // Returns the test's tick count, then advances it by the tick step (not recorded).
  uint32_t GetTickCount() override;

  // Configuration.
  void SetPeriodRange(uint32_t periodMin, uint32_t periodMax);  // defaults 1 and 1000000
  void FailGetDevCaps(bool fail);
  void FailBeginPeriod(bool fail);
  void FailEndPeriod(bool fail);
  void FailSetEvent(bool fail);
  void SetTickCount(uint32_t ticks);
  void SetTickStep(uint32_t step);  // default 1

  // Runs a live event's callback once with the player lock held; false if the id is not
  // live. A one-shot event is no longer live after it fired.
  bool Fire(uint32_t timerId);
  // Fires every event live when called, in id order; events killed by an earlier callback
  // are skipped, events set by one are not fired. Returns how many callbacks ran.
  int FireAll();
  std::vector<uint32_t> LiveEvents() const;
  // Delay of a live or killed event; 0 if the id was never given.
  uint32_t EventDelay(uint32_t timerId) const;

  std::vector<std::string> Calls() const;  // e.g. {"GetDevCaps(8)", "BeginPeriod(13)"}
  std::vector<TimerCall> CallRecords() const;
  void ClearCalls();
  // BeginPeriod values not yet matched by an EndPeriod, with their counts.
  std::map<uint32_t, int> OutstandingPeriods() const;

 private:
  struct Event {
    uint32_t delay;
    uint32_t resolution;
    TimerCallback callback;
    uintptr_t user;
    uint32_t flags;
    bool live;
  };
  void Record(const char* name, std::vector<uint64_t> args, uint64_t result);

  mutable std::mutex mutex_;
  std::vector<TimerCall> calls_;
  std::map<uint32_t, Event> events_;
  std::map<uint32_t, int> periods_;
  uint32_t nextId_ = 1;
  uint32_t periodMin_ = 1;
  uint32_t periodMax_ = 1000000;
  bool failGetDevCaps_ = false;
  bool failBeginPeriod_ = false;
  bool failEndPeriod_ = false;
  bool failSetEvent_ = false;
  uint32_t ticks_ = 0;
  uint32_t tickStep_ = 1;
};

}  // namespace platform
