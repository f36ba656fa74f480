#include "platform/text.h"

#include <iconv.h>

#include <algorithm>

namespace platform {
namespace {

bool Convert(const char* to, const char* from, std::string_view input, std::string* output) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result;
  result.resize(input.size() * 4 + 16);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = result.data();
  size_t outLeft = result.size();
  size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  bool ok = rc != static_cast<size_t>(-1) && inLeft == 0;
  if (ok) ok = iconv(cd, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return false;
  result.resize(result.size() - outLeft);
  *output = std::move(result);
  return true;
}

// Bytes of the character that starts with `lead` in the encoding `from`.
size_t CharacterLength(const char* from, unsigned char lead) {
  if (std::string_view(from) == "UTF-8") {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
  }
  return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
}

std::string ConvertReplacing(const char* to, const char* from, std::string_view input) {
  std::string whole;
  if (Convert(to, from, input, &whole)) return whole;
  // Convert character by character, so one bad character does not lose the rest.
  std::string result;
  size_t i = 0;
  while (i < input.size()) {
    bool done = false;
    for (size_t len = 1; len <= 4 && i + len <= input.size(); ++len) {
      std::string piece;
      if (Convert(to, from, input.substr(i, len), &piece)) {
        result += piece;
        i += len;
        done = true;
        break;
      }
    }
    if (!done) {
      result += '?';
      i += std::min(CharacterLength(from, static_cast<unsigned char>(input[i])), input.size() - i);
    }
  }
  return result;
}

}  // namespace

bool Utf8ToShiftJis(std::string_view utf8, std::string* shiftJis) {
  return Convert("CP932", "UTF-8", utf8, shiftJis);
}

bool ShiftJisToUtf8(std::string_view shiftJis, std::string* utf8) {
  return Convert("UTF-8", "CP932", shiftJis, utf8);
}

std::string ToShiftJis(std::string_view utf8) {
  return ConvertReplacing("CP932", "UTF-8", utf8);
}

std::string ToUtf8(std::string_view shiftJis) {
  return ConvertReplacing("UTF-8", "CP932", shiftJis);
}

}  // namespace platform
