// Internal to the sound output: the drum sample layout shared by the drum and effect loaders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound.h"

namespace sound_internal {

// Checks that `image` holds the 58-byte header and the whole data block its length at offset
// 54 announces. On success stores that length in `*dataBytes`.
bool SampleImageFits(const uint8_t* image, size_t size, uint32_t* dataBytes);

// Builds `*slot` from a checked image by the fill sequence: creation, whole lock, copy,
// unlock and, when `rewind`, position 0. 1 when filled, 0 when creation or lock failed.
int BuildSampleBuffer(platform::SoundDevice* device, platform::SoundBuffer** slot,
                      const uint8_t* image, size_t size, bool rewind);

enum class FileRead { kOk, kCannotOpen, kNotRiff, kUnreadable };
// Reads a whole sample file after testing that its first four bytes are "RIFF". A file that
// cannot be sized, is shorter than the header or cannot be read whole is unreadable.
FileRead ReadSampleFile(const char* path, std::vector<uint8_t>* out);

// value saturated into the 32-bit range, so out-of-range settings reach the platform as
// out-of-range values (which it refuses) rather than as wrapped ones.
int32_t Saturate32(int64_t value);
// A rate saturated into 0 to 2^32 - 1, for the same reason.
uint32_t SaturateRate(int64_t value);

}  // namespace sound_internal
