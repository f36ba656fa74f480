// Drawing on in-memory bitmaps with GDI's operations, arguments and units.
//
// Every bitmap is 32-bit RGB in memory. A device context (DC) draws into the bitmap selected
// into it: a memory DC from `CreateCompatibleDC`, or the window's DC from `GetDC`/`BeginPaint`,
// which draws into the window's 320 x 240 client surface. Drawing on the window's DC only
// writes memory and asks the UI thread to present it, so any thread may draw; each call holds
// the surface's own lock for its duration. Colours are COLORREF (0x00BBGGRR, see `RGB`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) {
  return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GetGValue(COLORREF c) {
  return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(COLORREF c) {
  return static_cast<uint8_t>((c >> 16) & 0xFF);
}
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct BitmapObject;
struct FontObject;
struct DcObject;
using HBITMAP = BitmapObject*;
using HFONT = FontObject*;
using HDC = DcObject*;

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  bool fErase = false;
  RECT rcPaint;  // the part of the client area to paint
};

inline constexpr uint32_t SRCCOPY = 0x00CC0020u;
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
// LoadImage
inline constexpr uint32_t IMAGE_BITMAP = 0;
inline constexpr uint32_t LR_DEFAULTCOLOR = 0;
inline constexpr uint32_t LR_CREATEDIBSECTION = 0x2000;
// CreateFont
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr uint32_t DEFAULT_CHARSET = 1;
inline constexpr uint32_t SHIFTJIS_CHARSET = 128;
inline constexpr uint32_t OUT_DEFAULT_PRECIS = 0;
inline constexpr uint32_t OUT_TT_PRECIS = 4;
inline constexpr uint32_t CLIP_DEFAULT_PRECIS = 0;
inline constexpr uint32_t DEFAULT_QUALITY = 0;
inline constexpr uint32_t DEFAULT_PITCH = 0;
inline constexpr uint32_t FIXED_PITCH = 1;

// Device contexts. The window's DC draws into its client surface; `ReleaseDC`/`EndPaint` end it.
HDC GetDC(WindowHandle window);
int ReleaseDC(WindowHandle window, HDC dc);
// Fills `paint` with the window's DC and the rectangle to paint (the invalid area, or the
// whole client area) and validates the window.
HDC BeginPaint(WindowHandle window, PAINTSTRUCT* paint);
bool EndPaint(WindowHandle window, const PAINTSTRUCT* paint);
// A memory DC with a 1 x 1 bitmap selected; select a bitmap to draw into it.
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
// Selects a bitmap or a font into a DC; returns the one it replaces (null on bad arguments).
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
HFONT SelectObject(HDC dc, HFONT font);
// Deletes a bitmap or font; false when null. A bitmap must not be selected into a DC.
bool DeleteObject(HBITMAP bitmap);
bool DeleteObject(HFONT font);

// A w x h bitmap, black; null when w or h is not positive or above 16384.
HBITMAP CreateCompatibleBitmap(HDC dc, int w, int h);
// Loads a BMP of the application's resources (type "BITMAP") by name; cx/cy 0 for natural
// size. Null when missing or malformed.
HBITMAP LoadImage(const void* instance, const char* name, uint32_t type, int cx, int cy,
                  uint32_t flags);
// Decodes BMP file bytes (with or without the 14-byte file header): 1/4/8-bit with palette,
// 24/32-bit, bottom-up or top-down. Returns null and sets `*error` on malformed data; never
// reads past `size`.
HBITMAP DecodeBmp(const uint8_t* data, size_t size, std::string* error);

// Copies w x h pixels from (sx, sy) of src to (x, y) of dst, clipped exactly against both
// bitmaps (negative coordinates included). Only SRCCOPY is supported.
bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop);
// Fills a rectangle of the DC's bitmap (clipped) with a colour.
void FillRect(HDC dc, const RECT& rect, COLORREF color);

// The fixed-pitch title font: the height/width give the cell (16/8: 16 px high, 8 px per
// single-byte and 16 px per double-byte Shift-JIS character). Null when no font file is found.
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight,
                 uint32_t italic, uint32_t underline, uint32_t strikeOut, uint32_t charSet,
                 uint32_t outPrecision, uint32_t clipPrecision, uint32_t quality,
                 uint32_t pitchAndFamily, const char* faceName);
COLORREF SetTextColor(HDC dc, COLORREF color);  // returns the previous colour
int SetBkMode(HDC dc, int mode);                // returns the previous mode (OPAQUE at start)
COLORREF SetBkColor(HDC dc, COLORREF color);
// Draws `length` bytes of Shift-JIS text with the DC's font, glyph pixels only when the
// background mode is TRANSPARENT (else the cells are filled with the background colour).
// Solid (non-blended) rendering: every pixel is either the text colour or untouched.
bool TextOut(HDC dc, int x, int y, const char* shiftJis, int length);
// Width in pixels `TextOut` advances for the text: 8/16 px cells for a 16 px font.
int TextWidth(HFONT font, const char* shiftJis, int length);

// Pixel access (for tests and presentation); CLR_INVALID outside the bitmap.
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF GetBitmapPixel(HBITMAP bitmap, int x, int y);
int BitmapWidth(HBITMAP bitmap);
int BitmapHeight(HBITMAP bitmap);
// The bitmap of the window's client surface (320 x 240), owned by the window.
HBITMAP WindowSurface(WindowHandle window);

}  // namespace platform
