// The song notation compiler: song text to the binary song image ("Qek-02") and back, and
// the song table source to C++.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace songc {

struct Diagnostic {
  std::string file;
  int line = 0;
  int column = 0;
  std::string message;
  std::string Format() const;  // "file:line:column: message"
};

struct CompileResult {
  bool ok = false;
  std::vector<uint8_t> image;
  std::vector<Diagnostic> errors;    // the first one stops compilation
  std::vector<Diagnostic> warnings;  // listener checks and out-of-range values
};

// Compiles song text. `file` names the source in diagnostics.
CompileResult Compile(const std::string& text, const std::string& file);

// Turns a song image back into song text. Returns false with a reason when the image is not
// a whole, consistent song (wrong mark, short or long data, positions not increasing).
bool Decompile(const std::vector<uint8_t>& image, std::string* text, std::string* reason);

struct TableRow {
  int row = -1;
  std::string resourceName;
  std::string title;  // UTF-8
  std::string titleShiftJis;
  int line = 0;
};

inline constexpr int kTableRows = 15;
int CommandIdForRow(int row);

// Reads the song table source: one line per row, "ROW NAME TITLE", '#' starts a comment.
// Every row 0 to 14 exactly once; names 1 to 7 characters [A-Za-z0-9_]; titles convert to
// Shift-JIS, begin with "♪ " and are at most 17 bytes there.
bool ParseTable(const std::string& text, const std::string& file, std::vector<TableRow>* rows,
                std::vector<Diagnostic>* errors);
// The C++ source defining `songTable`, rows in order.
std::string TableSource(const std::vector<TableRow>& rows);

}  // namespace songc
