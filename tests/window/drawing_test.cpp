#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/window.h"

using namespace platform;

namespace {

struct Canvas {
  HBITMAP bitmap;
  HDC dc;
  Canvas(int w, int h)
      : bitmap(CreateCompatibleBitmap(nullptr, w, h)), dc(CreateCompatibleDC(nullptr)) {
    SelectObject(dc, bitmap);
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

// Each pixel of the source holds its own coordinates, so a copy shows where it came from.
void FillCoordinates(Canvas& c, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) FillRect(c.dc, {x, y, x + 1, y + 1}, RGB(x, y, 1));
}

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A 4-bit BMP of w x h (height negative for top-down) whose pixel (x, row) is (x + row) % 16.
std::vector<uint8_t> Bmp4(int w, int h) {
  int rows = h < 0 ? -h : h;
  size_t stride = ((w * 4 + 31) / 32) * 4;
  std::vector<uint8_t> v = {'B', 'M'};
  Put32(v, static_cast<uint32_t>(14 + 40 + 64 + stride * rows));
  Put32(v, 0);
  Put32(v, 14 + 40 + 64);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(w));
  Put32(v, static_cast<uint32_t>(h));
  Put16(v, 1);
  Put16(v, 4);
  for (int i = 0; i < 6; ++i) Put32(v, 0);
  for (int i = 0; i < 16; ++i) {  // palette entry i: B = i, G = 2i, R = 3i
    v.push_back(static_cast<uint8_t>(i));
    v.push_back(static_cast<uint8_t>(2 * i));
    v.push_back(static_cast<uint8_t>(3 * i));
    v.push_back(0);
  }
  for (int r = 0; r < rows; ++r) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < w; ++x) {
      uint8_t index = static_cast<uint8_t>((x + r) % 16);
      row[x / 2] |= (x % 2) ? index : static_cast<uint8_t>(index << 4);
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

}  // namespace

TEST(BitBlt, CopiesExactlyAndClipsAgainstBothBitmaps) {
  Canvas src(20, 10), dst(16, 8);
  FillCoordinates(src, 20, 10);
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  // Inside both: a plain copy.
  ASSERT_TRUE(BitBlt(dst.dc, 2, 3, 4, 2, src.dc, 5, 6, SRCCOPY));
  EXPECT_EQ(GetPixel(dst.dc, 2, 3), RGB(5, 6, 1));
  EXPECT_EQ(GetPixel(dst.dc, 5, 4), RGB(8, 7, 1));
  EXPECT_EQ(GetPixel(dst.dc, 6, 3), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst.dc, 2, 5), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst.dc, 1, 3), RGB(9, 9, 9));

  // Negative destination: the part left of / above 0 is dropped, the rest stays aligned.
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  BitBlt(dst.dc, -3, -2, 6, 5, src.dc, 4, 4, SRCCOPY);
  EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(7, 6, 1));
  EXPECT_EQ(GetPixel(dst.dc, 2, 2), RGB(9, 8, 1));
  EXPECT_EQ(GetPixel(dst.dc, 3, 0), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst.dc, 0, 3), RGB(9, 9, 9));

  // Negative source: the destination shifts by the same amount.
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  BitBlt(dst.dc, 5, 5, 4, 4, src.dc, -2, -1, SRCCOPY);
  EXPECT_EQ(GetPixel(dst.dc, 7, 6), RGB(0, 0, 1));
  EXPECT_EQ(GetPixel(dst.dc, 8, 7), RGB(1, 1, 1));
  EXPECT_EQ(GetPixel(dst.dc, 6, 6), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst.dc, 7, 5), RGB(9, 9, 9));

  // Past the right/bottom edges of the destination (a band at 312 of a 320 window).
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  BitBlt(dst.dc, 12, 6, 16, 16, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(dst.dc, 15, 7), RGB(3, 1, 1));
  EXPECT_EQ(GetPixel(dst.dc, 11, 7), RGB(9, 9, 9));
  // Past the source's edges: only what exists is copied.
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  BitBlt(dst.dc, 0, 0, 16, 8, src.dc, 17, 8, SRCCOPY);
  EXPECT_EQ(GetPixel(dst.dc, 2, 1), RGB(19, 9, 1));
  EXPECT_EQ(GetPixel(dst.dc, 3, 0), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(dst.dc, 0, 2), RGB(9, 9, 9));

  // Empty and entirely outside copies change nothing; other raster ops are refused.
  FillRect(dst.dc, {0, 0, 16, 8}, RGB(9, 9, 9));
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 0, 5, src.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc, 16, 0, 5, 5, src.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc, -5, 0, 5, 5, src.dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 5, 5, src.dc, 20, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 5, 5, src.dc, 0, 0, 0x00EE0086u));
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 5, 5, nullptr, 0, 0, SRCCOPY));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(GetPixel(dst.dc, x, y), RGB(9, 9, 9)) << x << "," << y;
  EXPECT_EQ(GetPixel(dst.dc, 16, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(dst.dc, 0, -1), CLR_INVALID);
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
  Canvas c(8, 1);
  FillCoordinates(c, 8, 1);
  BitBlt(c.dc, 2, 0, 6, 1, c.dc, 0, 0, SRCCOPY);
  for (int x = 2; x < 8; ++x) EXPECT_EQ(GetPixel(c.dc, x, 0), RGB(x - 2, 0, 1));
}

TEST(Bmp, DecodesFourBitPaletteBottomUpAndTopDown) {
  for (int sign : {1, -1}) {
    std::vector<uint8_t> file = Bmp4(5, 3 * sign);
    std::string error;
    HBITMAP b = DecodeBmp(file.data(), file.size(), &error);
    ASSERT_NE(b, nullptr) << error;
    EXPECT_EQ(BitmapWidth(b), 5);
    EXPECT_EQ(BitmapHeight(b), 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        int fileRow = sign > 0 ? 2 - y : y;  // bottom-up files store the last row first
        int i = (x + fileRow) % 16;
        EXPECT_EQ(GetBitmapPixel(b, x, y), RGB(3 * i, 2 * i, i)) << sign << " " << x << "," << y;
      }
    DeleteObject(b);
  }
}

TEST(Bmp, RefusesMalformedFilesWithoutReadingPastTheEnd) {
  std::vector<uint8_t> good = Bmp4(320, 240);
  std::string error;
  HBITMAP full = DecodeBmp(good.data(), good.size(), &error);
  ASSERT_NE(full, nullptr);
  DeleteObject(full);
  // Every truncation is refused (the vector is exactly sized, so ASan would catch overreads).
  for (size_t n : {size_t{0}, size_t{2}, size_t{14}, size_t{53}, size_t{54}, size_t{100},
                   size_t{118}, good.size() - 1}) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    error.clear();
    EXPECT_EQ(DecodeBmp(cut.data(), cut.size(), &error), nullptr) << n;
    EXPECT_FALSE(error.empty()) << n;
  }
  auto patched = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> v = good;
    v[at] = value;
    return DecodeBmp(v.data(), v.size(), &error);
  };
  EXPECT_EQ(patched(14 + 14, 3), nullptr);    // 3 bits per pixel
  EXPECT_EQ(patched(14 + 16, 2), nullptr);    // RLE4 compression
  EXPECT_EQ(patched(14 + 32, 200), nullptr);  // more palette entries than 4 bits can index
  EXPECT_EQ(patched(10, 0xF0), nullptr);      // pixel offset beyond the data
  EXPECT_EQ(patched(14 + 7, 0x7F), nullptr);  // absurd width
  EXPECT_EQ(DecodeBmp(nullptr, 10, &error), nullptr);
}

TEST(Font, FixedCellsAndTransparentGlyphPixels) {
  std::string error;
  ASSERT_TRUE(InstallFontRenderer(&error)) << error;
  HFONT font = CreateFont(16, 8, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, nullptr);
  ASSERT_NE(font, nullptr);
  std::string mixed = ToShiftJis("♪ ABあ");
  EXPECT_EQ(TextWidth(font, mixed.c_str(), static_cast<int>(mixed.size())), 16 + 8 + 8 + 8 + 16);
  std::string half = "iiiiWWWW";
  EXPECT_EQ(TextWidth(font, half.c_str(), 8), 64);

  Canvas c(64, 24);
  FillRect(c.dc, {0, 0, 64, 24}, RGB(10, 20, 30));
  SelectObject(c.dc, font);
  SetTextColor(c.dc, RGB(255, 255, 0));
  EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
  // "i" then "W": each glyph's pixels stay within its 8-px cell, fixed pitch.
  ASSERT_TRUE(TextOut(c.dc, 4, 2, "iW", 2));
  int inkI = 0, inkW = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 64; ++x) {
      COLORREF p = GetPixel(c.dc, x, y);
      // Solid rendering: a pixel is either untouched or exactly the text colour.
      ASSERT_TRUE(p == RGB(10, 20, 30) || p == RGB(255, 255, 0)) << x << "," << y;
      if (p == RGB(10, 20, 30)) continue;
      ASSERT_TRUE(x >= 4 && x < 20 && y >= 2 && y < 18) << x << "," << y;
      (x < 12 ? inkI : inkW)++;
    }
  EXPECT_GT(inkI, 3);
  EXPECT_GT(inkW, inkI);

  // A full-width character fills a 16-px cell; the next one starts 16 px on.
  FillRect(c.dc, {0, 0, 64, 24}, RGB(0, 0, 0));
  SetTextColor(c.dc, RGB(255, 255, 255));
  std::string kana = ToShiftJis("あi");
  TextOut(c.dc, 0, 0, kana.c_str(), static_cast<int>(kana.size()));
  int maxX = -1, maxKanaX = -1;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x)
      if (GetPixel(c.dc, x, y) != RGB(0, 0, 0)) {
        maxX = std::max(maxX, x);
        if (x < 16) maxKanaX = std::max(maxKanaX, x);
      }
  EXPECT_GE(maxKanaX, 10);               // the kana is wide
  EXPECT_TRUE(maxX >= 16 && maxX < 24);  // the "i" sits in the cell at 16..23

  // Opaque mode fills whole cells with the background colour.
  SetBkMode(c.dc, OPAQUE);
  SetBkColor(c.dc, RGB(1, 2, 3));
  FillRect(c.dc, {0, 0, 64, 24}, RGB(0, 0, 0));
  TextOut(c.dc, 0, 0, " ", 1);
  EXPECT_EQ(GetPixel(c.dc, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(c.dc, 7, 15), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(c.dc, 8, 0), RGB(0, 0, 0));
  EXPECT_FALSE(TextOut(c.dc, 0, 0, nullptr, 1));
  DeleteDC(c.dc);
  c.dc = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(TextOut(c.dc, 0, 0, "a", 1));  // no font selected
  EXPECT_TRUE(DeleteObject(font));
}
