// The drum sample layout: a RIFF WAVE image read at fixed offsets.
#include "sound/sample_image.h"

#include <cstdio>
#include <cstring>

#include "sound/sound.h"

namespace sound_internal {

bool SampleImageFits(const uint8_t* image, size_t size, uint32_t* dataBytes) {
  if (image == nullptr || size < kSampleDataOffset) return false;
  const uint8_t* p = image + kSampleLengthOffset;
  const uint32_t n = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  if (n > size - kSampleDataOffset) return false;
  *dataBytes = n;
  return true;
}

int BuildSampleBuffer(platform::SoundDevice* device, platform::SoundBuffer** slot,
                      const uint8_t* image, size_t size, bool rewind) {
  uint32_t n = 0;
  if (!SampleImageFits(image, size, &n)) return 0;
  platform::WaveFormatEx format;
  std::memcpy(&format, image + kSampleFormatOffset, sizeof format);
  return FillStaticBuffer(device, slot, n, &format, image + kSampleDataOffset, rewind);
}

FileRead ReadSampleFile(const char* path, std::vector<uint8_t>* out) {
  if (path == nullptr) return FileRead::kCannotOpen;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return FileRead::kCannotOpen;
  FileRead result = FileRead::kUnreadable;
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  uint8_t header[kSampleDataOffset];
  if (length >= static_cast<long>(kSampleDataOffset) && std::fseek(file, 0, SEEK_SET) == 0 &&
      std::fread(header, 1, sizeof header, file) == sizeof header) {
    if (std::memcmp(header, "RIFF", 4) != 0) {
      result = FileRead::kNotRiff;
    } else {
      out->assign(static_cast<size_t>(length), 0);
      if (std::fseek(file, 0, SEEK_SET) == 0 &&
          std::fread(out->data(), 1, out->size(), file) == out->size())
        result = FileRead::kOk;
    }
  } else if (length >= 4 && std::fseek(file, 0, SEEK_SET) == 0 &&
             std::fread(header, 1, 4, file) == 4 && std::memcmp(header, "RIFF", 4) != 0) {
    result = FileRead::kNotRiff;
  }
  std::fclose(file);
  if (result != FileRead::kOk) out->clear();
  return result;
}

}  // namespace sound_internal
