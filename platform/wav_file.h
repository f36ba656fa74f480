// Writes 16-bit stereo PCM as a RIFF WAV file with the 44-byte header, in chunks.
//
// With the total frame count known up front the header is final at once, so the output may
// be a pipe or stdout. Otherwise the sizes are patched by Finish, which needs a seekable
// output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace platform {

// The 44-byte header of 16-bit stereo PCM at `rate` holding `frames` frames.
std::vector<uint8_t> WavHeader(uint32_t rate, uint32_t frames);

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // finishes an open file
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Opens a file path, or stdout for "-"; `totalFrames` fixes the sizes in the header.
  bool Open(const std::string& path, uint32_t rate, std::optional<uint32_t> totalFrames = {});
  // Writes to a stream the caller keeps open.
  bool Open(std::ostream& stream, uint32_t rate, std::optional<uint32_t> totalFrames = {});
  // Appends interleaved stereo frames.
  bool Append(const int16_t* samples, size_t frames);
  // Patches the sizes (if not given up front) and closes; false on any write error, or when
  // the frames written differ from the count given up front.
  bool Finish();
  const std::string& Error() const { return error_; }
  uint64_t FramesWritten() const { return written_; }

 private:
  bool Write(const void* data, size_t bytes);
  bool Fail(const std::string& message);

  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::ostream* stream_ = nullptr;
  uint32_t rate_ = 0;
  std::optional<uint32_t> total_;
  uint64_t written_ = 0;
  bool failed_ = false;
  std::string error_;
  std::vector<uint8_t> scratch_;
};

}  // namespace platform
