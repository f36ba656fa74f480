#include "platform/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
constexpr uint64_t kMaxFrames = (0xFFFFFFFFull - 36) / 4;
}  // namespace

std::vector<uint8_t> WavHeader(uint32_t rate, uint32_t frames) {
  std::vector<uint8_t> h(44, 0);
  uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(frames, kMaxFrames) * 4);
  std::memcpy(&h[0], "RIFF", 4);
  Put32(h, 4, 36 + data);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  Put32(h, 16, 16);
  Put16(h, 20, 1);  // PCM
  Put16(h, 22, 2);  // stereo
  Put32(h, 24, rate);
  Put32(h, 28, rate * 4);
  Put16(h, 32, 4);
  Put16(h, 34, 16);
  std::memcpy(&h[36], "data", 4);
  Put32(h, 40, data);
  return h;
}

WavWriter::~WavWriter() {
  if (file_ != nullptr || stream_ != nullptr) Finish();
}

bool WavWriter::Fail(const std::string& message) {
  failed_ = true;
  if (error_.empty()) error_ = message;
  return false;
}

bool WavWriter::Open(const std::string& path, uint32_t rate, std::optional<uint32_t> totalFrames) {
  if (file_ != nullptr || stream_ != nullptr) return Fail("a file is already open");
  if (path == "-") {
    file_ = stdout;
    ownsFile_ = false;
  } else {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return Fail("cannot open " + path + ": " + std::strerror(errno));
    ownsFile_ = true;
  }
  rate_ = rate;
  total_ = totalFrames;
  written_ = 0;
  auto header = WavHeader(rate, totalFrames.value_or(0));
  return Write(header.data(), header.size());
}

bool WavWriter::Open(std::ostream& stream, uint32_t rate, std::optional<uint32_t> totalFrames) {
  if (file_ != nullptr || stream_ != nullptr) return Fail("a file is already open");
  stream_ = &stream;
  rate_ = rate;
  total_ = totalFrames;
  written_ = 0;
  auto header = WavHeader(rate, totalFrames.value_or(0));
  return Write(header.data(), header.size());
}

bool WavWriter::Write(const void* data, size_t bytes) {
  if (failed_) return false;
  if (file_ != nullptr) {
    if (std::fwrite(data, 1, bytes, file_) != bytes) return Fail("write error");
  } else if (stream_ != nullptr) {
    stream_->write(static_cast<const char*>(data), static_cast<std::streamsize>(bytes));
    if (!*stream_) return Fail("write error");
  } else {
    return Fail("no file open");
  }
  return true;
}

bool WavWriter::Append(const int16_t* samples, size_t frames) {
  if (frames == 0) return !failed_;
  if (written_ + frames > kMaxFrames) return Fail("too long for a WAV file");
  scratch_.resize(frames * 4);
  for (size_t i = 0; i < frames * 2; ++i) {  // little-endian whatever the host
    auto v = static_cast<uint16_t>(samples[i]);
    scratch_[2 * i] = static_cast<uint8_t>(v);
    scratch_[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  if (!Write(scratch_.data(), scratch_.size())) return false;
  written_ += frames;
  return true;
}

bool WavWriter::Finish() {
  if (file_ == nullptr && stream_ == nullptr) return Fail("no file open");
  bool ok = !failed_;
  if (ok && total_ && *total_ != written_) {
    ok =
        Fail("wrote " + std::to_string(written_) + " frames, announced " + std::to_string(*total_));
  }
  if (ok && !total_) {
    auto header = WavHeader(rate_, static_cast<uint32_t>(written_));
    if (file_ != nullptr) {
      if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header.data(), 1, 44, file_) != 44 ||
          std::fseek(file_, 0, SEEK_END) != 0) {
        ok = Fail("cannot patch the header: the output is not seekable");
      }
    } else {
      auto end = stream_->tellp();
      stream_->seekp(0);
      stream_->write(reinterpret_cast<const char*>(header.data()), 44);
      stream_->seekp(end);
      if (!*stream_ || end < 0) ok = Fail("cannot patch the header: the output is not seekable");
    }
  }
  if (file_ != nullptr) {
    if (std::fflush(file_) != 0) ok = Fail("write error");
    if (ownsFile_ && std::fclose(file_) != 0) ok = Fail("write error");
  } else if (stream_ != nullptr) {
    stream_->flush();
  }
  file_ = nullptr;
  stream_ = nullptr;
  ownsFile_ = false;
  return ok;
}

}  // namespace platform
