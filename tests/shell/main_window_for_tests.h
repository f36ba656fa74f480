// The juke-box's main window as the start-up makes it, for tests on the real engine: a class
// with the main window procedure that names the "MAINMENU" resource, and a headless window of
// it titled "Vexolin [停止中]".
#pragma once

#include "platform/window.h"
#include "shell/jukebox.h"
#include "shell/main_window.h"

namespace shelltest {

// Null when the class cannot be registered or the window not made.
inline platform::WindowHandle CreateMainWindowForTests(const char* className) {
  platform::WNDCLASSEX windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.lpszMenuName = "MAINMENU";
  windowClass.lpszClassName = className;
  if (platform::RegisterClassEx(&windowClass) == 0) return nullptr;
  return platform::CreateWindowEx(
      0, className, InitialTitleText(),
      platform::WS_CAPTION | platform::WS_SYSMENU | platform::WS_MINIMIZEBOX, 0, 0, 320, 260,
      nullptr, nullptr, nullptr, nullptr);
}

}  // namespace shelltest
