// The screen: the 320 x 240 back buffer, the picture slots, the shadowed title and the tick
// marker that sweeps a displaced band of the picture across the window on every tick.
#pragma once

#include <cstdint>

#include "platform/drawing.h"
#include "platform/types.h"

inline constexpr int kPictureSlotCount = 64;

extern platform::HBITMAP backBuffer;
extern platform::HBITMAP pictureSlots[kPictureSlotCount];
extern platform::HFONT titleFont;
// Left edge of the next marker band; starts at -16, steps by markerStep.
extern int32_t markerX;
extern const int32_t markerStep;

void CreateBackBuffer(platform::WindowHandle window);
platform::HBITMAP LoadPicture(const char* name, int slot);
void DeleteBitmaps();
void PresentRect(platform::WindowHandle window, const platform::RECT& rect);
void DrawPicture(platform::WindowHandle window, int x, int y, const platform::RECT& rect, int slot);
void BlitPictureToWindow(platform::WindowHandle window, int x, int y, const platform::RECT& rect,
                         int slot);
void CreateTextFont(int height);
void DeleteTextFont();
void DrawShadowText(platform::WindowHandle window, int x, int y, const char* text);
// Redraws the whole picture on `mainWindow` with `title` (Shift-JIS) at (8, 8).
void ShowSongTitle(const char* title);
// One step of the beat marker; nothing while the application is inactive.
void StepTickMarker();

// Tests only: deletes every bitmap and the font and puts markerX back to -16.
void ResetScreenForTests();
