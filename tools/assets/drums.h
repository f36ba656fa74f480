// The twelve drum sounds as complete WAVE resource images (8-bit mono, 22 050 Hz).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct DrumInfo {
  const char* name;  // resource name, e.g. "BASS01"
  uint32_t dataLength;
  uint16_t extraSize;  // the format block's extra-data size field
};

// In the drum table's order: BASS01 ... TOM02.
const std::vector<DrumInfo>& DrumList();
// The resource image of drum `index`: RIFF header, 18-byte fmt, fact, data, pad.
std::vector<uint8_t> MakeDrum(int index);

}  // namespace assets
