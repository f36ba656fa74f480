#include "platform/player_lock.h"

namespace platform {

std::recursive_mutex& PlayerMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace platform
