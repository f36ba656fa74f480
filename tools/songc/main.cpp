// vexolin-songc: compiles song text to a binary song, a binary song back to text, or the song
// table source to C++.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/songc/songc.h"

namespace {

int Usage() {
  std::cerr << "usage: vexolin-songc [--strict] SONG.txt -o SONG.qek\n"
               "       vexolin-songc --decompile SONG.qek -o SONG.txt\n"
               "       vexolin-songc --table TABLE.txt [--songs DIR] -o TABLE.cpp\n";
  return 2;
}

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  bool strict = false;
  std::string mode = "compile", input, output, songsDir;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--strict") {
      strict = true;
    } else if (a == "--decompile") {
      mode = "decompile";
    } else if (a == "--table") {
      mode = "table";
    } else if (a == "--songs") {
      if (++i >= argc) return Usage();
      songsDir = argv[i];
    } else if (a == "-o") {
      if (++i >= argc) return Usage();
      output = argv[i];
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else if (input.empty()) {
      input = a;
    } else {
      return Usage();
    }
  }
  if (input.empty() || output.empty()) return Usage();
  std::string data;
  if (!ReadFile(input, &data)) {
    std::cerr << input << ": cannot read: " << std::strerror(errno) << "\n";
    return 1;
  }
  if (mode == "decompile") {
    std::string text, reason;
    if (!songc::Decompile(std::vector<uint8_t>(data.begin(), data.end()), &text, &reason)) {
      std::cerr << input << ": " << reason << "\n";
      return 1;
    }
    if (!WriteFile(output, text)) {
      std::cerr << output << ": cannot write\n";
      return 1;
    }
    return 0;
  }
  if (mode == "table") {
    std::vector<songc::TableRow> rows;
    std::vector<songc::Diagnostic> errors;
    if (!songc::ParseTable(data, input, &rows, &errors)) {
      for (const auto& e : errors) std::cerr << e.Format() << "\n";
      return 1;
    }
    bool missing = false;
    for (const auto& r : rows) {
      std::string path = songsDir + "/" + r.resourceName + ".song";
      if (!songsDir.empty() && !std::ifstream(path)) {
        std::cerr << input << ":" << r.line << ":1: no song source " << path << "\n";
        missing = true;
      }
    }
    if (missing) return 1;
    if (!WriteFile(output, songc::TableSource(rows))) {
      std::cerr << output << ": cannot write\n";
      return 1;
    }
    return 0;
  }
  songc::CompileResult r = songc::Compile(data, input);
  for (const auto& w : r.warnings)
    std::cerr << w.Format() << ": " << (strict ? "error" : "warning") << "\n";
  for (const auto& e : r.errors) std::cerr << e.Format() << "\n";
  if (!r.ok || (strict && !r.warnings.empty())) return 1;
  if (!WriteFile(output, std::string(r.image.begin(), r.image.end()))) {
    std::cerr << output << ": cannot write\n";
    return 1;
  }
  return 0;
}
