// vexolin_assets OUTDIR: writes wavedata.bin, drums/*.wav, picture00.bmp, vexolin.ico and
// vexolin-16/32/48/64.png.
// vexolin_assets --waveform-list: prints the waveform list (docs/waveforms.md).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/assets/drums.h"
#include "tools/assets/picture.h"
#include "tools/assets/waveforms.h"

namespace {

template <typename T>
bool Write(const std::filesystem::path& path, const std::vector<T>& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), data.size());
  if (!out.flush()) {
    std::cerr << path.string() << ": cannot write\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vexolin_assets OUTDIR | --waveform-list\n";
    return 2;
  }
  std::string arg = argv[1];
  if (arg == "--waveform-list") {
    for (int n = 0; n < assets::kWaveformCount; ++n)
      std::printf("| %d | %s |\n", n, assets::WaveformDescription(n));
    return 0;
  }
  std::filesystem::path dir = arg;
  std::error_code ec;
  std::filesystem::create_directories(dir / "drums", ec);
  bool ok = Write(dir / "wavedata.bin", assets::MakeWaveTable());
  const auto& drums = assets::DrumList();
  for (size_t i = 0; i < drums.size(); ++i) {
    std::string name = drums[i].name;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ok = Write(dir / "drums" / (name + ".wav"), assets::MakeDrum(static_cast<int>(i))) && ok;
  }
  ok = Write(dir / "picture00.bmp", assets::MakePicture()) && ok;
  ok = Write(dir / "vexolin.ico", assets::MakeIcon()) && ok;
  for (int size : {16, 32, 48, 64})
    ok = Write(dir / ("vexolin-" + std::to_string(size) + ".png"), assets::MakeIconPng(size)) && ok;
  return ok ? 0 : 1;
}
