// The window picture (320 x 240, 16 colours) and the application icon.
#pragma once

#include <cstdint>
#include <vector>

namespace assets {

inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 240;

// A BMP file: BITMAPFILEHEADER, 40-byte BITMAPINFOHEADER, 16 palette entries, 4-bit rows
// bottom-up, each padded to 4 bytes.
std::vector<uint8_t> MakePicture();
// An ICO file with a 32 x 32 and a 16 x 16 image (32-bit colour with an AND mask).
std::vector<uint8_t> MakeIcon();
// The same note as a PNG file of `size` x `size` pixels (8-bit RGBA), for the desktop's icon
// theme. The image data is zlib-wrapped deflate in stored blocks, so no library is needed.
std::vector<uint8_t> MakeIconPng(int size);

}  // namespace assets
