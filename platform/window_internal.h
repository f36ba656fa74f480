// Shared between the in-memory window model and the SDL display: the objects behind the
// handles and the hooks the display and the font renderer install.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform {

struct BitmapObject {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
  bool ownedByWindow = false;
};

struct MenuItem {
  uint32_t flags = 0;  // MF_* state and type bits
  uint32_t id = 0;
  std::string text;  // Shift-JIS
  HMENU popup = nullptr;
};

struct MenuObject {
  bool bar = false;
  std::vector<MenuItem> items;
  int defaultIndex = -1;
};

struct IconObject {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, top-down
};

struct WindowObject {
  std::string className;
  WNDPROC proc = nullptr;
  std::string title;  // Shift-JIS
  HMENU menu = nullptr;
  HBITMAP surface = nullptr;  // the client area
  HICON icon = nullptr;
  uint32_t style = 0;
  bool visible = false;
  bool invalid = false;
  RECT invalidRect;
  void* display = nullptr;  // the display's own state
};

// Renders one character (UTF-8) as a coverage mask of the font's height.
class GlyphRenderer {
 public:
  virtual void* OpenFont(int height, std::string* error) = 0;
  virtual void CloseFont(void* font) = 0;
  // Fills `mask` (w x h, 0 or 1 per pixel) for the character; false when it has no glyph.
  virtual bool Render(void* font, const std::string& utf8, int* w, int* h,
                      std::vector<uint8_t>* mask) = 0;

 protected:
  ~GlyphRenderer() = default;
};
void InstallGlyphRenderer(GlyphRenderer* renderer);

class DisplayBackend {
 public:
  virtual bool Open(WindowObject* window, std::string* error) = 0;
  virtual void Close(WindowObject* window) = 0;
  virtual void Show(WindowObject* window, bool visible) = 0;
  virtual void TitleChanged(WindowObject* window) = 0;
  virtual void MenuChanged(WindowObject* window) = 0;
  // Called from any thread: present the surface soon (on the UI thread).
  virtual void RequestPresent(WindowObject* window) = 0;
  // UI thread: present now.
  virtual void Present(WindowObject* window) = 0;
  // UI thread: turn pending input into posted messages; with `wait`, first wait for at least
  // one event or a wake-up.
  virtual void WaitAndTranslate(bool wait) = 0;
  // Any thread: make WaitAndTranslate return.
  virtual void Wake() = 0;
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;

 protected:
  ~DisplayBackend() = default;
};
void InstallDisplayBackend(DisplayBackend* backend);

// The drawing lock, held by each drawing call and by presentation while reading a surface.
std::mutex& DrawingMutex();
// Decodes ICO bytes (largest image; 32-bit, 24-bit or paletted BMP images, with AND mask).
HICON DecodeIco(const uint8_t* data, size_t size);
// Every live window, for the display.
std::vector<WindowHandle> LiveWindows();
// Splits Shift-JIS text into characters (1 or 2 bytes each).
std::vector<std::string> SplitShiftJis(const char* text, int length);

}  // namespace platform
