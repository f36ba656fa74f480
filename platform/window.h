// Windows and the message loop with USER's operations, arguments and units.
//
// A window is a model in memory (class, title in Shift-JIS, menu, 320 x 240 client surface,
// message queue) plus, when the display is installed (`InstallDisplay`, platform/display.h
// side of vexolin_platform), an SDL window that the UI thread presents: a menu bar drawn by
// us above the client area. Without the display the window is headless: everything works
// except that nothing is shown and `GetMessage` returns 0 as soon as the queue is empty, so
// tests of the shell can run its window procedure without a screen.
//
// Threads: create the window, run the loop and call `DispatchMessage` on one thread (the UI
// thread). `PostMessage`, `UpdateWindow`, `InvalidateRect` and drawing on the window's DC may
// be called from any thread. The UI thread must not hold the player lock while a message box
// is shown (the audio thread needs it for every tick).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/drawing.h"
#include "platform/menu.h"
#include "platform/types.h"

namespace platform {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(WindowHandle, uint32_t, WPARAM, LPARAM);
using HINSTANCE = const void*;

struct IconObject;
using HICON = IconObject*;
using HCURSOR = const void*;
using HBRUSH = const void*;

inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_COMMAND = 0x0111;

inline constexpr uint32_t WS_OVERLAPPED = 0x00000000u;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr uint32_t WS_VISIBLE = 0x10000000u;

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CYMENU = 15;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr int GRAY_BRUSH = 2;
inline const char* const IDC_ARROW = "IDC_ARROW";
inline constexpr uint32_t CW_USEDEFAULT = 0x80000000u;

// The client area every window of this program has.
inline constexpr int kClientWidth = 320;
inline constexpr int kClientHeight = 240;

constexpr uint16_t LOWORD(uintptr_t v) {
  return static_cast<uint16_t>(v & 0xFFFF);
}
constexpr uint16_t HIWORD(uintptr_t v) {
  return static_cast<uint16_t>((v >> 16) & 0xFFFF);
}

struct MSG {
  WindowHandle hwnd = nullptr;
  uint32_t message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct WNDCLASSEX {
  uint32_t cbSize = sizeof(WNDCLASSEX);
  uint32_t style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  const char* lpszMenuName = nullptr;   // menu resource name, loaded for each window
  const char* lpszClassName = nullptr;  // Shift-JIS
  HICON hIconSm = nullptr;
};

// Icons from the "ICON" resources (ICO bytes; the largest image is kept). Null when missing.
HICON LoadIcon(HINSTANCE instance, const char* name);
HCURSOR LoadCursor(HINSTANCE instance, const char* name);
HBRUSH GetStockObject(int object);
// Pixels of an icon, for tests: size and RGBA (0xAARRGGBB) at (x, y).
int IconWidth(HICON icon);
uint32_t IconPixel(HICON icon, int x, int y);

// Registers a class; returns a non-zero atom, 0 when the name is taken or arguments are bad.
uint16_t RegisterClassEx(const WNDCLASSEX* windowClass);
bool UnregisterClass(const char* className, HINSTANCE instance);

// Creates a window of a registered class; WM_CREATE is sent before it returns (and before it is
// shown). `menu` null takes the class menu. Null on failure (unknown class, WM_CREATE returned
// -1, or the display could not open a window: `GetLastErrorText` says why).
WindowHandle CreateWindowEx(uint32_t exStyle, const char* className, const char* title,
                            uint32_t style, int x, int y, int width, int height,
                            WindowHandle parent, HMENU menu, HINSTANCE instance, void* param);
bool DestroyWindow(WindowHandle window);  // sends WM_DESTROY, then frees the window
bool ShowWindow(WindowHandle window, int showCommand);
// Asks the UI thread to present the client surface (any thread; requests are coalesced).
bool UpdateWindow(WindowHandle window);
bool InvalidateRect(WindowHandle window, const RECT* rect, bool erase);
bool IsWindow(WindowHandle window);

// Frame metrics chosen so that 2*SM_CXFRAME + 318 by 2*SM_CYFRAME + SM_CYCAPTION + SM_CYMENU +
// 238 gives a 320 x 240 client area: SM_CXFRAME = SM_CYFRAME = 1, SM_CYCAPTION = 0 (the
// title bar is the system's), SM_CYMENU = 20. Screen sizes come from the display (640 x 480
// without one).
int GetSystemMetrics(int index);

// Title in Shift-JIS. `GetWindowText` copies at most size - 1 bytes plus a NUL and returns
// the count copied.
bool SetWindowText(WindowHandle window, const char* text);
int GetWindowText(WindowHandle window, char* buffer, int size);

// The message loop. `GetMessage` waits for the next message (filter 0, 0 = all) and returns
// 0 for WM_QUIT, 1 otherwise. Window input (close box, focus, menu choices, paint) arrives as
// WM_CLOSE, WM_ACTIVATEAPP (wParam 1/0), WM_COMMAND (LOWORD = item id) and WM_PAINT.
int GetMessage(MSG* message, WindowHandle window, uint32_t filterMin, uint32_t filterMax);
int TranslateAccelerator(WindowHandle window, const void* table, MSG* message);  // 0: none
bool TranslateMessage(const MSG* message);
LRESULT DispatchMessage(const MSG* message);
LRESULT SendMessage(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam);
bool PostMessage(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// WM_CLOSE destroys the window; WM_PAINT validates it; everything else returns 0.
LRESULT DefWindowProc(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam);
// Accelerator tables: the program has none, so this returns null.
const void* LoadAccelerators(HINSTANCE instance, const char* name);

// Why the last CreateWindowEx failed (the display's error), UTF-8.
std::string GetLastErrorText();

// Observes every menu and title call (name, arguments, result) — the recording double
// installs one. Null removes it.
struct WindowCall {
  std::string name;  // "ModifyMenu", "SetWindowText", ...
  uintptr_t handle = 0;
  uint32_t item = 0, flags = 0;
  uintptr_t newId = 0;
  std::string text;  // Shift-JIS
  int64_t result = 0;
};
class WindowCallObserver {
 public:
  virtual void OnWindowCall(const WindowCall& call) = 0;

 protected:
  ~WindowCallObserver() = default;
};
void InstallWindowCallObserver(WindowCallObserver* observer);

// The SDL display (vexolin_platform): after this, windows open on the screen, `GetMessage`
// pumps SDL events, the font renders with SDL_ttf and message boxes are SDL boxes. Returns
// false with `*error` when SDL video cannot start (no display). `UninstallDisplay` closes it.
bool InstallDisplay(std::string* error);
void UninstallDisplay();
// Only the font, no video (for tests and console tools).
bool InstallFontRenderer(std::string* error);
// The last frame the display presented for the window (logical pixels 0x00RRGGBB, menu bar
// included, w = 320 and h = bar + client or taller), for tests. False when never presented.
bool GetPresentedFrame(WindowHandle window, std::vector<uint32_t>* pixels, int* w, int* h);
// Input as the display gets it, for tests: a left click at logical (x, y) of the SDL window
// (menu bar at y 0 to 19, client area below), or a key (VK_*). False without a display window.
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_F10 = 0x79;
bool InjectMouseClick(WindowHandle window, int x, int y);
bool InjectKey(WindowHandle window, int virtualKey);
// The same input put in the display's event queue, for whichever loop takes it next: the
// message loop, or the modal loop of a message box shown over the window.
bool QueueMouseClick(WindowHandle window, int x, int y);
bool QueueKey(WindowHandle window, int virtualKey);

}  // namespace platform
