// The SDL display: windows on screen, input turned into window messages, the menu bar, popups
// and message boxes drawn by us (SDL's own box for one without a window), the font through
// SDL_ttf.
//
// Layout of an SDL window in logical pixels: the menu bar (SM_CYMENU = 20 high) at the top,
// the 320 x 240 client surface under it. Menus use the 12-pixel menu font in 14-pixel rows, so
// the song popup's 17 items fit over the client area and are all shown at once. A popup that
// is taller still (known when the window opens) makes the SDL window taller: bar +
// max(240, popup height), the part below the client area painted in the class's grey. Only
// the UI thread touches SDL video; other threads push a present event.
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window_internal.h"

namespace platform {

namespace {

constexpr int kBar = 20;
constexpr int kItemHeight = 14;
constexpr int kMenuFontHeight = 12;
constexpr int kSeparatorHeight = 8;
constexpr COLORREF kGrey = RGB(192, 192, 192);
constexpr COLORREF kDarkGrey = RGB(128, 128, 128);
constexpr COLORREF kHighlight = RGB(0, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

std::string FindFontFile() {
  const char* fixed = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
  std::string found;
  if (FcInit()) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
        std::strstr(reinterpret_cast<const char*>(family), "IPA"))
      found = reinterpret_cast<const char*>(file);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
  if (found.empty()) {
    SDL_RWops* probe = SDL_RWFromFile(fixed, "rb");
    if (probe) {
      SDL_RWclose(probe);
      found = fixed;
    }
  }
  return found;
}

class TtfRenderer final : public GlyphRenderer {
 public:
  bool Init(std::string* error) {
    if (!TTF_WasInit() && TTF_Init() != 0) {
      if (error) *error = TTF_GetError();
      return false;
    }
    path_ = FindFontFile();
    if (path_.empty()) {
      if (error) *error = "the IPAGothic font (fonts-ipafont-gothic) is not installed";
      return false;
    }
    return true;
  }
  void* OpenFont(int height, std::string* error) override {
    TTF_Font* f = TTF_OpenFont(path_.c_str(), height);
    if (!f && error) *error = TTF_GetError();
    if (f) TTF_SetFontHinting(f, TTF_HINTING_MONO);
    return f;
  }
  void CloseFont(void* font) override { TTF_CloseFont(static_cast<TTF_Font*>(font)); }
  bool Render(void* font, const std::string& utf8, int* w, int* h,
              std::vector<uint8_t>* mask) override {
    SDL_Color white{255, 255, 255, 255};
    SDL_Surface* s = TTF_RenderUTF8_Solid(static_cast<TTF_Font*>(font), utf8.c_str(), white);
    if (!s) return false;
    *w = s->w;
    *h = s->h;
    mask->assign(static_cast<size_t>(s->w) * s->h, 0);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
      const auto* row = static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
      for (int x = 0; x < s->w; ++x) (*mask)[static_cast<size_t>(y) * s->w + x] = row[x] != 0;
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    return true;
  }

 private:
  std::string path_;
};

TtfRenderer g_ttf;
bool g_ttfReady = false;

SDL_Window* OwnerWindow(WindowHandle owner);

// Message boxes. A box with a window of ours as its owner is drawn over that window's client
// area in the classic look and runs a modal loop, as a desktop message box does: input to the
// window waits, while presents go on, so the music's tick marker keeps moving. A box without
// such an owner is SDL's own.
class SdlMessageBoxSink final : public MessageBoxSink {
 public:
  int Show(WindowHandle owner, const char* text, const char* caption, uint32_t type) override;
};
SdlMessageBoxSink g_boxSink;

struct MenuState {
  int barHot = -1;       // highlighted bar item
  bool barMode = false;  // keyboard navigation of the bar
  bool open = false;     // the popup of barHot is shown
  int popupHot = -1;
};

// A message box drawn over the client area: its caption and text lines in Shift-JIS.
struct ModalBox {
  std::string caption;
  std::vector<std::string> lines;
  bool done = false;
};

struct Screen {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int height = kBar + kClientHeight;
  int scale = 1;
  std::string shownTitle;
  MenuState menu;
  const ModalBox* box = nullptr;  // shown over the client area while not null
  HBITMAP frame = nullptr;
  HDC frameDc = nullptr;
  HFONT font = nullptr;
  std::vector<uint32_t> presented;
};

Screen* ScreenOf(WindowHandle w) {
  return static_cast<Screen*>(w->display);
}

SDL_Window* OwnerWindow(WindowHandle owner) {
  return (IsWindow(owner) && owner->display) ? ScreenOf(owner)->window : nullptr;
}

// Layout of bar items: [x, x + width).
std::vector<std::pair<int, int>> BarLayout(Screen* s, HMENU menu) {
  std::vector<std::pair<int, int>> out;
  int x = 2;
  for (const MenuItem& it : menu ? menu->items : std::vector<MenuItem>{}) {
    int w = TextWidth(s->font, it.text.c_str(), static_cast<int>(it.text.size())) + 12;
    out.emplace_back(x, w);
    x += w;
  }
  return out;
}

int PopupWidth(Screen* s, HMENU popup) {
  int w = 0;
  for (const MenuItem& it : popup->items)
    w = std::max(w, TextWidth(s->font, it.text.c_str(), static_cast<int>(it.text.size())));
  return w + 40;
}

int PopupHeight(HMENU popup) {
  int h = 4;
  for (const MenuItem& it : popup->items)
    h += (it.flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
  return h;
}

HMENU OpenPopup(WindowHandle w) {
  Screen* s = ScreenOf(w);
  if (!w->menu || !s->menu.open || s->menu.barHot < 0 ||
      s->menu.barHot >= static_cast<int>(w->menu->items.size()))
    return nullptr;
  return w->menu->items[s->menu.barHot].popup;
}

int TallestPopup(HMENU menu) {
  int h = 0;
  if (menu)
    for (const MenuItem& it : menu->items)
      if (it.popup) h = std::max(h, PopupHeight(it.popup) + 1);
  return h;
}

void Text(Screen* s, int x, int y, const std::string& t, COLORREF c, bool bold) {
  SetTextColor(s->frameDc, c);
  TextOut(s->frameDc, x, y, t.c_str(), static_cast<int>(t.size()));
  if (bold) TextOut(s->frameDc, x + 1, y, t.c_str(), static_cast<int>(t.size()));
}

constexpr int kBoxLine = 14;
constexpr int kBoxButtonWidth = 64;
constexpr int kBoxButtonHeight = 20;

struct BoxLayout {
  RECT frame;
  RECT button;
};

BoxLayout LayOutBox(Screen* s, const ModalBox& box) {
  auto width = [&](const std::string& t) {
    return TextWidth(s->font, t.c_str(), static_cast<int>(t.size()));
  };
  int textWidth = width(box.caption);
  for (const std::string& line : box.lines) textWidth = std::max(textWidth, width(line));
  const int w = std::min(kClientWidth - 8, std::max(120, textWidth + 24));
  const int lines = std::min(static_cast<int>(box.lines.size()), 10);
  const int h = 3 + 16 + 8 + lines * kBoxLine + 8 + kBoxButtonHeight + 8;
  const int left = (kClientWidth - w) / 2, top = kBar + std::max(2, (kClientHeight - h) / 2);
  const int buttonLeft = left + (w - kBoxButtonWidth) / 2,
            buttonTop = top + h - 8 - kBoxButtonHeight;
  return {{left, top, left + w, top + h},
          {buttonLeft, buttonTop, buttonLeft + kBoxButtonWidth, buttonTop + kBoxButtonHeight}};
}

// A raised edge: white at the top and left, dark grey and black at the bottom and right.
void RaisedEdge(HDC dc, const RECT& r) {
  FillRect(dc, {r.left, r.top, r.right, r.bottom}, kBlack);
  FillRect(dc, {r.left, r.top, r.right - 1, r.bottom - 1}, kWhite);
  FillRect(dc, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kDarkGrey);
  FillRect(dc, {r.left + 1, r.top + 1, r.right - 2, r.bottom - 2}, kGrey);
}

void DrawBox(Screen* s, const ModalBox& box) {
  HDC dc = s->frameDc;
  const BoxLayout l = LayOutBox(s, box);
  RaisedEdge(dc, l.frame);
  FillRect(dc, {l.frame.left + 3, l.frame.top + 3, l.frame.right - 3, l.frame.top + 19},
           kHighlight);
  Text(s, l.frame.left + 6, l.frame.top + 5, box.caption, kWhite, true);
  int y = l.frame.top + 3 + 16 + 8;
  for (size_t i = 0; i < box.lines.size() && i < 10; ++i, y += kBoxLine)
    Text(s, l.frame.left + 12, y, box.lines[i], kBlack, false);
  // The default button: a black frame around a raised button.
  FillRect(dc, l.button, kBlack);
  RaisedEdge(dc, {l.button.left + 1, l.button.top + 1, l.button.right - 1, l.button.bottom - 1});
  const int okWidth = TextWidth(s->font, "OK", 2);
  Text(s, l.button.left + (kBoxButtonWidth - okWidth) / 2, l.button.top + 4, "OK", kBlack, false);
}

// The lines of a message box's text, split at CR LF or LF.
std::vector<std::string> BoxLines(const char* text) {
  std::vector<std::string> lines(1);
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\r' && p[1] == '\n') continue;
    if (*p == '\n')
      lines.emplace_back();
    else
      lines.back() += *p;
  }
  return lines;
}

void ComposeBarAndMenus(WindowHandle w) {
  Screen* s = ScreenOf(w);
  HDC dc = s->frameDc;
  FillRect(dc, {0, 0, kClientWidth, s->height}, kGrey);
  HDC client = CreateCompatibleDC(nullptr);
  SelectObject(client, w->surface);
  BitBlt(dc, 0, kBar, kClientWidth, kClientHeight, client, 0, 0, SRCCOPY);
  DeleteDC(client);
  FillRect(dc, {0, kBar - 1, kClientWidth, kBar}, kDarkGrey);
  if (!w->menu || !s->font) return;
  auto layout = BarLayout(s, w->menu);
  for (size_t i = 0; i < layout.size(); ++i) {
    const MenuItem& it = w->menu->items[i];
    bool hot = static_cast<int>(i) == s->menu.barHot;
    if (hot)
      FillRect(dc, {layout[i].first, 1, layout[i].first + layout[i].second, kBar - 2}, kHighlight);
    Text(s, layout[i].first + 6, 4, it.text,
         hot ? kWhite : ((it.flags & MF_GRAYED) ? kDarkGrey : kBlack),
         w->menu->defaultIndex == static_cast<int>(i));
  }
  HMENU popup = OpenPopup(w);
  if (!popup) return;
  int px = layout[s->menu.barHot].first, py = kBar - 1;
  int pw = PopupWidth(s, popup), ph = PopupHeight(popup);
  px = std::max(0, std::min(px, kClientWidth - pw));
  FillRect(dc, {px, py, px + pw, py + ph}, kDarkGrey);
  FillRect(dc, {px, py, px + pw - 1, py + ph - 1}, kWhite);
  FillRect(dc, {px + 1, py + 1, px + pw - 1, py + ph - 1}, kGrey);
  int y = py + 2;
  for (size_t i = 0; i < popup->items.size(); ++i) {
    const MenuItem& it = popup->items[i];
    if (it.flags & MF_SEPARATOR) {
      FillRect(dc, {px + 4, y + 3, px + pw - 4, y + 4}, kDarkGrey);
      FillRect(dc, {px + 4, y + 4, px + pw - 4, y + 5}, kWhite);
      y += kSeparatorHeight;
      continue;
    }
    bool hot = static_cast<int>(i) == s->menu.popupHot;
    COLORREF ink = hot ? kWhite : ((it.flags & MF_GRAYED) ? kDarkGrey : kBlack);
    if (hot) FillRect(dc, {px + 2, y, px + pw - 2, y + kItemHeight}, kHighlight);
    if (it.flags & MF_CHECKED) {
      // A check mark: a short and a long stroke, two pixels thick.
      for (int k = 0; k < 3; ++k) FillRect(dc, {px + 5 + k, y + 6 + k, px + 6 + k, y + 8 + k}, ink);
      for (int k = 0; k < 5; ++k)
        FillRect(dc, {px + 8 + k, y + 8 - k, px + 9 + k, y + 10 - k}, ink);
    }
    Text(s, px + 20, y + 1, it.text, ink, popup->defaultIndex == static_cast<int>(i));
    y += kItemHeight;
  }
}

void Compose(WindowHandle w) {
  ComposeBarAndMenus(w);
  Screen* s = ScreenOf(w);
  if (s->box && s->font) DrawBox(s, *s->box);
}

class SdlDisplay final : public DisplayBackend {
 public:
  Uint32 eventType = 0;

  bool Open(WindowObject* w, std::string* error) override {
    auto* s = new Screen;
    s->font =
        CreateFont(kMenuFontHeight, kMenuFontHeight / 2, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                   OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, nullptr);
    s->height = kBar + std::max(kClientHeight, TallestPopup(w->menu));
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0)
      s->scale = std::max(1, std::min(mode.w / 400, mode.h / 340));
    std::string title = ToUtf8(w->title);
    s->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 kClientWidth * s->scale, s->height * s->scale, SDL_WINDOW_HIDDEN);
    if (!s->window) {
      *error = SDL_GetError();
      DeleteObject(s->font);
      delete s;
      return false;
    }
    s->shownTitle = w->title;
    s->renderer = SDL_CreateRenderer(s->window, -1, 0);
    if (!s->renderer) s->renderer = SDL_CreateRenderer(s->window, -1, SDL_RENDERER_SOFTWARE);
    if (s->renderer) {
      SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
      s->texture = SDL_CreateTexture(s->renderer, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, kClientWidth, s->height);
    }
    if (!s->renderer || !s->texture) {
      *error = SDL_GetError();
      if (s->renderer) SDL_DestroyRenderer(s->renderer);
      SDL_DestroyWindow(s->window);
      DeleteObject(s->font);
      delete s;
      return false;
    }
    if (w->icon) {
      SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
          w->icon->pixels.data(), w->icon->width, w->icon->height, 32, w->icon->width * 4,
          SDL_PIXELFORMAT_ARGB8888);
      if (icon) {
        SDL_SetWindowIcon(s->window, icon);
        SDL_FreeSurface(icon);
      }
    }
    s->frame = CreateCompatibleBitmap(nullptr, kClientWidth, s->height);
    s->frameDc = CreateCompatibleDC(nullptr);
    SelectObject(s->frameDc, s->frame);
    if (s->font) SelectObject(s->frameDc, s->font);
    SetBkMode(s->frameDc, TRANSPARENT);
    w->display = s;
    return true;
  }

  void Close(WindowObject* w) override {
    Screen* s = ScreenOf(w);
    SDL_DestroyTexture(s->texture);
    SDL_DestroyRenderer(s->renderer);
    SDL_DestroyWindow(s->window);
    DeleteDC(s->frameDc);
    DeleteObject(s->frame);
    DeleteObject(s->font);
    delete s;
    w->display = nullptr;
  }

  void Show(WindowObject* w, bool visible) override {
    Screen* s = ScreenOf(w);
    if (visible) {
      SDL_ShowWindow(s->window);
      Present(w);
    } else {
      SDL_HideWindow(s->window);
    }
  }

  void TitleChanged(WindowObject* w) override { RequestPresent(w); }
  void MenuChanged(WindowObject* w) override { RequestPresent(w); }

  void RequestPresent(WindowObject*) override {
    // Coalesce: one pending present event is enough for every window.
    if (pending_.exchange(true)) return;
    SDL_Event e{};
    e.type = eventType;
    e.user.code = 1;
    SDL_PushEvent(&e);
  }

  void Present(WindowObject* w) override {
    Screen* s = ScreenOf(w);
    if (s->shownTitle != w->title) {
      s->shownTitle = w->title;
      SDL_SetWindowTitle(s->window, ToUtf8(s->shownTitle).c_str());
    }
    Compose(w);
    {
      std::lock_guard<std::mutex> lock(DrawingMutex());
      s->presented = s->frame->pixels;
    }
    SDL_UpdateTexture(s->texture, nullptr, s->presented.data(), kClientWidth * 4);
    SDL_RenderClear(s->renderer);
    SDL_RenderCopy(s->renderer, s->texture, nullptr, nullptr);
    SDL_RenderPresent(s->renderer);
  }

  void WaitAndTranslate(bool wait) override {
    SDL_Event e;
    if (wait) {
      if (!SDL_WaitEvent(&e)) return;
      Handle(e);
    }
    while (SDL_PollEvent(&e)) Handle(e);
  }

  void Wake() override {
    SDL_Event e{};
    e.type = eventType;
    e.user.code = 0;
    SDL_PushEvent(&e);
  }

  int ScreenWidth() override {
    SDL_DisplayMode m;
    return SDL_GetDesktopDisplayMode(0, &m) == 0 ? m.w : 640;
  }
  int ScreenHeight() override {
    SDL_DisplayMode m;
    return SDL_GetDesktopDisplayMode(0, &m) == 0 ? m.h : 480;
  }

  void Mouse(WindowHandle w, int sx, int sy, bool click);
  void Key(WindowHandle w, SDL_Keycode key);

  // Shows `box` over `w` until OK is clicked or Enter, Space or Esc is pressed (or the
  // program is asked to quit, which is passed on once the box is gone).
  void RunBox(WindowHandle w, ModalBox* box) {
    Screen* s = ScreenOf(w);
    const ModalBox* outer = s->box;
    s->menu = {};
    s->box = box;
    Present(w);
    bool quit = false;
    while (!box->done) {
      SDL_Event e;
      if (!SDL_WaitEvent(&e)) break;
      HandleInBox(w, e, box, &quit);
    }
    s->box = outer;
    RequestPresent(w);
    if (quit) {
      SDL_Event again{};
      again.type = SDL_QUIT;
      SDL_PushEvent(&again);
    }
  }

 private:
  std::atomic<bool> pending_{false};

  static WindowHandle Find(Uint32 id) {
    for (WindowHandle w : LiveWindows())
      if (w->display && SDL_GetWindowID(ScreenOf(w)->window) == id) return w;
    return nullptr;
  }

  static WindowHandle Any() {
    for (WindowHandle w : LiveWindows())
      if (w->display) return w;
    return nullptr;
  }

  static void Choose(WindowHandle w, const MenuItem& it) {
    Screen* s = ScreenOf(w);
    s->menu = {};
    if (!(it.flags & (MF_GRAYED | MF_DISABLED)) && !it.popup && !(it.flags & MF_SEPARATOR))
      PostMessage(w, WM_COMMAND, it.id, 0);
  }

  // Which popup item is at logical (x, y), or -1.
  static int PopupItemAt(WindowHandle w, HMENU popup, int x, int y) {
    Screen* s = ScreenOf(w);
    auto layout = BarLayout(s, w->menu);
    int px =
        std::max(0, std::min(layout[s->menu.barHot].first, kClientWidth - PopupWidth(s, popup)));
    int pw = PopupWidth(s, popup);
    if (x < px || x >= px + pw) return -1;
    int top = kBar + 1;
    for (size_t i = 0; i < popup->items.size(); ++i) {
      int h = (popup->items[i].flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
      if (y >= top && y < top + h)
        return (popup->items[i].flags & MF_SEPARATOR) ? -1 : static_cast<int>(i);
      top += h;
    }
    return -1;
  }

  static int BarItemAt(WindowHandle w, int x, int y) {
    if (y < 0 || y >= kBar) return -1;
    auto layout = BarLayout(ScreenOf(w), w->menu);
    for (size_t i = 0; i < layout.size(); ++i)
      if (x >= layout[i].first && x < layout[i].first + layout[i].second)
        return static_cast<int>(i);
    return -1;
  }

  static void Step(HMENU popup, int* hot, int dir) {
    int n = static_cast<int>(popup->items.size());
    for (int k = 0; k < n; ++k) {
      *hot = (*hot + dir + n) % n;
      if (!(popup->items[*hot].flags & MF_SEPARATOR)) return;
    }
  }

  void MouseImpl(WindowHandle w, int sx, int sy, bool click) {
    Screen* s = ScreenOf(w);
    int x = sx / s->scale, y = sy / s->scale;
    MenuState before = s->menu;
    HMENU popup = OpenPopup(w);
    int bar = BarItemAt(w, x, y);
    if (popup) {
      int item = PopupItemAt(w, popup, x, y);
      s->menu.popupHot = item;
      if (click) {
        if (item >= 0) {
          Choose(w, popup->items[item]);
        } else if (bar == s->menu.barHot) {
          s->menu = {};
        } else if (bar >= 0) {
          s->menu = {bar, false, w->menu->items[bar].popup != nullptr, -1};
          if (!s->menu.open) Choose(w, w->menu->items[bar]);
        } else {
          s->menu = {};  // a click outside closes the popup
        }
      } else if (bar >= 0 && bar != s->menu.barHot && w->menu->items[bar].popup) {
        s->menu = {bar, false, true, -1};
      }
    } else if (click && bar >= 0) {
      const MenuItem& it = w->menu->items[bar];
      if (it.popup)
        s->menu = {bar, false, true, -1};
      else
        Choose(w, it);
    } else if (!s->menu.barMode) {
      s->menu.barHot = bar;
    }
    if (before.barHot != s->menu.barHot || before.open != s->menu.open ||
        before.popupHot != s->menu.popupHot || click)
      Present(w);
  }

  void KeyImpl(WindowHandle w, SDL_Keycode key) {
    Screen* s = ScreenOf(w);
    if (!w->menu || w->menu->items.empty()) return;
    MenuState& m = s->menu;
    int n = static_cast<int>(w->menu->items.size());
    HMENU popup = OpenPopup(w);
    if (key == SDLK_F10 || key == SDLK_LALT || key == SDLK_RALT) {
      m = (m.barMode || m.open) ? MenuState{} : MenuState{0, true, false, -1};
    } else if (!m.barMode && !m.open) {
      return;
    } else if (key == SDLK_ESCAPE) {
      if (m.open)
        m.open = false, m.barMode = true, m.popupHot = -1;
      else
        m = {};
    } else if (key == SDLK_LEFT || key == SDLK_RIGHT) {
      m.barHot = (m.barHot + (key == SDLK_LEFT ? n - 1 : 1)) % n;
      m.open = m.open && w->menu->items[m.barHot].popup;
      m.popupHot = -1;
      if (m.open) Step(w->menu->items[m.barHot].popup, &m.popupHot, 1);
    } else if (popup && (key == SDLK_UP || key == SDLK_DOWN)) {
      Step(popup, &m.popupHot, key == SDLK_UP ? -1 : 1);
    } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_DOWN) {
      if (popup) {
        if (m.popupHot >= 0) Choose(w, popup->items[m.popupHot]);
      } else if (m.barHot >= 0) {
        const MenuItem& it = w->menu->items[m.barHot];
        if (it.popup) {
          m.open = true;
          m.popupHot = -1;
          Step(it.popup, &m.popupHot, 1);
        } else if (key != SDLK_DOWN) {
          Choose(w, it);
        }
      }
    }
    Present(w);
  }

  // The modal loop's handling: presents and exposes as usual; a click on OK or Enter, Space
  // or Esc ends the box; other input, closing and focus changes between the program's own
  // windows wait until it is gone.
  void HandleInBox(WindowHandle w, const SDL_Event& e, ModalBox* box, bool* quit) {
    const Uint32 id = SDL_GetWindowID(ScreenOf(w)->window);
    if (e.type == eventType) {
      Handle(e);
      return;
    }
    switch (e.type) {
      case SDL_QUIT:
        *quit = true;
        box->done = true;
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
          if (WindowHandle shown = Find(e.window.windowID)) Present(shown);
        break;
      case SDL_MOUSEBUTTONDOWN: {
        if (e.button.button != SDL_BUTTON_LEFT || e.button.windowID != id) break;
        const int scale = ScreenOf(w)->scale;
        const int x = e.button.x / scale, y = e.button.y / scale;
        const RECT b = LayOutBox(ScreenOf(w), *box).button;
        if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) box->done = true;
        break;
      }
      case SDL_KEYDOWN:
        if (e.key.windowID != id) break;
        if (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER ||
            e.key.keysym.sym == SDLK_SPACE || e.key.keysym.sym == SDLK_ESCAPE)
          box->done = true;
        break;
      default:
        break;
    }
  }

  void Handle(const SDL_Event& e) {
    if (e.type == eventType) {
      if (e.user.code == 1) {
        pending_ = false;
        for (WindowHandle w : LiveWindows())
          if (w->display && w->visible) Present(w);
      }
      return;
    }
    switch (e.type) {
      case SDL_QUIT:
        if (WindowHandle w = Any()) PostMessage(w, WM_CLOSE, 0, 0);
        break;
      case SDL_WINDOWEVENT: {
        WindowHandle w = Find(e.window.windowID);
        if (!w) break;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) PostMessage(w, WM_CLOSE, 0, 0);
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) PostMessage(w, WM_ACTIVATEAPP, 1, 0);
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          ScreenOf(w)->menu = {};
          PostMessage(w, WM_ACTIVATEAPP, 0, 0);
        }
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
          Present(w);
          InvalidateRect(w, nullptr, false);
        }
        break;
      }
      case SDL_MOUSEMOTION:
        if (WindowHandle w = Find(e.motion.windowID)) Mouse(w, e.motion.x, e.motion.y, false);
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT)
          if (WindowHandle w = Find(e.button.windowID)) Mouse(w, e.button.x, e.button.y, true);
        break;
      case SDL_KEYDOWN:
        if (WindowHandle w = Find(e.key.windowID)) Key(w, e.key.keysym.sym);
        break;
      default:
        break;
    }
  }
};

void SdlDisplay::Mouse(WindowHandle w, int sx, int sy, bool click) {
  MouseImpl(w, sx, sy, click);
}
void SdlDisplay::Key(WindowHandle w, SDL_Keycode key) {
  KeyImpl(w, key);
}

SdlDisplay g_display;
bool g_videoUp = false;

int SdlMessageBoxSink::Show(WindowHandle owner, const char* text, const char* caption,
                            uint32_t type) {
  if (IsWindow(owner) && owner->display && owner->visible) {
    ModalBox box{caption ? caption : "", BoxLines(text)};
    g_display.RunBox(owner, &box);
    return IDOK;
  }
  std::string t = ToUtf8(text ? text : ""), c = ToUtf8(caption ? caption : "");
  SDL_MessageBoxButtonData ok{
      SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
      "OK"};
  SDL_MessageBoxData data{};
  data.flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  data.window = OwnerWindow(owner);
  data.title = c.c_str();
  data.message = t.c_str();
  data.numbuttons = 1;
  data.buttons = &ok;
  int button = IDOK;
  if (SDL_ShowMessageBox(&data, &button) != 0) SDL_Log("%s: %s", c.c_str(), t.c_str());
  return IDOK;
}

}  // namespace

bool InstallFontRenderer(std::string* error) {
  if (!g_ttfReady) {
    if (!g_ttf.Init(error)) return false;
    g_ttfReady = true;
  }
  InstallGlyphRenderer(&g_ttf);
  return true;
}

bool InstallDisplay(std::string* error) {
  if (!g_videoUp) {
    // Every event waiting when the message loop looks is taken at once, including those
    // pushed after SDL's last pump (a present asked for at the end of a message box).
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      if (error) *error = SDL_GetError();
      return false;
    }
    // Without a display SDL falls back to its invisible drivers; they count as a display only
    // when asked for by name (SDL_VIDEODRIVER), as the tests do.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strstr(asked, driver))) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      if (error) *error = "no display (neither DISPLAY nor WAYLAND_DISPLAY names one)";
      return false;
    }
    g_display.eventType = SDL_RegisterEvents(1);
    g_videoUp = true;
  }
  if (!InstallFontRenderer(error)) return false;
  InstallDisplayBackend(&g_display);
  InstallMessageBoxSink(&g_boxSink);
  return true;
}

void UninstallDisplay() {
  InstallDisplayBackend(nullptr);
  InstallMessageBoxSink(nullptr);
  if (g_videoUp) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_videoUp = false;
}

bool GetPresentedFrame(WindowHandle window, std::vector<uint32_t>* pixels, int* w, int* h) {
  if (!window || !window->display) return false;
  Screen* s = ScreenOf(window);
  *pixels = s->presented;
  *w = kClientWidth;
  *h = s->height;
  return !pixels->empty();
}

}  // namespace platform

namespace platform {

bool InjectMouseClick(WindowHandle window, int x, int y) {
  if (!IsWindow(window) || !window->display) return false;
  int scale = ScreenOf(window)->scale;
  g_display.Mouse(window, x * scale, y * scale, true);
  return true;
}

namespace {
// The display's key for a VK_* code, or SDLK_UNKNOWN.
SDL_Keycode KeyOf(int virtualKey) {
  switch (virtualKey) {
    case VK_RETURN:
      return SDLK_RETURN;
    case VK_ESCAPE:
      return SDLK_ESCAPE;
    case VK_LEFT:
      return SDLK_LEFT;
    case VK_UP:
      return SDLK_UP;
    case VK_RIGHT:
      return SDLK_RIGHT;
    case VK_DOWN:
      return SDLK_DOWN;
    case VK_F10:
      return SDLK_F10;
    default:
      return SDLK_UNKNOWN;
  }
}
}  // namespace

bool InjectKey(WindowHandle window, int virtualKey) {
  if (!IsWindow(window) || !window->display) return false;
  const SDL_Keycode key = KeyOf(virtualKey);
  if (key == SDLK_UNKNOWN) return false;
  g_display.Key(window, key);
  return true;
}

bool QueueMouseClick(WindowHandle window, int x, int y) {
  if (!IsWindow(window) || !window->display) return false;
  const Screen* s = ScreenOf(window);
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = SDL_GetWindowID(s->window);
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = SDL_PRESSED;
  e.button.clicks = 1;
  e.button.x = x * s->scale;
  e.button.y = y * s->scale;
  return SDL_PushEvent(&e) == 1;
}

bool QueueKey(WindowHandle window, int virtualKey) {
  if (!IsWindow(window) || !window->display) return false;
  const SDL_Keycode key = KeyOf(virtualKey);
  if (key == SDLK_UNKNOWN) return false;
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = SDL_GetWindowID(ScreenOf(window)->window);
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = key;
  return SDL_PushEvent(&e) == 1;
}

}  // namespace platform
