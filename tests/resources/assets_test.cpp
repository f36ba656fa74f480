// Checks of the generated assets as embedded in the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "resources/embedded.h"

namespace {

uint32_t U32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

platform::ResourceData Get(const char* type, const char* name) {
  RegisterEmbeddedResources();
  platform::ResourceData d;
  EXPECT_TRUE(platform::FindResource(type, name, &d)) << name;
  return d;
}

// Sign changes around the cycle: positions i where sample i and sample (i + 1) mod 256 lie
// on different sides of "negative" (< 0) and "not negative" (>= 0).
int SignChanges(const int8_t* w) {
  int n = 0;
  for (int i = 0; i < 256; ++i) n += (w[i] < 0) != (w[(i + 1) % 256] < 0);
  return n;
}

TEST(Waveforms, SizeRangesShapes) {
  auto d = Get("WAVE", "WAVEDATA");
  ASSERT_EQ(d.size, 25600u);
  const int8_t* t = reinterpret_cast<const int8_t*>(d.data);
  for (int n = 0; n < 100; ++n) {
    const int8_t* w = t + 256 * n;
    auto [lo, hi] = std::minmax_element(w, w + 256);
    EXPECT_GE(*lo, -66) << n;
    EXPECT_LE(*hi, 72) << n;
    if (n < 40) {
      EXPECT_EQ(SignChanges(w), 2) << n;
    }
    if (n < 20) {
      EXPECT_LE(*lo, -55) << n;
      EXPECT_GE(*hi, 55) << n;
    } else if (n < 30) {
      EXPECT_NEAR(*lo, -35, 3) << n;
      EXPECT_NEAR(*hi, 33, 3) << n;
    }
    if (n < 40) {
      EXPECT_LE(w[8], 0) << n << " falls first";
    }
  }
  EXPECT_EQ(SignChanges(t + 256 * 99), 62);
  // 0: sine falling first, -58 at a quarter cycle, +64 at three quarters.
  const int8_t* s = t;
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[64], -58);
  EXPECT_EQ(s[192], 64);
  EXPECT_NEAR(s[32], -41, 1);  // -58 * sin(pi/4)
  // 10: triangle falling first, -64 to +72, linear between.
  const int8_t* tri = t + 2560;
  EXPECT_EQ(tri[64], -64);
  EXPECT_EQ(tri[192], 72);
  EXPECT_NEAR(tri[32], -32, 1);
  EXPECT_NEAR(tri[160], 36, 1);
  // 20: square, low for the first half.
  const int8_t* sq = t + 5120;
  for (int i = 8; i < 120; ++i) EXPECT_EQ(sq[i], -34) << i;
  for (int i = 136; i < 248; ++i) EXPECT_EQ(sq[i], 32) << i;
}

TEST(Drums, LayoutByteForByte) {
  struct Want {
    const char* name;
    uint32_t length;
    uint16_t extra;
  };
  const Want drums[] = {{"BASS01", 1334, 0},  {"BASS02", 2404, 0},  {"SNARE01", 3535, 0},
                        {"SNARE02", 4868, 0}, {"TOM01", 2990, 0},   {"HICLOSE", 973, 0},
                        {"HIOPEN", 18832, 0}, {"CRASH", 8419, 16},  {"PER01", 1582, 0},
                        {"PER02", 889, 0},    {"BASS03", 1953, 16}, {"TOM02", 3111, 16}};
  for (const Want& w : drums) {
    SCOPED_TRACE(w.name);
    auto d = Get("WAVE", w.name);
    const uint8_t* p = d.data;
    ASSERT_EQ(d.size, 58 + w.length + (w.length & 1));
    EXPECT_EQ(std::memcmp(p, "RIFF", 4), 0);
    EXPECT_EQ(U32(p + 4), d.size - 8);
    EXPECT_EQ(std::memcmp(p + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(U32(p + 16), 18u);
    EXPECT_EQ(U16(p + 20), 1);
    EXPECT_EQ(U16(p + 22), 1);
    EXPECT_EQ(U32(p + 24), 22050u);
    EXPECT_EQ(U32(p + 28), 22050u);
    EXPECT_EQ(U16(p + 32), 1);
    EXPECT_EQ(U16(p + 34), 8);
    EXPECT_EQ(U16(p + 36), w.extra);
    EXPECT_EQ(std::memcmp(p + 38, "fact", 4), 0);
    EXPECT_EQ(U32(p + 42), 4u);
    EXPECT_EQ(U32(p + 46), w.length);
    EXPECT_EQ(std::memcmp(p + 50, "data", 4), 0);
    EXPECT_EQ(U32(p + 54), w.length);
    if (w.length & 1) {
      EXPECT_EQ(p[58 + w.length], 0);
    }
    const uint8_t* s = p + 58;
    auto [lo, hi] = std::minmax_element(s, s + w.length);
    EXPECT_GT(*lo, 10);  // headroom, no clipped tops
    EXPECT_LT(*hi, 245);
    EXPECT_GT(*hi - *lo, 100);                                                     // not silent
    for (uint32_t i = w.length - 4; i < w.length; ++i) EXPECT_NEAR(s[i], 128, 2);  // fades out
  }
}

TEST(Picture, BitmapAndIconHeaders) {
  auto b = Get("BITMAP", "PICTURE00");
  ASSERT_GE(b.size, 118u);
  const uint8_t* p = b.data;
  EXPECT_EQ(p[0], 'B');
  EXPECT_EQ(p[1], 'M');
  EXPECT_EQ(U32(p + 2), b.size);
  EXPECT_EQ(U32(p + 10), 14u + 40 + 64);
  EXPECT_EQ(U32(p + 14), 40u);
  EXPECT_EQ(U32(p + 18), 320u);
  EXPECT_EQ(U32(p + 22), 240u);  // positive: bottom-up
  EXPECT_EQ(U16(p + 26), 1);
  EXPECT_EQ(U16(p + 28), 4);
  EXPECT_EQ(U32(p + 30), 0u);
  EXPECT_EQ(U32(p + 46), 16u);
  EXPECT_EQ(b.size, 118u + 160 * 240);
  // Detail across the width: every 16-row band differs from itself moved 8 pixels right.
  const uint8_t* px = p + 118;  // bottom-up rows
  for (int band = 0; band < 240; band += 16) {
    int differ = 0;
    for (int y = band; y < band + 16; ++y)
      for (int x = 8; x < 320; ++x) {
        auto at = [&](int xx) { return (px[y * 160 + xx / 2] >> (xx % 2 ? 0 : 4)) & 15; };
        differ += at(x) != at(x - 8);
      }
    EXPECT_GT(differ, 50) << band;
  }
  auto ico = Get("ICON", "0");
  ASSERT_GE(ico.size, 38u);
  const uint8_t* i = ico.data;
  EXPECT_EQ(U16(i), 0);
  EXPECT_EQ(U16(i + 2), 1);
  ASSERT_EQ(U16(i + 4), 2);
  for (int e = 0; e < 2; ++e) {
    const uint8_t* ent = i + 6 + 16 * e;
    int size = e == 0 ? 32 : 16;
    EXPECT_EQ(ent[0], size);
    EXPECT_EQ(ent[1], size);
    uint32_t len = U32(ent + 8), off = U32(ent + 12);
    ASSERT_LE(off + len, ico.size);
    EXPECT_EQ(U32(i + off), 40u);
    EXPECT_EQ(U32(i + off + 4), uint32_t(size));
    EXPECT_EQ(U32(i + off + 8), uint32_t(2 * size));
    EXPECT_EQ(len, 40u + size * size * 4 + 4 * size);
  }
}

uint32_t Big32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

// The desktop icon file: a valid PNG whose pixels are the 32 x 32 image of the icon resource.
TEST(Picture, DesktopIconPngMatchesTheIconResource) {
  std::ifstream in(VEXOLIN_ICON_PNG_32, std::ios::binary);
  const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  ASSERT_GT(png.size(), 8u);
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_EQ(std::memcmp(png.data(), signature, 8), 0);
  std::vector<std::string> chunks;
  std::vector<uint8_t> zlib;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = Big32(&png[at]);
    ASSERT_LE(at + 12 + length, png.size());
    const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
    EXPECT_EQ(Crc32(&png[at + 4], length + 4), Big32(&png[at + 8 + length])) << type;
    if (type == "IHDR") {
      ASSERT_EQ(length, 13u);
      EXPECT_EQ(Big32(&png[at + 8]), 32u);
      EXPECT_EQ(Big32(&png[at + 12]), 32u);
      EXPECT_EQ(png[at + 16], 8);  // bits per channel
      EXPECT_EQ(png[at + 17], 6);  // RGBA
    }
    if (type == "IDAT") zlib.insert(zlib.end(), &png[at + 8], &png[at + 8 + length]);
    chunks.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  // Inflate the stored blocks and check the Adler-32 of what they hold.
  ASSERT_GE(zlib.size(), 6u);
  EXPECT_EQ((zlib[0] * 256 + zlib[1]) % 31, 0);
  std::vector<uint8_t> raw;
  size_t at = 2;
  for (bool last = false; !last;) {
    ASSERT_LE(at + 5, zlib.size());
    last = zlib[at] & 1;
    ASSERT_EQ(zlib[at] >> 1, 0) << "stored block";
    const uint16_t n = U16(&zlib[at + 1]);
    ASSERT_EQ(uint16_t(~U16(&zlib[at + 3])), n);
    ASSERT_LE(at + 5 + n, zlib.size());
    raw.insert(raw.end(), &zlib[at + 5], &zlib[at + 5] + n);
    at += 5 + n;
  }
  ASSERT_EQ(at + 4, zlib.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
  EXPECT_EQ(Big32(&zlib[at]), (b << 16) | a);
  ASSERT_EQ(raw.size(), 32u * (1 + 32 * 4));

  // The same pixels as the icon resource's 32 x 32 image (BGRA, bottom-up).
  auto ico = Get("ICON", "0");
  const uint8_t* image = ico.data + U32(ico.data + 6 + 12) + 40;
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    ASSERT_EQ(raw[y * 129], 0) << "filter of row " << y;
    for (int x = 0; x < 32; ++x) {
      const uint8_t* rgba = &raw[y * 129 + 1 + 4 * x];
      const uint8_t* bgra = image + ((31 - y) * 32 + x) * 4;
      ASSERT_EQ(rgba[0], bgra[2]) << x << "," << y;
      ASSERT_EQ(rgba[1], bgra[1]) << x << "," << y;
      ASSERT_EQ(rgba[2], bgra[0]) << x << "," << y;
      ASSERT_EQ(rgba[3], bgra[3]) << x << "," << y;
      opaque += rgba[3] == 255;
    }
  }
  EXPECT_EQ(raw[1 + 3], 0);  // the top left corner is transparent
  EXPECT_GT(opaque, 100);
}

}  // namespace
