// In-memory bitmaps, device contexts, copies, BMP decoding and fixed-pitch text.
#include "platform/drawing.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/resources.h"
#include "platform/text.h"
#include "platform/window_internal.h"

namespace platform {

struct FontObject {
  int height = 0, width = 0, weight = 0;
  void* impl = nullptr;
  struct Glyph {
    int w = 0, h = 0;
    std::vector<uint8_t> mask;
  };
  std::map<std::string, Glyph> cache;
};

struct DcObject {
  WindowHandle window = nullptr;
  HBITMAP bitmap = nullptr;
  HBITMAP stock = nullptr;  // a memory DC's own 1 x 1 bitmap
  HFONT font = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
};

namespace {

GlyphRenderer* g_renderer = nullptr;

uint32_t ToPixel(COLORREF c) {
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}
COLORREF FromPixel(uint32_t p) {
  return RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}

HBITMAP NewBitmap(int w, int h) {
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return nullptr;
  auto* b = new BitmapObject;
  b->width = w;
  b->height = h;
  b->pixels.assign(static_cast<size_t>(w) * h, 0);
  return b;
}

uint32_t Read16(const uint8_t* p) {
  return p[0] | (p[1] << 8);
}
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

}  // namespace

void InstallGlyphRenderer(GlyphRenderer* renderer) {
  g_renderer = renderer;
}

std::mutex& DrawingMutex() {
  static std::mutex m;
  return m;
}

std::vector<std::string> SplitShiftJis(const char* text, int length) {
  std::vector<std::string> out;
  if (!text) return out;
  for (int i = 0; i < length;) {
    auto c = static_cast<uint8_t>(text[i]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    int n = (lead && i + 1 < length) ? 2 : 1;
    out.emplace_back(text + i, n);
    i += n;
  }
  return out;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new DcObject;
  dc->stock = NewBitmap(1, 1);
  dc->bitmap = dc->stock;
  return dc;
}

bool DeleteDC(HDC dc) {
  if (!dc || dc->window) return false;
  delete dc->stock;
  delete dc;
  return true;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
  if (!dc || !bitmap || dc->window) return nullptr;
  HBITMAP old = dc->bitmap;
  dc->bitmap = bitmap;
  return old;
}

HFONT SelectObject(HDC dc, HFONT font) {
  if (!dc || !font) return nullptr;
  HFONT old = dc->font;
  dc->font = font;
  // A DC's initial font is the system font; report a non-null handle back only if one was set.
  return old ? old : font;
}

bool DeleteObject(HBITMAP bitmap) {
  if (!bitmap || bitmap->ownedByWindow) return false;
  delete bitmap;
  return true;
}

bool DeleteObject(HFONT font) {
  if (!font) return false;
  if (font->impl && g_renderer) g_renderer->CloseFont(font->impl);
  delete font;
  return true;
}

HBITMAP CreateCompatibleBitmap(HDC, int w, int h) {
  return NewBitmap(w, h);
}

HBITMAP DecodeBmp(const uint8_t* data, size_t size, std::string* error) {
  if (!data) return Fail(error, "no data"), nullptr;
  size_t base = 0;
  size_t pixelOffset = 0;
  bool haveOffset = false;
  if (size >= 14 && data[0] == 'B' && data[1] == 'M') {
    pixelOffset = Read32(data + 10);
    haveOffset = true;
    base = 14;
  }
  if (size < base + 40) return Fail(error, "BMP header is truncated"), nullptr;
  const uint8_t* h = data + base;
  uint32_t headerSize = Read32(h);
  if (headerSize < 40 || headerSize > size - base)
    return Fail(error, "BMP info header has a bad size"), nullptr;
  auto width = static_cast<int32_t>(Read32(h + 4));
  auto height = static_cast<int32_t>(Read32(h + 8));
  uint32_t planes = Read16(h + 12), bits = Read16(h + 14), compression = Read32(h + 16);
  uint32_t colorsUsed = Read32(h + 32);
  if (planes != 1) return Fail(error, "BMP has more than one plane"), nullptr;
  if (compression != 0) return Fail(error, "compressed BMPs are not supported"), nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    return Fail(error, "unsupported BMP bit depth"), nullptr;
  bool topDown = height < 0;
  int64_t absHeight = topDown ? -static_cast<int64_t>(height) : height;
  if (width <= 0 || absHeight <= 0 || width > 16384 || absHeight > 16384)
    return Fail(error, "BMP size out of range"), nullptr;
  std::vector<uint32_t> palette;
  size_t paletteAt = base + headerSize;
  if (bits <= 8) {
    size_t count = colorsUsed ? colorsUsed : (1u << bits);
    if (count > (1u << bits)) return Fail(error, "BMP palette too large"), nullptr;
    if (paletteAt > size || (size - paletteAt) / 4 < count)
      return Fail(error, "BMP palette is truncated"), nullptr;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* q = data + paletteAt + i * 4;
      palette.push_back((static_cast<uint32_t>(q[2]) << 16) | (q[1] << 8) | q[0]);
    }
    paletteAt += count * 4;
  }
  if (!haveOffset) pixelOffset = paletteAt;
  size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  if (pixelOffset > size || (size - pixelOffset) / stride < static_cast<size_t>(absHeight))
    return Fail(error, "BMP pixel data is truncated"), nullptr;
  HBITMAP b = NewBitmap(width, static_cast<int>(absHeight));
  for (int y = 0; y < absHeight; ++y) {
    const uint8_t* row = data + pixelOffset + stride * y;
    int dy = topDown ? y : static_cast<int>(absHeight) - 1 - y;
    uint32_t* out = &b->pixels[static_cast<size_t>(dy) * width];
    for (int x = 0; x < width; ++x) {
      uint32_t p;
      if (bits <= 8) {
        size_t bitPos = static_cast<size_t>(x) * bits;
        uint32_t index = (row[bitPos / 8] >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
        p = index < palette.size() ? palette[index] : 0;
      } else {
        const uint8_t* q = row + static_cast<size_t>(x) * (bits / 8);
        p = (static_cast<uint32_t>(q[2]) << 16) | (q[1] << 8) | q[0];
      }
      out[x] = p;
    }
  }
  return b;
}

HBITMAP LoadImage(const void*, const char* name, uint32_t type, int, int, uint32_t) {
  if (!name || type != IMAGE_BITMAP) return nullptr;
  ResourceData res;
  if (!FindResource("BITMAP", name, &res)) return nullptr;
  return DecodeBmp(res.data, res.size, nullptr);
}

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop) {
  if (!dst || !src || rop != SRCCOPY || !dst->bitmap || !src->bitmap) return false;
  std::lock_guard<std::mutex> lock(DrawingMutex());
  BitmapObject* d = dst->bitmap;
  BitmapObject* s = src->bitmap;
  int64_t x0 = x, y0 = y, sx0 = sx, sy0 = sy, ww = w, hh = h;
  // Clip against the source, then the destination, moving both origins together.
  if (sx0 < 0) ww += sx0, x0 -= sx0, sx0 = 0;
  if (sy0 < 0) hh += sy0, y0 -= sy0, sy0 = 0;
  if (x0 < 0) ww += x0, sx0 -= x0, x0 = 0;
  if (y0 < 0) hh += y0, sy0 -= y0, y0 = 0;
  ww = std::min({ww, s->width - sx0, d->width - x0});
  hh = std::min({hh, s->height - sy0, d->height - y0});
  if (ww <= 0 || hh <= 0) return true;
  std::vector<uint32_t> tmp;  // source and destination may be the same bitmap
  for (int64_t row = 0; row < hh; ++row) {
    const uint32_t* from = &s->pixels[(sy0 + row) * s->width + sx0];
    tmp.assign(from, from + ww);
    std::memcpy(&d->pixels[(y0 + row) * d->width + x0], tmp.data(), ww * sizeof(uint32_t));
  }
  return true;
}

void FillRect(HDC dc, const RECT& r, COLORREF color) {
  if (!dc || !dc->bitmap) return;
  std::lock_guard<std::mutex> lock(DrawingMutex());
  BitmapObject* b = dc->bitmap;
  int l = std::max(0, r.left), t = std::max(0, r.top);
  int rr = std::min(b->width, r.right), bb = std::min(b->height, r.bottom);
  for (int y = t; y < bb; ++y)
    for (int x = l; x < rr; ++x) b->pixels[static_cast<size_t>(y) * b->width + x] = ToPixel(color);
}

HFONT CreateFont(int height, int width, int, int, int weight, uint32_t, uint32_t, uint32_t,
                 uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const char*) {
  if (!g_renderer || height <= 0 || height > 256) return nullptr;
  int h = std::abs(height);
  void* impl = g_renderer->OpenFont(h, nullptr);
  if (!impl) return nullptr;
  auto* f = new FontObject;
  f->height = h;
  f->width = width > 0 ? width : h / 2;
  f->weight = weight;
  f->impl = impl;
  return f;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->textColor;
  dc->textColor = color;
  return old;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->bkColor;
  dc->bkColor = color;
  return old;
}

int SetBkMode(HDC dc, int mode) {
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

int TextWidth(HFONT font, const char* text, int length) {
  if (!font) return 0;
  int total = 0;
  for (const std::string& ch : SplitShiftJis(text, length))
    total += static_cast<int>(ch.size()) * font->width;
  return total;
}

bool TextOut(HDC dc, int x, int y, const char* text, int length) {
  if (!dc || !dc->bitmap || !dc->font || !text || length < 0) return false;
  FontObject* f = dc->font;
  std::lock_guard<std::mutex> lock(DrawingMutex());
  BitmapObject* b = dc->bitmap;
  uint32_t ink = ToPixel(dc->textColor), paper = ToPixel(dc->bkColor);
  auto plot = [&](int px, int py, uint32_t v) {
    if (px >= 0 && py >= 0 && px < b->width && py < b->height)
      b->pixels[static_cast<size_t>(py) * b->width + px] = v;
  };
  int penX = x;
  for (const std::string& ch : SplitShiftJis(text, length)) {
    int cell = static_cast<int>(ch.size()) * f->width;
    if (dc->bkMode == OPAQUE)
      for (int yy = 0; yy < f->height; ++yy)
        for (int xx = 0; xx < cell; ++xx) plot(penX + xx, y + yy, paper);
    auto it = f->cache.find(ch);
    if (it == f->cache.end()) {
      FontObject::Glyph g;
      std::string utf8;
      if (!ShiftJisToUtf8(ch, &utf8) || !g_renderer ||
          !g_renderer->Render(f->impl, utf8, &g.w, &g.h, &g.mask))
        g = {};
      it = f->cache.emplace(ch, std::move(g)).first;
    }
    const FontObject::Glyph& g = it->second;
    // Centre the glyph in its cell; a glyph wider than the cell is clipped to it.
    int offset = std::max(0, (cell - g.w) / 2);
    for (int yy = 0; yy < std::min(g.h, f->height); ++yy)
      for (int xx = 0; xx < g.w && offset + xx < cell; ++xx)
        if (g.mask[static_cast<size_t>(yy) * g.w + xx]) plot(penX + offset + xx, y + yy, ink);
    penX += cell;
  }
  return true;
}

COLORREF GetBitmapPixel(HBITMAP b, int x, int y) {
  if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
  std::lock_guard<std::mutex> lock(DrawingMutex());
  return FromPixel(b->pixels[static_cast<size_t>(y) * b->width + x]);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  return dc ? GetBitmapPixel(dc->bitmap, x, y) : CLR_INVALID;
}
int BitmapWidth(HBITMAP b) {
  return b ? b->width : 0;
}
int BitmapHeight(HBITMAP b) {
  return b ? b->height : 0;
}

HDC GetDC(WindowHandle window) {
  if (!window || !window->surface) return nullptr;
  auto* dc = new DcObject;
  dc->window = window;
  dc->bitmap = window->surface;
  return dc;
}

int ReleaseDC(WindowHandle window, HDC dc) {
  if (!dc || dc->window != window) return 0;
  // What was drawn on the window's DC is put on screen.
  UpdateWindow(window);
  delete dc;
  return 1;
}

HDC BeginPaint(WindowHandle window, PAINTSTRUCT* paint) {
  if (!window || !paint) return nullptr;
  paint->hdc = GetDC(window);
  paint->fErase = false;
  paint->rcPaint = window->invalid ? window->invalidRect : RECT{0, 0, kClientWidth, kClientHeight};
  window->invalid = false;
  return paint->hdc;
}

bool EndPaint(WindowHandle window, const PAINTSTRUCT* paint) {
  if (!paint || !paint->hdc) return false;
  return ReleaseDC(window, paint->hdc) == 1;
}

HBITMAP WindowSurface(WindowHandle window) {
  return window ? window->surface : nullptr;
}

}  // namespace platform
