// vexolin_rc SCRIPT OUTPUT.cpp DEPFILE SEARCHDIR...
// Compiles a resource script into a C++ source with every resource embedded, and writes a
// make-style depfile listing the script and every file it read.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/rc/rc_parser.h"

namespace {

std::string Escape(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == ' ' || c == '#' || c == '\\') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: vexolin_rc SCRIPT OUTPUT.cpp DEPFILE SEARCHDIR...\n";
    return 2;
  }
  std::string scriptPath = argv[1];
  std::ifstream in(scriptPath, std::ios::binary);
  if (!in) {
    std::cerr << scriptPath << ": cannot open\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  rc::Script script;
  std::string error;
  if (!rc::ParseScript(text.str(), scriptPath, &script, &error)) {
    std::cerr << error << "\n";
    return 1;
  }
  std::vector<std::string> dirs(argv + 4, argv + argc);
  std::string cpp;
  std::vector<std::string> inputs;
  if (!rc::WriteEmbedding(script, scriptPath, dirs, &cpp, &inputs, &error)) {
    std::cerr << error << "\n";
    return 1;
  }
  std::string dep = Escape(argv[2]) + ": " + Escape(scriptPath);
  for (const std::string& f : inputs) dep += " \\\n  " + Escape(f);
  dep += "\n";
  if (!Write(argv[2], cpp) || !Write(argv[3], dep)) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
