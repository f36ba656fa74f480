// Program-wide values of the application that the lower layers read.
//
// The shell writes both: `mainWindow` once the main window exists, `appActive` on every
// activation change. They are stored here, at the bottom, because the screen (tick marker,
// title) and the sound output (cooperative level) read them and must not depend on the shell.
#pragma once

#include <cstdint>

#include "platform/types.h"

// The main window's handle; null until the shell has created the window.
extern platform::WindowHandle mainWindow;
// Non-zero while the application is active (the last activation message's value); 0 at start.
extern int32_t appActive;
