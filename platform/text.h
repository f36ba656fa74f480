// Conversion between UTF-8 and Shift-JIS (code page 932).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Converts; returns false when the text has a character the other side cannot hold.
bool Utf8ToShiftJis(std::string_view utf8, std::string* shiftJis);
bool ShiftJisToUtf8(std::string_view shiftJis, std::string* utf8);

// Convenience forms that replace what cannot be converted with '?'.
std::string ToShiftJis(std::string_view utf8);
std::string ToUtf8(std::string_view shiftJis);

}  // namespace platform
