#include "platform/testing/recording_timer.h"

#include "platform/player_lock.h"

namespace platform {

void RecordingTimer::Record(const char* name, std::vector<uint64_t> args, uint64_t result) {
  calls_.push_back(TimerCall{name, std::move(args), result});
}

MMRESULT RecordingTimer::GetDevCaps(TimeCaps* caps, uint32_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  MMRESULT result = TIMERR_NOERROR;
  if (failGetDevCaps_) {
    result = TIMERR_NOCANDO;
  } else if (caps == nullptr || size < sizeof(TimeCaps)) {
    result = MMSYSERR_INVALPARAM;
  } else {
    caps->wPeriodMin = periodMin_;
    caps->wPeriodMax = periodMax_;
  }
  Record("GetDevCaps", {size}, result);
  return result;
}

MMRESULT RecordingTimer::BeginPeriod(uint32_t period) {
  std::lock_guard<std::mutex> lock(mutex_);
  MMRESULT result = TIMERR_NOERROR;
  if (failBeginPeriod_ || period < periodMin_ || period > periodMax_) {
    result = TIMERR_NOCANDO;
  } else {
    ++periods_[period];
  }
  Record("BeginPeriod", {period}, result);
  return result;
}

MMRESULT RecordingTimer::EndPeriod(uint32_t period) {
  std::lock_guard<std::mutex> lock(mutex_);
  MMRESULT result = TIMERR_NOERROR;
  auto it = periods_.find(period);
  if (failEndPeriod_ || it == periods_.end()) {
    result = TIMERR_NOCANDO;
  } else if (--it->second == 0) {
    periods_.erase(it);
  }
  Record("EndPeriod", {period}, result);
  return result;
}

uint32_t RecordingTimer::SetEvent(uint32_t delay, uint32_t resolution, TimerCallback callback,
                                  uintptr_t user, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t id = 0;
  if (!failSetEvent_ && delay >= 1 && delay <= periodMax_ && callback != nullptr) {
    id = nextId_++;
    events_[id] = Event{delay, resolution, callback, user, flags, true};
  }
  Record("SetEvent", {delay, resolution, user, flags}, id);
  return id;
}

MMRESULT RecordingTimer::KillEvent(uint32_t timerId) {
  std::lock_guard<std::mutex> lock(mutex_);
  MMRESULT result = MMSYSERR_INVALPARAM;
  auto it = events_.find(timerId);
  if (it != events_.end() && it->second.live) {
    it->second.live = false;
    result = TIMERR_NOERROR;
  }
  Record("KillEvent", {timerId}, result);
  return result;
}

void RecordingTimer::Sleep(uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  Record("Sleep", {milliseconds}, 0);
}

uint32_t RecordingTimer::GetTickCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t now = ticks_;
  ticks_ += tickStep_;
  return now;
}

void RecordingTimer::SetPeriodRange(uint32_t periodMin, uint32_t periodMax) {
  std::lock_guard<std::mutex> lock(mutex_);
  periodMin_ = periodMin;
  periodMax_ = periodMax;
}

void RecordingTimer::FailGetDevCaps(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failGetDevCaps_ = fail;
}

void RecordingTimer::FailBeginPeriod(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failBeginPeriod_ = fail;
}

void RecordingTimer::FailEndPeriod(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failEndPeriod_ = fail;
}

void RecordingTimer::FailSetEvent(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  failSetEvent_ = fail;
}

void RecordingTimer::SetTickCount(uint32_t ticks) {
  std::lock_guard<std::mutex> lock(mutex_);
  ticks_ = ticks;
}

void RecordingTimer::SetTickStep(uint32_t step) {
  std::lock_guard<std::mutex> lock(mutex_);
  tickStep_ = step;
}

bool RecordingTimer::Fire(uint32_t timerId) {
  // Like the real timer: the player lock first, then our own lock only to look the event up,
  // released before the callback so it may set and kill events.
  PlayerLock playerLock;
  TimerCallback callback;
  uintptr_t user;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = events_.find(timerId);
    if (it == events_.end() || !it->second.live) return false;
    callback = it->second.callback;
    user = it->second.user;
    if ((it->second.flags & TIME_PERIODIC) == 0) it->second.live = false;
  }
  callback(timerId, 0, user, 0, 0);
  return true;
}

int RecordingTimer::FireAll() {
  int fired = 0;
  for (uint32_t id : LiveEvents()) {
    if (Fire(id)) ++fired;
  }
  return fired;
}

std::vector<uint32_t> RecordingTimer::LiveEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint32_t> live;
  for (const auto& [id, event] : events_) {
    if (event.live) live.push_back(id);
  }
  return live;
}

uint32_t RecordingTimer::EventDelay(uint32_t timerId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = events_.find(timerId);
  return it == events_.end() ? 0 : it->second.delay;
}

std::vector<std::string> RecordingTimer::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const TimerCall& call : calls_) {
    std::string text = call.name + "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
      if (i) text += ",";
      text += std::to_string(call.args[i]);
    }
    out.push_back(text + ")");
  }
  return out;
}

std::vector<TimerCall> RecordingTimer::CallRecords() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void RecordingTimer::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

std::map<uint32_t, int> RecordingTimer::OutstandingPeriods() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return periods_;
}

}  // namespace platform
