#include "screen/screen.h"

#include <algorithm>
#include <cstring>

#include "platform/app.h"
#include "platform/window.h"

using namespace platform;

HBITMAP backBuffer = nullptr;
HBITMAP pictureSlots[kPictureSlotCount] = {};
HFONT titleFont = nullptr;
int32_t markerX = -16;
const int32_t markerStep = 8;

namespace {

bool ValidSlot(int slot) {
  return slot >= 0 && slot < kPictureSlotCount;
}

// Copies `rect` of `source` to (x, y) of the DC `target`, through a memory DC.
void CopyFromBitmap(HDC target, HDC reference, int x, int y, const RECT& rect, HBITMAP source) {
  HDC memory = CreateCompatibleDC(reference);
  HBITMAP old = SelectObject(memory, source);
  BitBlt(target, x, y, rect.right - rect.left, rect.bottom - rect.top, memory, rect.left, rect.top,
         SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace

void CreateBackBuffer(WindowHandle window) {
  HDC dc = GetDC(window);
  backBuffer = CreateCompatibleBitmap(dc, kClientWidth, kClientHeight);
  ReleaseDC(window, dc);
}

HBITMAP LoadPicture(const char* name, int slot) {
  if (!ValidSlot(slot)) return nullptr;
  HBITMAP picture = LoadImage(nullptr, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (picture) {
    // A slot loaded again gives up its old bitmap instead of leaking it.
    if (pictureSlots[slot]) DeleteObject(pictureSlots[slot]);
    pictureSlots[slot] = picture;
  }
  return picture;
}

void DeleteBitmaps() {
  for (HBITMAP& slot : pictureSlots) {
    if (slot) {
      DeleteObject(slot);
      slot = nullptr;
    }
  }
  if (backBuffer) {
    DeleteObject(backBuffer);
    backBuffer = nullptr;
  }
}

void PresentRect(WindowHandle window, const RECT& rect) {
  if (!backBuffer) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  CopyFromBitmap(dc, dc, rect.left, rect.top, rect, backBuffer);
  ReleaseDC(window, dc);
}

void DrawPicture(WindowHandle window, int x, int y, const RECT& rect, int slot) {
  if (!ValidSlot(slot) || !pictureSlots[slot] || !backBuffer) return;
  HDC dc = GetDC(window);
  HDC target = CreateCompatibleDC(dc);
  HBITMAP old = SelectObject(target, backBuffer);
  CopyFromBitmap(target, dc, x, y, rect, pictureSlots[slot]);
  SelectObject(target, old);
  DeleteDC(target);
  ReleaseDC(window, dc);
}

void BlitPictureToWindow(WindowHandle window, int x, int y, const RECT& rect, int slot) {
  if (!ValidSlot(slot) || !pictureSlots[slot]) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  CopyFromBitmap(dc, dc, x, y, rect, pictureSlots[slot]);
  ReleaseDC(window, dc);
}

void CreateTextFont(int height) {
  HFONT font =
      CreateFont(height, height / 2, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS,
                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, nullptr);
  if (titleFont) DeleteObject(titleFont);
  titleFont = font;
}

void DeleteTextFont() {
  if (titleFont) DeleteObject(titleFont);
  titleFont = nullptr;
}

void DrawShadowText(WindowHandle window, int x, int y, const char* text) {
  if (!backBuffer || !text) return;
  HDC dc = GetDC(window);
  HDC target = CreateCompatibleDC(dc);
  HBITMAP oldBitmap = SelectObject(target, backBuffer);
  HFONT oldFont = titleFont ? SelectObject(target, titleFont) : nullptr;
  SetBkMode(target, TRANSPARENT);
  const int length = static_cast<int>(std::strlen(text));
  SetTextColor(target, RGB(255, 255, 0));
  TextOut(target, x + 1, y, text, length);
  SetTextColor(target, RGB(0, 0, 0));
  TextOut(target, x, y, text, length);
  if (oldFont) SelectObject(target, oldFont);
  SelectObject(target, oldBitmap);
  DeleteDC(target);
  ReleaseDC(window, dc);
}

void ShowSongTitle(const char* title) {
  const RECT whole{0, 0, kClientWidth, kClientHeight};
  DrawPicture(mainWindow, 0, 0, whole, 0);
  DrawShadowText(mainWindow, 8, 8, title);
  PresentRect(mainWindow, whole);
  UpdateWindow(mainWindow);
}

void StepTickMarker() {
  if (appActive == 0) return;
  RECT band{markerX, 0, markerX + 16, kClientHeight};
  band.left = std::clamp(band.left, 0, kClientWidth);
  band.right = std::clamp(band.right, 0, kClientWidth);
  PresentRect(mainWindow, {0, 0, kClientWidth, kClientHeight});
  UpdateWindow(mainWindow);
  BlitPictureToWindow(mainWindow, markerX + 8, 0, band, 0);
  markerX += markerStep;
  if (markerX > 304) markerX = -8;
}

void ResetScreenForTests() {
  DeleteBitmaps();
  DeleteTextFont();
  markerX = -16;
}
