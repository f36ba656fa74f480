// The file a fuzz target writes each input to, so the file readers see it: one path in the
// temporary folder per process, chosen at first use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace fuzzing {

class InputFile {
 public:
  // `stem` and `extension` name the file, e.g. "vexolin_fuzz_song_" and ".qek".
  InputFile(const char* stem, const char* extension) {
    std::random_device random;
    path_ = (std::filesystem::temp_directory_path() / (stem + std::to_string(random()) + extension))
                .string();
  }
  const char* Path() const { return path_.c_str(); }
  // Writes the whole input; false when the file cannot be written.
  bool Write(const uint8_t* data, size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
  }
  void Remove() const { std::remove(path_.c_str()); }

 private:
  std::string path_;
};

}  // namespace fuzzing
