// A dusk landscape drawn by code: a pale sky deepening to a sunset glow, a moon, stars,
// layered hills, a house with lit windows, trees and a fence. Colours are palette indices.
#include "tools/assets/picture.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace assets {
namespace {

constexpr int W = kPictureWidth, H = kPictureHeight;

enum Colour : uint8_t {
  kBlack,
  kPaleSky,
  kLightBlue,
  kMidBlue,
  kDeepBlue,
  kOrange,
  kPink,
  kYellow,
  kWhite,
  kDarkGreen,
  kGreen,
  kLightGreen,
  kBrown,
  kRoof,
  kGrey,
  kPurple
};
constexpr uint8_t kPalette[16][3] = {  // R, G, B
    {0, 0, 0},       {214, 232, 250}, {160, 196, 238}, {98, 134, 204},
    {52, 62, 132},   {244, 164, 92},  {228, 128, 140}, {255, 228, 120},
    {255, 255, 240}, {22, 58, 40},    {42, 100, 52},   {96, 152, 64},
    {112, 72, 40},   {146, 42, 42},   {124, 124, 136}, {58, 38, 78}};

using Image = std::array<std::array<uint8_t, W>, H>;

// 4 x 4 ordered dither threshold in [0, 1).
double Bayer(int x, int y) {
  static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return (m[y & 3][x & 3] + 0.5) / 16.0;
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  return x ^ (x >> 16);
}

void Sky(Image& img) {
  // Bands from the top: pale, light blue, mid blue, pink, orange at the horizon (y 150).
  const uint8_t bands[] = {kPaleSky, kLightBlue, kMidBlue, kPurple, kPink, kOrange};
  const double edges[] = {0, 34, 64, 96, 124, 142, 160};
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      double yy = y + 10.0 * x / W;  // the glow sits lower on the right
      int b = 0;
      while (b < 5 && yy >= edges[b + 1]) ++b;
      double f = (yy - edges[b]) / (edges[b + 1] - edges[b]);
      uint8_t c = bands[b];
      if (b < 5 && f > 0.55 && (f - 0.55) / 0.45 > Bayer(x, y)) c = bands[b + 1];
      img[y][x] = c;
    }
  }
  // Stars in the darker band, away from the top-left corner.
  for (int i = 0; i < 70; ++i) {
    int x = Hash(i * 2 + 1) % W, y = 40 + Hash(i * 2 + 2) % 60;
    if (img[y][x] == kMidBlue || img[y][x] == kPurple) {
      img[y][x] = i % 5 == 0 ? kYellow : kWhite;
      if (i % 9 == 0 && x > 0 && x < W - 1) img[y][x - 1] = img[y][x + 1] = kPaleSky;
    }
  }
}

void Disc(Image& img, double cx, double cy, double r, uint8_t c) {
  for (int y = std::max(0, int(cy - r)); y <= std::min(H - 1, int(cy + r)); ++y)
    for (int x = std::max(0, int(cx - r)); x <= std::min(W - 1, int(cx + r)); ++x)
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) img[y][x] = c;
}

void Moon(Image& img) {
  Disc(img, 262, 46, 17, kPaleSky);
  Disc(img, 262, 46, 15, kYellow);
  Disc(img, 256, 41, 3, kWhite);
  Disc(img, 268, 52, 2.5, kWhite);
  Disc(img, 265, 38, 1.5, kOrange);
}

// Fills below a wavy ridge line with `c`, dithered with `shade` near the ridge.
void Hill(Image& img, double base, double a1, double f1, double a2, double f2, double ph, uint8_t c,
          uint8_t shade) {
  for (int x = 0; x < W; ++x) {
    double top = base + a1 * std::sin(x * f1 + ph) + a2 * std::sin(x * f2 + 2 * ph);
    for (int y = std::max(0, int(top)); y < H; ++y) {
      double depth = y - top;
      img[y][x] = depth < 6 && depth / 6 < Bayer(x, y) ? shade : c;
    }
  }
}

void Rect(Image& img, int x0, int y0, int x1, int y1, uint8_t c) {
  for (int y = std::max(0, y0); y < std::min(H, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(W, x1); ++x) img[y][x] = c;
}

void Tree(Image& img, int x, int ground, int height) {
  Rect(img, x - 1, ground - height / 3, x + 2, ground, kBrown);
  for (int y = ground - height; y < ground - height / 4; ++y) {
    int half = (y - (ground - height)) * 7 / 10 / 2 + 1;
    for (int dx = -half; dx <= half; ++dx) {
      int xx = x + dx;
      if (xx < 0 || xx >= W || y < 0) continue;
      bool lit = dx < 0 && (Hash(xx * 31 + y) & 3) != 0;
      img[y][xx] = ((y / 3) & 1) && std::abs(dx) == half ? kGreen : lit ? kGreen : kDarkGreen;
    }
  }
}

void House(Image& img, int x0, int ground) {
  int w = 54, h = 30;
  Rect(img, x0, ground - h, x0 + w, ground, kGrey);
  for (int y = ground - h; y < ground; y += 4) Rect(img, x0, y, x0 + w, y + 1, kPurple);
  // Roof: a triangle with tiles.
  for (int y = 0; y < 20; ++y) {
    int inset = 20 - y;
    for (int x = x0 - 4 + inset; x < x0 + w + 4 - inset; ++x)
      img[ground - h - 20 + y][x] = ((x + y) % 6 == 0) ? kPurple : kRoof;
  }
  Rect(img, x0 + 38, ground - h - 22, x0 + 44, ground - h - 8, kBrown);  // chimney
  // Windows with frames, and a door.
  for (int wx : {x0 + 6, x0 + 34}) {
    Rect(img, wx - 1, ground - h + 7, wx + 13, ground - h + 19, kBrown);
    Rect(img, wx, ground - h + 8, wx + 12, ground - h + 18, kYellow);
    Rect(img, wx + 5, ground - h + 8, wx + 7, ground - h + 18, kBrown);
    Rect(img, wx, ground - h + 12, wx + 12, ground - h + 13, kBrown);
  }
  Rect(img, x0 + 22, ground - 18, x0 + 31, ground, kBrown);
  img[ground - 9][x0 + 29] = kYellow;
  // Light spilling onto the grass below the windows.
  for (int y = ground; y < ground + 8; ++y)
    for (int x = x0 - 2; x < x0 + w + 2; ++x)
      if (Bayer(x, y) > 0.3 + (y - ground) * 0.09) img[y][x] = kLightGreen;
}

void Fence(Image& img, int x0, int x1, int ground) {
  for (int x = x0; x < x1; x += 7) Rect(img, x, ground - 10, x + 2, ground, kBrown);
  Rect(img, x0, ground - 8, x1, ground - 7, kBrown);
  Rect(img, x0, ground - 4, x1, ground - 3, kBrown);
}

Image Draw() {
  Image img{};
  Sky(img);
  Moon(img);
  // High, light wisps in the pale sky (light enough to keep text readable there).
  for (int i = 0; i < 30; ++i) {
    int y = 2 + Hash(i + 600) % 30, x0 = Hash(i + 700) % W, len = 10 + Hash(i + 800) % 40;
    for (int x = x0; x < std::min(W, x0 + len); ++x)
      img[y][x] = (x - x0) % 9 == 4 ? kPaleSky : (img[y][x] == kPaleSky ? kWhite : kPaleSky);
  }
  // Thin cloud streaks lit from below by the sunset, of uneven length across the sky.
  for (int i = 0; i < 26; ++i) {
    int y = 96 + Hash(i + 300) % 50, x0 = Hash(i + 400) % W, len = 14 + Hash(i + 500) % 46;
    for (int x = x0; x < std::min(W, x0 + len); ++x) {
      img[y][x] = y < 118 ? kPink : kPurple;
      if ((x - x0) > 3 && (x0 + len - x) > 3 && y + 1 < H) img[y + 1][x] = kOrange;
    }
  }
  Hill(img, 150, 10, 0.021, 5, 0.067, 0.4, kPurple, kDeepBlue);
  Hill(img, 168, 8, 0.031, 4, 0.09, 1.7, kDarkGreen, kPurple);
  Hill(img, 186, 6, 0.017, 3, 0.11, 2.9, kGreen, kDarkGreen);
  // Distant trees along the middle ridge, across the whole width.
  for (int x = 4; x < W; x += 13 + Hash(x) % 9) {
    double ridge = 168 + 8 * std::sin(x * 0.031 + 1.7) + 4 * std::sin(x * 0.09 + 3.4);
    Tree(img, x, int(ridge) + 3, 10 + Hash(x + 5) % 8);
  }
  House(img, 130, 200);
  Fence(img, 20, 120, 206);
  Fence(img, 196, 300, 206);
  Tree(img, 40, 214, 44);
  Tree(img, 92, 210, 32);
  Tree(img, 222, 212, 38);
  Tree(img, 286, 216, 50);
  // A path from the door to the bottom edge, and grass tufts.
  for (int y = 200; y < H; ++y) {
    int half = 4 + (y - 200) / 3;
    for (int x = 156 - half + (y - 200) / 4; x < 156 + half + (y - 200) / 4; ++x)
      img[y][x] = Bayer(x, y) < 0.75 ? kBrown : kOrange;
  }
  for (int i = 0; i < 400; ++i) {
    int x = Hash(i + 1000) % W, y = 206 + Hash(i + 2000) % 34;
    if (img[y][x] == kGreen && y > 0) img[y][x] = img[y - 1][x] = kLightGreen;
  }
  // A few flowers in the grass.
  for (int i = 0; i < 40; ++i) {
    int x = Hash(i + 3000) % W, y = 220 + Hash(i + 4000) % 20;
    if (img[y][x] == kGreen || img[y][x] == kLightGreen) img[y][x] = i % 3 ? kYellow : kPink;
  }
  return img;
}

void Put16(std::vector<uint8_t>* b, uint32_t v) {
  b->push_back(v & 0xFF);
  b->push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void InfoHeader(std::vector<uint8_t>* b, int w, int h, int bits, uint32_t imageSize,
                uint32_t colours) {
  Put32(b, 40);
  Put32(b, w);
  Put32(b, h);
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, 0);  // BI_RGB
  Put32(b, imageSize);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, colours);
  Put32(b, colours);
}

// The note icon at size n: RGBA pixels, row 0 at the top; alpha 0 or 255.
std::vector<std::array<uint8_t, 4>> Note(int n) {
  std::vector<std::array<uint8_t, 4>> px(n * n, {0, 0, 0, 0});
  double s = n / 32.0;
  auto set = [&](int x, int y, std::array<uint8_t, 4> c) {
    if (x >= 0 && y >= 0 && x < n && y < n) px[y * n + x] = c;
  };
  const std::array<uint8_t, 4> body = {40, 30, 110, 255}, edge = {255, 220, 90, 255};
  for (int pass = 0; pass < 2; ++pass) {
    double grow = pass == 0 ? 1.2 * s + 0.5 : 0;
    auto c = pass == 0 ? edge : body;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        double fx = (x + 0.5) / s, fy = (y + 0.5) / s, g = grow / s;
        // Tilted oval head centred at (11, 24).
        double dx = fx - 11, dy = fy - 24;
        double u = (dx * 0.87 + dy * 0.5) / (7 + g), v = (-dx * 0.5 + dy * 0.87) / (5 + g);
        bool head = u * u + v * v <= 1;
        bool stem = fx >= 16 - g && fx <= 18.5 + g && fy >= 3 - g && fy <= 24;
        double fl = fy - 3 - (fx - 18) * 0.35;
        bool flag = fx >= 18 && fx <= 27 + g && fl >= -g && fl <= 5 + g - (fx - 18) * 0.3;
        if (head || stem || flag) set(x, y, c);
      }
  }
  return px;
}

}  // namespace

std::vector<uint8_t> MakePicture() {
  Image img = Draw();
  const int rowBytes = (W / 2 + 3) / 4 * 4;
  const uint32_t imageSize = rowBytes * H, offset = 14 + 40 + 16 * 4;
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(&b, offset + imageSize);
  Put32(&b, 0);
  Put32(&b, offset);
  InfoHeader(&b, W, H, 4, imageSize, 16);
  for (const auto& c : kPalette) {
    b.push_back(c[2]);
    b.push_back(c[1]);
    b.push_back(c[0]);
    b.push_back(0);
  }
  for (int y = H - 1; y >= 0; --y) {
    for (int x = 0; x < W; x += 2) b.push_back(uint8_t(img[y][x] << 4 | img[y][x + 1]));
    for (int p = W / 2; p < rowBytes; ++p) b.push_back(0);
  }
  return b;
}

std::vector<uint8_t> MakeIcon() {
  const int sizes[] = {32, 16};
  std::vector<std::vector<uint8_t>> images;
  for (int n : sizes) {
    auto px = Note(n);
    int maskRow = (n / 8 + 3) / 4 * 4;
    std::vector<uint8_t> im;
    InfoHeader(&im, n, 2 * n, 32, n * n * 4 + maskRow * n, 0);
    for (int y = n - 1; y >= 0; --y)
      for (int x = 0; x < n; ++x) {
        const auto& c = px[y * n + x];
        im.insert(im.end(), {c[2], c[1], c[0], c[3]});
      }
    for (int y = n - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskRow, 0);
      for (int x = 0; x < n; ++x)
        if (px[y * n + x][3] == 0) row[x / 8] |= uint8_t(0x80 >> (x % 8));
      im.insert(im.end(), row.begin(), row.end());
    }
    images.push_back(std::move(im));
  }
  std::vector<uint8_t> b;
  Put16(&b, 0);
  Put16(&b, 1);  // icon
  Put16(&b, 2);
  uint32_t offset = 6 + 16 * 2;
  for (size_t i = 0; i < images.size(); ++i) {
    b.push_back(uint8_t(sizes[i]));
    b.push_back(uint8_t(sizes[i]));
    b.push_back(0);  // no palette
    b.push_back(0);
    Put16(&b, 1);   // planes
    Put16(&b, 32);  // bits per pixel
    Put32(&b, images[i].size());
    Put32(&b, offset);
    offset += images[i].size();
  }
  for (const auto& im : images) b.insert(b.end(), im.begin(), im.end());
  return b;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>* b, uint32_t v) {
  b->insert(b->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void PngChunk(std::vector<uint8_t>* png, const char type[4], const std::vector<uint8_t>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png->size();
  png->insert(png->end(), type, type + 4);
  png->insert(png->end(), data.begin(), data.end());
  PutBig32(png, Crc32(png->data() + start, png->size() - start));
}

}  // namespace

std::vector<uint8_t> MakeIconPng(int size) {
  const auto px = Note(size);
  // Scan lines, each with filter type 0 (none).
  std::vector<uint8_t> raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);
    for (int x = 0; x < size; ++x) {
      const auto& c = px[y * size + x];
      raw.insert(raw.end(), c.begin(), c.end());
    }
  }
  // zlib stream: header, stored deflate blocks of at most 65535 bytes, Adler-32.
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.insert(z.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(&z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(&header, static_cast<uint32_t>(size));
  PutBig32(&header, static_cast<uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
  PngChunk(&png, "IHDR", header);
  PngChunk(&png, "IDAT", z);
  PngChunk(&png, "IEND", {});
  return png;
}

}  // namespace assets
