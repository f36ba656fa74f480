// The single-instance guard: a named, per-user lock the system frees when the process dies
// (flock on $XDG_RUNTIME_DIR/<name>.lock, else /tmp/<name>-<uid>.lock). Never a PID file.
#pragma once

#include <cstdint>

namespace platform {

struct MutexObject;
using HANDLE = MutexObject*;

inline constexpr uint32_t MUTEX_ALL_ACCESS = 0x1F0001u;

// Returns a handle when some holder (this process or another) has the lock `name`; null when
// nobody holds it.
HANDLE OpenMutex(uint32_t access, bool inherit, const char* name);
// Takes the lock `name` and returns its handle; null when it cannot (already held, or the lock
// file cannot be opened). `security` is ignored.
HANDLE CreateMutex(const void* security, bool initialOwner, const char* name);
// Gives the lock up (the handle stays valid until CloseHandle).
bool ReleaseMutex(HANDLE mutex);
bool CloseHandle(HANDLE mutex);

}  // namespace platform
