// The application's entry and its one window: single instance, window class and window,
// screen and sound start-up, the message loop, and the window procedure with its commands.
#pragma once

#include <cstdint>

#include "platform/window.h"

// The instance guard's name.
inline constexpr const char* kInstanceLockName = "Vexolin";

platform::LRESULT MainWindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WPARAM wParam, platform::LPARAM lParam);

// Runs one command id of the main menu (the WM_COMMAND table).
void RunCommand(platform::WindowHandle window, uint32_t commandId);

// The version box's text, CR LF separated.
const char* VersionText();

// What the platform's entry gives the start-up; `afterLoop` runs once the message loop has
// ended and playback and the sound device are stopped, before the font and the instance lock
// are let go (the Linux entry closes its audio output there).
struct StartupHooks {
  void (*afterLoop)() = nullptr;
};

// The start-up, the message loop and the orderly end. Returns 0 when the program does not
// run (another copy holds the instance lock, or the class cannot be registered), else the
// exit code WM_QUIT carried.
int WinMain(platform::HINSTANCE instance, platform::HINSTANCE previous, const char* commandLine,
            int showCommand, const StartupHooks& hooks = {});
