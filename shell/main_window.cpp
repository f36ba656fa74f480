#include "shell/main_window.h"

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/player_lock.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "sound/sound.h"

using namespace platform;

namespace {
HANDLE instanceMutex = nullptr;
HINSTANCE appInstance = nullptr;
}  // namespace

const char* VersionText() {
  return "Vexolin\r\n2002/02/28\r\nVexolin developers\r\n\r\nPicture: Vexolin developers";
}

void RunCommand(WindowHandle window, uint32_t commandId) {
  switch (commandId) {
    case kCmdExit:
      PostQuitMessage(0);
      return;
    case kCmdVersion:
      // Shown without the player lock: the box must not stop the music or the marker.
      MessageBox(window, VersionText(), "Version", MB_OK);
      return;
    default:
      break;
  }
  PlayerLock lock;
  switch (commandId) {
    case kCmdStepMarker:
      StepTickMarker();
      break;
    case kCmdPlay:
      PlaySongCommand(window, kCmdTopSong);
      break;
    case kCmdOneSongOnly:
      ToggleOneSongOnly(window);
      break;
    case kCmdStop:
      StopCommand(window);
      break;
    default:
      if (commandId == 40005 || (commandId >= 40013 && commandId <= 40027 && commandId != 40017)) {
        PlaySongCommand(window, commandId);
      }
      break;
  }
}

LRESULT MainWindowProc(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      FillSongMenu(GetMenu(window));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      {
        PlayerLock lock;
        PresentRect(window, paint.rcPaint);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ACTIVATEAPP: {
      PlayerLock lock;
      appActive = static_cast<int32_t>(wParam);
      return 0;
    }
    case WM_COMMAND:
      RunCommand(window, LOWORD(wParam));
      return 0;
    default:
      return DefWindowProc(window, message, wParam, lParam);
  }
}

int WinMain(HINSTANCE instance, HINSTANCE, const char*, int showCommand,
            const StartupHooks& hooks) {
  // 1. Another copy holds the lock: leave at once, showing nothing.
  if (HANDLE other = OpenMutex(MUTEX_ALL_ACCESS, false, kInstanceLockName)) {
    CloseHandle(other);
    return 0;
  }
  // 2.
  instanceMutex = CreateMutex(nullptr, false, kInstanceLockName);
  if (!instanceMutex) return 0;  // lost the race to a copy started at the same moment
  appInstance = instance;
  // 3.
  WNDCLASSEX windowClass;
  windowClass.cbSize = sizeof(WNDCLASSEX);  // 48 bytes in the 32-bit layout
  windowClass.style = 0;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIcon(instance, "0");
  windowClass.hIconSm = LoadIcon(instance, "0");
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetStockObject(GRAY_BRUSH);
  windowClass.lpszMenuName = "MAINMENU";
  windowClass.lpszClassName = InitialTitleText();
  if (!RegisterClassEx(&windowClass)) {
    ReleaseMutex(instanceMutex);
    CloseHandle(instanceMutex);
    instanceMutex = nullptr;
    return 0;
  }
  // 4.
  const int width = 2 * GetSystemMetrics(SM_CXFRAME) + 318;
  const int height = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) +
                     GetSystemMetrics(SM_CYMENU) + 238;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  WindowHandle window = nullptr;
  {
    PlayerLock lock;
    window = CreateWindowEx(0, InitialTitleText(), InitialTitleText(),
                            WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y, width,
                            height, nullptr, nullptr, instance, nullptr);
  }
  int exitCode = 1;
  if (window) {
    // 5. to 10.
    const void* accelerators = LoadAccelerators(instance, "ACCEL");
    ShowWindow(window, showCommand);
    {
      PlayerLock lock;
      CreateBackBuffer(window);
      LoadPicture("PICTURE00", 0);
      DrawPicture(window, 0, 0, {0, 0, kClientWidth, kClientHeight}, 0);
    }
    UpdateWindow(window);
    {
      PlayerLock lock;
      StartSoundDevice(window);
      CreateTextFont(16);
      mainWindow = window;
    }
    // 11.
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) {
      if (!TranslateAccelerator(window, accelerators, &message)) {
        TranslateMessage(&message);
        DispatchMessage(&message);
      }
    }
    exitCode = static_cast<int>(message.wParam);
    // The orderly end: no tick may run against state that goes away with the process.
    {
      PlayerLock lock;
      StopPlayback();
      StopSoundDevice();
    }
  } else {
    MessageBox(nullptr, GetLastErrorText().c_str(), "Vexolin", MB_OK | MB_ICONERROR);
  }
  if (hooks.afterLoop) hooks.afterLoop();
  // 12.
  {
    PlayerLock lock;
    DeleteTextFont();
  }
  ReleaseMutex(instanceMutex);
  CloseHandle(instanceMutex);
  instanceMutex = nullptr;
  return exitCode;
}
