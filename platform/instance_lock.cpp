// The single-instance guard on flock: the kernel drops the lock when the holder's process
// ends, however it ends.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

struct MutexObject {
  int fd = -1;
  bool held = false;
};

namespace {

std::string LockPath(const char* name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + name + ".lock";
  return "/tmp/" + std::string(name) + "-" + std::to_string(getuid()) + ".lock";
}

bool ValidName(const char* name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p)
    if (*p == '/') return false;
  return true;
}

int OpenLockFile(const char* name) {
  return open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

HANDLE OpenMutex(uint32_t, bool, const char* name) {
  if (!ValidName(name)) return nullptr;
  int fd = OpenLockFile(name);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: there is no such mutex.
    flock(fd, LOCK_UN);
    close(fd);
    return nullptr;
  }
  return new MutexObject{fd, false};
}

HANDLE CreateMutex(const void*, bool, const char* name) {
  if (!ValidName(name)) return nullptr;
  int fd = OpenLockFile(name);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return new MutexObject{fd, true};
}

bool ReleaseMutex(HANDLE mutex) {
  if (!mutex || !mutex->held) return false;
  flock(mutex->fd, LOCK_UN);
  mutex->held = false;
  return true;
}

bool CloseHandle(HANDLE mutex) {
  if (!mutex) return false;
  close(mutex->fd);  // also drops a lock still held
  delete mutex;
  return true;
}

}  // namespace platform
