// The screen on in-memory bitmaps: the marker's band positions and clipping, the inactive
// marker, the shadowed title and the redraw of a new title, checked pixel by pixel.
#include "screen/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/drawing.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "platform/window_internal.h"

using namespace platform;

namespace {

constexpr int W = 320, H = 240;

// 16 palette colours, none of them black or yellow.
COLORREF PaletteColour(int index) {
  return RGB(static_cast<uint8_t>(16 + index * 8), static_cast<uint8_t>(200 - index * 10),
             static_cast<uint8_t>(40 + index * 12));
}
// The test picture: every 8-dot column band has its own colour, so a band moved by 8 dots
// shows the colour of its left neighbour.
COLORREF PictureAt(int x, int y) {
  return PaletteColour(((x / 8) + (y / 60)) % 16);
}

std::vector<uint8_t> MakePicture() {
  const int rowBytes = W / 2;  // 4 bits per dot; 160 is a multiple of 4
  std::vector<uint8_t> bmp(14 + 40 + 64 + rowBytes * H, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bmp[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&bmp[at], &v, 2); };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 14 + 40 + 64);
  put32(14, 40);
  put32(18, W);
  put32(22, H);
  put16(26, 1);
  put16(28, 4);
  put32(46, 16);
  for (int i = 0; i < 16; ++i) {
    const COLORREF c = PaletteColour(i);
    bmp[54 + i * 4] = GetBValue(c);
    bmp[55 + i * 4] = GetGValue(c);
    bmp[56 + i * 4] = GetRValue(c);
  }
  for (int y = 0; y < H; ++y) {
    uint8_t* row = &bmp[14 + 40 + 64 + static_cast<size_t>(H - 1 - y) * rowBytes];
    for (int x = 0; x < W; ++x) {
      const uint8_t index = static_cast<uint8_t>(((x / 8) + (y / 60)) % 16);
      row[x / 2] |= (x % 2 == 0) ? static_cast<uint8_t>(index << 4) : index;
    }
  }
  return bmp;
}

// Glyphs of a known shape: each character is 8 x 16; the mask depends on the character so
// two titles differ.
bool GlyphDot(char c, int gx, int gy) {
  if (c == ' ') return false;
  const int column = (static_cast<unsigned char>(c) % 5) + 1;
  return (gx == column && gy >= 2 && gy < 14) || (gy == 3 && gx >= 1 && gx < 7);
}

class TestGlyphs : public GlyphRenderer {
 public:
  void* OpenFont(int height, std::string*) override { return height == 16 ? this : nullptr; }
  void CloseFont(void*) override {}
  bool Render(void*, const std::string& utf8, int* w, int* h, std::vector<uint8_t>* mask) override {
    *w = 8;
    *h = 16;
    mask->assign(8 * 16, 0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) (*mask)[y * 8 + x] = GlyphDot(utf8[0], x, y) ? 1 : 0;
    return true;
  }
};

// The text's glyph dots in window coordinates, for text drawn at (x, y).
bool TextDot(const char* text, int x, int y, int px, int py) {
  const int gy = py - y;
  if (gy < 0 || gy >= 16 || px < x) return false;
  const size_t index = static_cast<size_t>((px - x) / 8);
  if (index >= std::strlen(text)) return false;
  return GlyphDot(text[index], (px - x) % 8, gy);
}

COLORREF Window(int x, int y) {
  return GetBitmapPixel(WindowSurface(mainWindow), x, y);
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    picture_ = MakePicture();
    entry_ = {"BITMAP", "PICTURE00", picture_.data(), picture_.size()};
    RegisterResources(&entry_, 1);
    InstallGlyphRenderer(&glyphs_);
    WNDCLASSEX windowClass;
    windowClass.lpfnWndProc = DefWindowProc;
    windowClass.lpszClassName = "screen test";
    ASSERT_NE(RegisterClassEx(&windowClass), 0);
    mainWindow = CreateWindowEx(0, "screen test", "screen test", WS_CAPTION, 0, 0, 320, 260,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mainWindow, nullptr);
    ResetScreenForTests();
    CreateBackBuffer(mainWindow);
    ASSERT_NE(LoadPicture("PICTURE00", 0), nullptr);
    DrawPicture(mainWindow, 0, 0, {0, 0, W, H}, 0);
    PresentRect(mainWindow, {0, 0, W, H});
    CreateTextFont(16);
    ASSERT_NE(titleFont, nullptr);
    appActive = 1;
  }
  void TearDown() override {
    ResetScreenForTests();
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    appActive = 0;
    UnregisterClass("screen test", nullptr);
    InstallGlyphRenderer(nullptr);
    UnregisterResources(&entry_);
  }
  // The window shows the picture except for a band drawn from [from, from+width) at from+8.
  void ExpectWindowBand(int from, int width) {
    int wrong = 0;
    for (int y = 0; y < H; y += 7) {
      for (int x = 0; x < W; ++x) {
        const bool displaced = width > 0 && x >= from + 8 && x < from + 8 + width;
        const COLORREF expected = displaced ? PictureAt(x - 8, y) : PictureAt(x, y);
        if (Window(x, y) != expected && wrong++ < 5) {
          ADD_FAILURE() << "at (" << x << ", " << y << ") band from " << from;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }

  std::vector<uint8_t> picture_;
  ResourceEntry entry_{};
  TestGlyphs glyphs_;
};

TEST_F(ScreenTest, MarkerSweepsInStepsOfEightAndWrapsAfter304) {
  EXPECT_EQ(markerX, -16);
  EXPECT_EQ(markerStep, 8);
  ExpectWindowBand(0, 0);

  StepTickMarker();  // -16: the band is empty
  EXPECT_EQ(markerX, -8);
  ExpectWindowBand(0, 0);

  StepTickMarker();  // -8: an 8-dot band drawn in its own place
  EXPECT_EQ(markerX, 0);
  ExpectWindowBand(0, 0);

  StepTickMarker();  // 0: {0, 16} drawn at 8
  EXPECT_EQ(markerX, 8);
  ExpectWindowBand(0, 16);

  StepTickMarker();  // 8: the previous band is erased, {8, 24} drawn at 16
  EXPECT_EQ(markerX, 16);
  ExpectWindowBand(8, 16);

  markerX = 296;
  StepTickMarker();
  EXPECT_EQ(markerX, 304);
  ExpectWindowBand(296, 16);

  StepTickMarker();  // 304: {304, 320} drawn at 312, clipped at the right edge
  EXPECT_EQ(markerX, -8);
  ExpectWindowBand(304, 8);

  StepTickMarker();  // back at -8: no visible band
  EXPECT_EQ(markerX, 0);
  ExpectWindowBand(0, 0);
}

TEST_F(ScreenTest, InactiveMarkerNeitherDrawsNorMoves) {
  markerX = 40;
  StepTickMarker();
  ExpectWindowBand(40, 16);
  appActive = 0;
  for (int i = 0; i < 5; ++i) StepTickMarker();
  EXPECT_EQ(markerX, 48);
  ExpectWindowBand(40, 16);
  appActive = 1;
  StepTickMarker();
  EXPECT_EQ(markerX, 56);
  ExpectWindowBand(48, 16);
}

TEST_F(ScreenTest, ShadowTextIsBlackWithAYellowEdgeOnItsRight) {
  const char* text = "Ab c";
  DrawShadowText(mainWindow, 8, 8, text);
  int black = 0, yellow = 0;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      COLORREF expected = PictureAt(x, y);
      if (TextDot(text, 8, 8, x, y)) {
        expected = RGB(0, 0, 0);
        ++black;
      } else if (TextDot(text, 8, 8, x - 1, y)) {
        expected = RGB(255, 255, 0);
        ++yellow;
      }
      ASSERT_EQ(GetBitmapPixel(backBuffer, x, y), expected) << "at (" << x << ", " << y << ")";
    }
  }
  EXPECT_GT(black, 0);
  EXPECT_GT(yellow, 0);
  // Drawing into the back buffer alone does not reach the window until it is presented.
  ExpectWindowBand(0, 0);
}

TEST_F(ScreenTest, NewTitleLeavesNoTraceOfTheOld) {
  ShowSongTitle("WWWWWWWWWWWW");
  ShowSongTitle("ab");
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      COLORREF expected = PictureAt(x, y);
      if (TextDot("ab", 8, 8, x, y)) {
        expected = RGB(0, 0, 0);
      } else if (TextDot("ab", 8, 8, x - 1, y)) {
        expected = RGB(255, 255, 0);
      }
      ASSERT_EQ(GetBitmapPixel(backBuffer, x, y), expected) << "at (" << x << ", " << y << ")";
      ASSERT_EQ(Window(x, y), expected) << "window at (" << x << ", " << y << ")";
    }
  }
}

TEST_F(ScreenTest, BadSlotsAndMissingPicturesDrawNothing) {
  EXPECT_EQ(LoadPicture("PICTURE00", 64), nullptr);
  EXPECT_EQ(LoadPicture("PICTURE00", -1), nullptr);
  EXPECT_EQ(LoadPicture("NOSUCHPICTURE", 3), nullptr);
  EXPECT_EQ(pictureSlots[3], nullptr);
  DrawPicture(mainWindow, 0, 0, {0, 0, W, H}, 3);
  DrawPicture(mainWindow, 0, 0, {0, 0, W, H}, 99);
  BlitPictureToWindow(mainWindow, 0, 0, {0, 0, W, H}, 5);
  ExpectWindowBand(0, 0);
  DeleteBitmaps();
  EXPECT_EQ(backBuffer, nullptr);
  EXPECT_EQ(pictureSlots[0], nullptr);
  // Without a back buffer, painting and titles do nothing and do not crash.
  PresentRect(mainWindow, {0, 0, W, H});
  ShowSongTitle("x");
  ExpectWindowBand(0, 0);
}

}  // namespace
