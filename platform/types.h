// Basic types shared by every platform service.
#pragma once

#include <cstdint>

namespace platform {

// A window of the application, or null. The platform layer owns what it points to.
struct WindowObject;
using WindowHandle = WindowObject*;

}  // namespace platform
