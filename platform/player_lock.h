// The one player lock.
//
// Every entry into the subsystems takes it: each tick (the timer takes it around every
// callback), each menu command, each paint. It is recursive, so a tick that advances the
// juke-box can re-enter the engine on the same thread. Lock order everywhere: player lock
// first, then the mixer's own lock.
#pragma once

#include <mutex>

namespace platform {

std::recursive_mutex& PlayerMutex();

// Holds the player lock for a scope.
class PlayerLock {
 public:
  PlayerLock() : guard_(PlayerMutex()) {}

 private:
  std::lock_guard<std::recursive_mutex> guard_;
};

}  // namespace platform
