// The window model: classes, windows, titles, the message queue and the menu tree.
#include "platform/window.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "platform/resources.h"
#include "platform/window_internal.h"

namespace platform {

namespace {

struct ClassInfo {
  WNDCLASSEX wc;
  std::string menuName;
};

std::mutex g_mutex;  // classes, windows, the queue
std::condition_variable g_wake;
std::map<std::string, ClassInfo> g_classes;
std::set<WindowHandle> g_windows;
std::deque<MSG> g_queue;
bool g_quit = false;
int g_quitCode = 0;
DisplayBackend* g_display = nullptr;
WindowCallObserver* g_observer = nullptr;
std::string g_lastError;

void Record(const char* name, const void* handle, uint32_t item, uint32_t flags, uintptr_t newId,
            const char* text, int64_t result) {
  if (!g_observer) return;
  WindowCall call;
  call.name = name;
  call.handle = reinterpret_cast<uintptr_t>(handle);
  call.item = item;
  call.flags = flags;
  call.newId = newId;
  call.text = text ? text : "";
  call.result = result;
  g_observer->OnWindowCall(call);
}

// Finds an item by command (whole tree, depth first) or by position (this menu only).
bool FindItem(HMENU menu, uint32_t item, uint32_t flags, HMENU* owner, size_t* index) {
  if (!menu) return false;
  if (flags & MF_BYPOSITION) {
    if (item >= menu->items.size()) return false;
    *owner = menu;
    *index = item;
    return true;
  }
  for (size_t i = 0; i < menu->items.size(); ++i) {
    const MenuItem& it = menu->items[i];
    if (it.popup) {
      if (FindItem(it.popup, item, flags, owner, index)) return true;
    } else if (!(it.flags & MF_SEPARATOR) && it.id == item) {
      *owner = menu;
      *index = i;
      return true;
    }
  }
  return false;
}

MenuItem MakeItem(uint32_t flags, uintptr_t idOrPopup, const char* text) {
  MenuItem it;
  it.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
  if (flags & MF_POPUP)
    it.popup = reinterpret_cast<HMENU>(idOrPopup);
  else
    it.id = static_cast<uint32_t>(idOrPopup);
  if (!(flags & MF_SEPARATOR) && text) it.text = text;
  return it;
}

void Changed(HMENU menu) {
  if (!g_display) return;
  std::vector<WindowHandle> windows;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    windows.assign(g_windows.begin(), g_windows.end());
  }
  for (WindowHandle w : windows)
    if (w->menu && w->display) g_display->MenuChanged(w);
  (void)menu;
}

void FreeMenu(HMENU menu) {
  if (!menu) return;
  for (MenuItem& it : menu->items) FreeMenu(it.popup);
  delete menu;
}

}  // namespace

void InstallDisplayBackend(DisplayBackend* backend) {
  g_display = backend;
}
void InstallWindowCallObserver(WindowCallObserver* observer) {
  g_observer = observer;
}
std::string GetLastErrorText() {
  return g_lastError;
}

std::vector<WindowHandle> LiveWindows() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return {g_windows.begin(), g_windows.end()};
}

// ---- Icons, cursors, brushes

HICON LoadIcon(HINSTANCE, const char* name) {
  ResourceData res;
  if (!name || !FindResource("ICON", name, &res)) return nullptr;
  return DecodeIco(res.data, res.size);
}

HCURSOR LoadCursor(HINSTANCE, const char* name) {
  return name;
}

HBRUSH GetStockObject(int object) {
  static const int kBrushes[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  return (object >= 0 && object < 8) ? &kBrushes[object] : nullptr;
}

int IconWidth(HICON icon) {
  return icon ? icon->width : 0;
}
uint32_t IconPixel(HICON icon, int x, int y) {
  if (!icon || x < 0 || y < 0 || x >= icon->width || y >= icon->height) return 0;
  return icon->pixels[static_cast<size_t>(y) * icon->width + x];
}

HICON DecodeIco(const uint8_t* data, size_t size) {
  if (!data || size < 6 || data[0] || data[1] || data[2] != 1 || data[3]) return nullptr;
  size_t count = data[4] | (data[5] << 8);
  if (count == 0 || (size - 6) / 16 < count) return nullptr;
  // The largest image by area; ties go to the deeper one.
  size_t best = count;
  int bestArea = -1, bestBits = -1;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + i * 16;
    int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = e[6] | (e[7] << 8);
    if (w * h > bestArea || (w * h == bestArea && bits > bestBits))
      best = i, bestArea = w * h, bestBits = bits;
  }
  const uint8_t* e = data + 6 + best * 16;
  uint32_t len = e[8] | (e[9] << 8) | (e[10] << 16) | (static_cast<uint32_t>(e[11]) << 24);
  uint32_t off = e[12] | (e[13] << 8) | (e[14] << 16) | (static_cast<uint32_t>(e[15]) << 24);
  if (off > size || len > size - off || len < 40) return nullptr;
  const uint8_t* img = data + off;
  if (img[0] == 0x89 && img[1] == 'P') return nullptr;  // PNG images are not decoded
  // The image is a BMP info header whose height covers the colour and the AND mask.
  int32_t w = static_cast<int32_t>(img[4] | (img[5] << 8) | (img[6] << 16) | (img[7] << 24));
  int32_t h2 = static_cast<int32_t>(img[8] | (img[9] << 8) | (img[10] << 16) | (img[11] << 24));
  uint32_t bits = img[14] | (img[15] << 8);
  if (w <= 0 || w > 256 || h2 <= 0 || h2 > 512) return nullptr;
  int h = h2 / 2;
  std::vector<uint8_t> copy(img, img + len);
  copy[8] = static_cast<uint8_t>(h);
  copy[9] = static_cast<uint8_t>(h >> 8);
  copy[10] = copy[11] = 0;
  HBITMAP colour = DecodeBmp(copy.data(), copy.size(), nullptr);
  if (!colour) return nullptr;
  auto* icon = new IconObject;
  icon->width = w;
  icon->height = h;
  icon->pixels.resize(static_cast<size_t>(w) * h);
  // Where the AND mask starts: after the header, palette and colour rows.
  uint32_t header = img[0] | (img[1] << 8);
  uint32_t colors = img[32] | (img[33] << 8);
  size_t palette = bits <= 8 ? (colors ? colors : (1u << bits)) * 4 : 0;
  size_t colourStride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
  size_t maskAt = header + palette + colourStride * h;
  size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  bool haveMask =
      bits != 32 && maskAt <= len && (len - maskAt) / maskStride >= static_cast<size_t>(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t rgb = GetBitmapPixel(colour, x, y);
      uint32_t argb = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
      uint32_t alpha = 0xFF;
      if (bits == 32) {
        size_t at = header + colourStride * (h - 1 - y) + x * 4 + 3;
        alpha = at < len ? img[at] : 0xFF;
      } else if (haveMask) {
        uint8_t m = img[maskAt + maskStride * (h - 1 - y) + x / 8];
        alpha = (m >> (7 - x % 8)) & 1 ? 0 : 0xFF;
      }
      icon->pixels[static_cast<size_t>(y) * w + x] = (alpha << 24) | argb;
    }
  DeleteObject(colour);
  return icon;
}

// ---- Classes and windows

uint16_t RegisterClassEx(const WNDCLASSEX* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEX) || !wc->lpfnWndProc || !wc->lpszClassName ||
      !*wc->lpszClassName)
    return 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_classes.count(wc->lpszClassName)) return 0;
  ClassInfo info{*wc, wc->lpszMenuName ? wc->lpszMenuName : ""};
  g_classes.emplace(wc->lpszClassName, info);
  return static_cast<uint16_t>(0xC000 + g_classes.size());
}

bool UnregisterClass(const char* className, HINSTANCE) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return className && g_classes.erase(className) > 0;
}

WindowHandle CreateWindowEx(uint32_t, const char* className, const char* title, uint32_t style, int,
                            int, int, int, WindowHandle, HMENU menu, HINSTANCE instance, void*) {
  ClassInfo info;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = className ? g_classes.find(className) : g_classes.end();
    if (it == g_classes.end()) {
      g_lastError = "window class is not registered";
      return nullptr;
    }
    info = it->second;
  }
  auto* w = new WindowObject;
  w->className = className;
  w->proc = info.wc.lpfnWndProc;
  w->title = title ? title : "";
  w->style = style;
  w->icon = info.wc.hIcon;
  w->menu =
      menu ? menu : (info.menuName.empty() ? nullptr : LoadMenu(instance, info.menuName.c_str()));
  w->surface = CreateCompatibleBitmap(nullptr, kClientWidth, kClientHeight);
  w->surface->ownedByWindow = true;
  if (w->menu) w->menu->bar = true;
  if (g_display && !g_display->Open(w, &g_lastError)) {
    FreeMenu(w->menu);
    delete w->surface;
    delete w;
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_windows.insert(w);
  }
  if (w->proc(w, WM_CREATE, 0, 0) == -1) {
    g_lastError = "WM_CREATE refused the window";
    DestroyWindow(w);
    return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
  return w;
}

bool IsWindow(WindowHandle window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return window && g_windows.count(window);
}

bool DestroyWindow(WindowHandle window) {
  if (!IsWindow(window)) return false;
  window->proc(window, WM_DESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_windows.erase(window);
    std::erase_if(g_queue, [&](const MSG& m) { return m.hwnd == window; });
  }
  if (g_display && window->display) g_display->Close(window);
  FreeMenu(window->menu);
  {
    std::lock_guard<std::mutex> lock(DrawingMutex());
    delete window->surface;
  }
  delete window;
  return true;
}

bool ShowWindow(WindowHandle window, int showCommand) {
  if (!IsWindow(window)) return false;
  bool was = window->visible;
  window->visible = showCommand != SW_HIDE;
  if (g_display && window->display) g_display->Show(window, window->visible);
  return was;
}

bool UpdateWindow(WindowHandle window) {
  if (!window) return false;
  if (g_display && window->display) g_display->RequestPresent(window);
  return true;
}

bool InvalidateRect(WindowHandle window, const RECT* rect, bool) {
  if (!IsWindow(window)) return false;
  RECT r = rect ? *rect : RECT{0, 0, kClientWidth, kClientHeight};
  bool post;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (window->invalid) {
      RECT& o = window->invalidRect;
      o = {std::min(o.left, r.left), std::min(o.top, r.top), std::max(o.right, r.right),
           std::max(o.bottom, r.bottom)};
    } else {
      window->invalidRect = r;
    }
    post = !window->invalid;
    window->invalid = true;
  }
  if (post) PostMessage(window, WM_PAINT, 0, 0);
  return true;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 1;
    case SM_CYCAPTION:
      return 0;
    case SM_CYMENU:
      return 20;
    case SM_CXSCREEN:
      return g_display ? g_display->ScreenWidth() : 640;
    case SM_CYSCREEN:
      return g_display ? g_display->ScreenHeight() : 480;
    default:
      return 0;
  }
}

bool SetWindowText(WindowHandle window, const char* text) {
  bool ok = IsWindow(window) && text;
  if (ok) {
    std::lock_guard<std::mutex> lock(g_mutex);
    window->title = text;
  }
  Record("SetWindowText", window, 0, 0, 0, text, ok);
  if (ok && g_display && window->display) g_display->TitleChanged(window);
  return ok;
}

int GetWindowText(WindowHandle window, char* buffer, int size) {
  int n = 0;
  if (IsWindow(window) && buffer && size > 0) {
    std::lock_guard<std::mutex> lock(g_mutex);
    n = static_cast<int>(std::min<size_t>(window->title.size(), static_cast<size_t>(size) - 1));
    std::memcpy(buffer, window->title.data(), n);
    buffer[n] = '\0';
  }
  Record("GetWindowText", window, static_cast<uint32_t>(size), 0, 0, n ? buffer : "", n);
  return n;
}

// ---- Messages

bool PostMessage(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (window && !g_windows.count(window)) return false;
    g_queue.push_back({window, message, wParam, lParam});
  }
  g_wake.notify_all();
  if (g_display) g_display->Wake();
  return true;
}

void PostQuitMessage(int exitCode) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_quit = true;
    g_quitCode = exitCode;
  }
  if (g_display) g_display->Wake();
}

int GetMessage(MSG* message, WindowHandle, uint32_t, uint32_t) {
  if (!message) return -1;
  // Input and present requests that are already waiting come before posted messages.
  if (g_display) g_display->WaitAndTranslate(false);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      // Posted messages first; WM_QUIT once the queue holds nothing else, as USER does.
      if (!g_queue.empty()) {
        *message = g_queue.front();
        g_queue.pop_front();
        return 1;
      }
      if (g_quit) {
        g_quit = false;
        *message = {nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0};
        return 0;
      }
      if (!g_display) {
        // Headless: nothing will ever arrive, so the loop ends.
        *message = {nullptr, WM_QUIT, 0, 0};
        return 0;
      }
    }
    g_display->WaitAndTranslate(true);
  }
}

int TranslateAccelerator(WindowHandle, const void* table, MSG*) {
  return table ? 0 : 0;
}
bool TranslateMessage(const MSG* message) {
  return message && message->message == WM_KEYDOWN;
}
const void* LoadAccelerators(HINSTANCE, const char*) {
  return nullptr;
}

LRESULT DispatchMessage(const MSG* message) {
  if (!message || !IsWindow(message->hwnd)) return 0;
  return message->hwnd->proc(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT SendMessage(WindowHandle window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) return 0;
  return window->proc(window, message, wParam, lParam);
}

LRESULT DefWindowProc(WindowHandle window, uint32_t message, WPARAM, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    default:
      return 0;
  }
}

// ---- Menus

HMENU CreateMenu() {
  auto* m = new MenuObject;
  m->bar = true;
  return m;
}
HMENU CreatePopupMenu() {
  return new MenuObject;
}

bool DestroyMenu(HMENU menu) {
  if (!menu) return false;
  FreeMenu(menu);
  return true;
}

bool AppendMenu(HMENU menu, uint32_t flags, uintptr_t idOrPopup, const char* text) {
  if (!menu || ((flags & MF_POPUP) && !idOrPopup)) return false;
  menu->items.push_back(MakeItem(flags, idOrPopup, text));
  return true;
}

HMENU GetMenu(WindowHandle window) {
  return IsWindow(window) ? window->menu : nullptr;
}

bool SetMenu(WindowHandle window, HMENU menu) {
  if (!IsWindow(window)) return false;
  window->menu = menu;
  if (menu) menu->bar = true;
  Changed(menu);
  return true;
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (!menu || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return nullptr;
  return menu->items[position].popup;
}

int GetMenuItemCount(HMENU menu) {
  return menu ? static_cast<int>(menu->items.size()) : -1;
}

bool ModifyMenu(HMENU menu, uint32_t item, uint32_t flags, uintptr_t newId, const char* text) {
  HMENU owner;
  size_t index;
  bool ok = FindItem(menu, item, flags, &owner, &index);
  if (ok) {
    MenuItem& it = owner->items[index];
    MenuItem next = MakeItem(flags & ~MF_BYPOSITION, newId, text);
    if (!(flags & MF_POPUP) && it.popup && next.popup != it.popup) FreeMenu(it.popup);
    it = next;
  }
  Record("ModifyMenu", menu, item, flags, newId, text, ok);
  return ok;
}

bool InsertMenu(HMENU menu, uint32_t item, uint32_t flags, uintptr_t newId, const char* text) {
  HMENU owner = menu;
  size_t index = 0;
  bool ok = menu != nullptr;
  if (ok) {
    if ((flags & MF_BYPOSITION) && item >= menu->items.size())
      index = menu->items.size();  // past the end appends, as USER does
    else
      ok = FindItem(menu, item, flags, &owner, &index);
  }
  if (ok) {
    owner->items.insert(owner->items.begin() + static_cast<long>(index),
                        MakeItem(flags & ~MF_BYPOSITION, newId, text));
    if (owner->defaultIndex >= static_cast<int>(index)) ++owner->defaultIndex;
  }
  Record("InsertMenu", menu, item, flags, newId, text, ok);
  return ok;
}

bool DeleteMenu(HMENU menu, uint32_t item, uint32_t flags) {
  HMENU owner;
  size_t index;
  bool ok = FindItem(menu, item, flags, &owner, &index);
  if (ok) {
    FreeMenu(owner->items[index].popup);
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    if (owner->defaultIndex == static_cast<int>(index))
      owner->defaultIndex = -1;
    else if (owner->defaultIndex > static_cast<int>(index))
      --owner->defaultIndex;
  }
  Record("DeleteMenu", menu, item, flags, 0, nullptr, ok);
  return ok;
}

uint32_t CheckMenuItem(HMENU menu, uint32_t item, uint32_t flags) {
  HMENU owner;
  size_t index;
  uint32_t result = MENU_ITEM_MISSING;
  if (FindItem(menu, item, flags, &owner, &index)) {
    MenuItem& it = owner->items[index];
    result = it.flags & MF_CHECKED;
    it.flags = (it.flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  }
  Record("CheckMenuItem", menu, item, flags, 0, nullptr, static_cast<int32_t>(result));
  return result;
}

uint32_t GetMenuState(HMENU menu, uint32_t item, uint32_t flags) {
  HMENU owner;
  size_t index;
  uint32_t result = MENU_ITEM_MISSING;
  if (FindItem(menu, item, flags, &owner, &index)) {
    const MenuItem& it = owner->items[index];
    result = it.flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP);
    if (owner->defaultIndex == static_cast<int>(index)) result |= MF_DEFAULT;
    if (it.popup)
      result |= static_cast<uint32_t>(std::min<size_t>(it.popup->items.size(), 255)) << 8;
  }
  Record("GetMenuState", menu, item, flags, 0, nullptr, static_cast<int32_t>(result));
  return result;
}

bool SetMenuDefaultItem(HMENU menu, uint32_t item, uint32_t byPosition) {
  bool ok = menu != nullptr;
  if (ok) {
    if (item == 0xFFFFFFFFu) {
      menu->defaultIndex = -1;
    } else {
      int found = -1;
      for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& it = menu->items[i];
        if (byPosition ? i == item : (!it.popup && !(it.flags & MF_SEPARATOR) && it.id == item)) {
          found = static_cast<int>(i);
          break;
        }
      }
      ok = found >= 0;
      if (ok) menu->defaultIndex = found;
    }
  }
  Record("SetMenuDefaultItem", menu, item, byPosition, 0, nullptr, ok);
  return ok;
}

int32_t GetMenuItemID(HMENU menu, int position) {
  if (!menu || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return -1;
  const MenuItem& it = menu->items[position];
  return (it.popup || (it.flags & MF_SEPARATOR)) ? -1 : static_cast<int32_t>(it.id);
}

int GetMenuString(HMENU menu, uint32_t item, char* buffer, int size, uint32_t flags) {
  HMENU owner;
  size_t index;
  if (!FindItem(menu, item, flags, &owner, &index)) return 0;
  const std::string& t = owner->items[index].text;
  if (!buffer || size <= 0) return static_cast<int>(t.size());
  int n = static_cast<int>(std::min<size_t>(t.size(), static_cast<size_t>(size) - 1));
  std::memcpy(buffer, t.data(), n);
  buffer[n] = '\0';
  return n;
}

bool DrawMenuBar(WindowHandle window) {
  bool ok = IsWindow(window);
  Record("DrawMenuBar", window, 0, 0, 0, nullptr, ok);
  if (ok && g_display && window->display) g_display->MenuChanged(window);
  return ok;
}

}  // namespace platform
