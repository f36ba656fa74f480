// A resource-script reader for the subset the application uses: comments, preprocessor
// lines (#pragma code_page, #define NAME number; other directives are refused), quoted
// strings with "" escapes, classic MENU blocks (POPUP, MENUITEM, SEPARATOR, CHECKED,
// GRAYED) with BEGIN/END or braces, and file resources of any type.
#include "tools/rc/rc_parser.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/text.h"

namespace rc {
namespace {

enum class Tok { kEnd, kWord, kNumber, kString, kComma, kOpen, kClose };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;
  long value = 0;
  int line = 1;
  int column = 1;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class Parser {
 public:
  Parser(const std::string& text, const std::string& file) : src_(text), file_(file) {}

  bool Run(Script* out) {
    if (!Next()) return false;
    while (tok_.kind != Tok::kEnd) {
      if (!ParseResource(out)) return false;
    }
    return true;
  }
  const std::string& error() const { return error_; }

 private:
  bool Fail(const Token& at, const std::string& message) {
    error_ =
        file_ + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + message;
    return false;
  }
  bool FailHere(const std::string& message) {
    Token t;
    t.line = line_;
    t.column = column_;
    return Fail(t, message);
  }
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0';
  }
  void Advance() {
    if (src_[pos_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++pos_;
  }
  bool AtLineStart() const {
    for (size_t i = pos_; i > 0; --i) {
      char c = src_[i - 1];
      if (c == '\n') return true;
      if (c != ' ' && c != '\t' && c != '\r') return false;
    }
    return true;
  }

  // Handles a preprocessor line starting at '#'.
  bool Directive() {
    Token at;
    at.line = line_;
    at.column = column_;
    std::string lineText;
    while (pos_ < src_.size() && Peek() != '\n') {
      lineText += Peek();
      Advance();
    }
    std::istringstream in(lineText.substr(1));
    std::string word;
    in >> word;
    if (word == "pragma") {
      std::string rest;
      std::getline(in, rest);
      size_t a = rest.find_first_not_of(" \t");
      rest = a == std::string::npos ? "" : rest.substr(a);
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.pop_back();
      if (rest != "code_page(65001)") {
        return Fail(at, "only '#pragma code_page(65001)' is supported (the script is UTF-8)");
      }
      return true;
    }
    if (word == "define") {
      std::string name, number;
      if (!(in >> name) || !(in >> number)) return Fail(at, "expected '#define NAME number'");
      size_t used = 0;
      long value = 0;
      try {
        value = std::stol(number, &used, 0);
      } catch (...) {
        used = 0;
      }
      if (used != number.size()) return Fail(at, "expected '#define NAME number'");
      defines_[name] = value;
      return true;
    }
    return Fail(at, "unsupported preprocessor directive '#" + word + "'");
  }

  bool Next() {
    for (;;) {
      while (pos_ < src_.size() && std::isspace(static_cast<unsigned char>(Peek()))) Advance();
      if (Peek() == '/' && Peek(1) == '/') {
        while (pos_ < src_.size() && Peek() != '\n') Advance();
        continue;
      }
      if (Peek() == '/' && Peek(1) == '*') {
        Token at;
        at.line = line_;
        at.column = column_;
        Advance();
        Advance();
        while (pos_ < src_.size() && !(Peek() == '*' && Peek(1) == '/')) Advance();
        if (pos_ >= src_.size()) return Fail(at, "unterminated comment");
        Advance();
        Advance();
        continue;
      }
      if (Peek() == '#' && AtLineStart()) {
        if (!Directive()) return false;
        continue;
      }
      break;
    }
    tok_ = Token();
    tok_.line = line_;
    tok_.column = column_;
    if (pos_ >= src_.size()) return true;
    char c = Peek();
    if (c == ',') {
      tok_.kind = Tok::kComma;
      Advance();
    } else if (c == '{') {
      tok_.kind = Tok::kOpen;
      Advance();
    } else if (c == '}') {
      tok_.kind = Tok::kClose;
      Advance();
    } else if (c == '"') {
      tok_.kind = Tok::kString;
      Advance();
      for (;;) {
        if (pos_ >= src_.size() || Peek() == '\n') return Fail(tok_, "unterminated string");
        if (Peek() == '"') {
          Advance();
          if (Peek() == '"') {
            tok_.text += '"';
            Advance();
            continue;
          }
          break;
        }
        tok_.text += Peek();
        Advance();
      }
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      tok_.kind = Tok::kNumber;
      while (std::isalnum(static_cast<unsigned char>(Peek()))) {
        tok_.text += Peek();
        Advance();
      }
      size_t used = 0;
      try {
        tok_.value = std::stol(tok_.text, &used, 0);
      } catch (...) {
        used = 0;
      }
      if (used != tok_.text.size()) return Fail(tok_, "bad number '" + tok_.text + "'");
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      tok_.kind = Tok::kWord;
      while (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '_') {
        tok_.text += Peek();
        Advance();
      }
    } else {
      return Fail(tok_, std::string("unexpected character '") + c + "'");
    }
    return true;
  }

  bool IsWord(const char* w) const { return tok_.kind == Tok::kWord && Upper(tok_.text) == w; }
  bool IsBegin() const { return tok_.kind == Tok::kOpen || IsWord("BEGIN"); }
  bool IsEnd() const { return tok_.kind == Tok::kClose || IsWord("END"); }

  bool ParseResource(Script* out) {
    Resource res;
    res.line = tok_.line;
    res.column = tok_.column;
    if (tok_.kind == Tok::kNumber) {
      res.name = std::to_string(tok_.value);
    } else if (tok_.kind == Tok::kWord) {
      res.name = tok_.text;
    } else {
      return Fail(tok_, "expected a resource name");
    }
    if (!Next()) return false;
    if (tok_.kind != Tok::kWord) return Fail(tok_, "expected a resource type");
    res.type = Upper(tok_.text);
    if (res.type == "MENUEX" || res.type == "DIALOG" || res.type == "DIALOGEX" ||
        res.type == "STRINGTABLE" || res.type == "ACCELERATORS") {
      return Fail(tok_, "resource type " + res.type + " is not supported");
    }
    if (!Next()) return false;
    for (const Resource& r : out->resources) {
      if (r.type == res.type && Upper(r.name) == Upper(res.name)) {
        Token at;
        at.line = res.line;
        at.column = res.column;
        return Fail(at, "duplicate resource " + res.type + " " + res.name);
      }
    }
    if (res.type == "MENU") {
      // Memory options such as DISCARDABLE may precede the body.
      while (tok_.kind == Tok::kWord && !IsBegin()) {
        if (!Next()) return false;
      }
      if (!ParseItems(0, &res.menu.items)) return false;
    } else {
      while (tok_.kind == Tok::kWord) {  // memory options
        if (!Next()) return false;
      }
      if (tok_.kind != Tok::kString) return Fail(tok_, "expected a quoted file name");
      if (tok_.text.empty()) return Fail(tok_, "empty file name");
      res.file = tok_.text;
      if (!Next()) return false;
    }
    out->resources.push_back(std::move(res));
    return true;
  }

  bool Text(std::string* sjis) {
    if (tok_.kind != Tok::kString) return Fail(tok_, "expected a quoted item text");
    if (!platform::Utf8ToShiftJis(tok_.text, sjis)) {
      return Fail(tok_, "item text cannot be written in Shift-JIS");
    }
    return Next();
  }

  bool Options(platform::MenuTemplateItem* item) {
    while (tok_.kind == Tok::kComma || tok_.kind == Tok::kWord) {
      if (tok_.kind == Tok::kComma) {
        if (!Next()) return false;
        continue;
      }
      if (IsBegin() || IsEnd() || IsWord("MENUITEM") || IsWord("POPUP")) break;
      if (IsWord("CHECKED")) {
        item->flags |= platform::kMenuItemChecked;
      } else if (IsWord("GRAYED")) {
        item->flags |= platform::kMenuItemGrayed;
      } else {
        return Fail(tok_, "unknown menu option '" + tok_.text + "'");
      }
      if (!Next()) return false;
    }
    return true;
  }
  bool Id(uint16_t* id) {
    long value;
    if (tok_.kind == Tok::kNumber) {
      value = tok_.value;
    } else if (tok_.kind == Tok::kWord && defines_.count(tok_.text)) {
      value = defines_[tok_.text];
    } else if (tok_.kind == Tok::kWord) {
      return Fail(tok_, "unknown id '" + tok_.text + "'");
    } else {
      return Fail(tok_, "expected a command id");
    }
    if (value < 0 || value > 0xFFFF) return Fail(tok_, "command id out of range");
    *id = static_cast<uint16_t>(value);
    return Next();
  }

  bool ParseItems(int depth, std::vector<platform::MenuTemplateItem>* items) {
    if (depth >= platform::kMenuTemplateMaxDepth) return Fail(tok_, "menu nested too deeply");
    if (!IsBegin()) return Fail(tok_, "expected BEGIN or '{'");
    Token open = tok_;
    if (!Next()) return false;
    while (!IsEnd()) {
      platform::MenuTemplateItem item;
      if (tok_.kind == Tok::kEnd) return Fail(open, "menu block is never closed");
      if (IsWord("MENUITEM")) {
        if (!Next()) return false;
        if (IsWord("SEPARATOR")) {
          item.flags = platform::kMenuItemSeparator;
          if (!Next()) return false;
        } else {
          if (!Text(&item.text)) return false;
          if (tok_.kind != Tok::kComma) return Fail(tok_, "expected ',' before the id");
          if (!Next() || !Id(&item.id) || !Options(&item)) return false;
        }
      } else if (IsWord("POPUP")) {
        if (!Next()) return false;
        item.flags = platform::kMenuItemPopup;
        if (!Text(&item.text) || !Options(&item)) return false;
        if (!ParseItems(depth + 1, &item.children)) return false;
      } else {
        return Fail(tok_, "expected MENUITEM, POPUP or END");
      }
      items->push_back(std::move(item));
    }
    return Next();
  }

  const std::string& src_;
  std::string file_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
  Token tok_;
  std::string error_;
  std::map<std::string, long> defines_;
};

bool ReadFile(const std::string& path, std::vector<uint8_t>* data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// A C string literal of `s`, safe for any byte.
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\' || c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

bool ParseScript(const std::string& text, const std::string& fileName, Script* out,
                 std::string* error) {
  Parser parser(text, fileName);
  Script script;
  if (!parser.Run(&script)) {
    *error = parser.error();
    return false;
  }
  *out = std::move(script);
  return true;
}

bool WriteEmbedding(const Script& script, const std::string& scriptName,
                    const std::vector<std::string>& searchDirs, std::string* cpp,
                    std::vector<std::string>* inputs, std::string* error) {
  std::ostringstream o;
  std::vector<size_t> sizes;
  o << "// Generated from " << scriptName << " by the resource compiler; do not edit.\n"
    << "#include <cstddef>\n#include <cstdint>\n#include <mutex>\n\n"
    << "#include \"platform/resources.h\"\n#include \"resources/embedded.h\"\n\n"
    << "namespace {\n\n";
  size_t index = 0;
  for (const Resource& res : script.resources) {
    std::vector<uint8_t> data;
    if (res.type == "MENU") {
      if (!platform::SerializeMenuTemplate(res.menu, &data)) {
        *error = scriptName + ":" + std::to_string(res.line) + ":" + std::to_string(res.column) +
                 ": menu " + res.name + " does not fit the menu template";
        return false;
      }
    } else {
      bool found = false;
      for (const std::string& dir : searchDirs) {
        std::string path = dir.empty() ? res.file : dir + "/" + res.file;
        if (ReadFile(path, &data)) {
          inputs->push_back(path);
          found = true;
          break;
        }
      }
      if (!found) {
        *error = scriptName + ":" + std::to_string(res.line) + ":" + std::to_string(res.column) +
                 ": cannot find file '" + res.file + "' for " + res.type + " " + res.name;
        return false;
      }
    }
    // A zero-length array is not valid C++, so every array holds at least one byte.
    o << "// " << res.type << " " << res.name << " (" << data.size() << " bytes)\n"
      << "alignas(4) const uint8_t kData" << index << "[" << (data.empty() ? 1 : data.size())
      << "] = {";
    for (size_t i = 0; i < data.size(); ++i) {
      o << (i % 24 == 0 ? "\n" : "") << static_cast<int>(data[i]) << ",";
    }
    o << (data.empty() ? "0" : "") << "\n};\n";
    sizes.push_back(data.size());
    ++index;
  }
  o << "\nconst platform::ResourceEntry kEntries[] = {\n";
  index = 0;
  for (const Resource& res : script.resources) {
    o << "    {" << Quote(res.type) << ", " << Quote(res.name) << ", kData" << index << ", ";
    o << sizes[index] << "},\n";
    ++index;
  }
  if (script.resources.empty()) o << "    {\"\", \"\", nullptr, 0},\n";
  o << "};\n\n}  // namespace\n\n"
    << "void RegisterEmbeddedResources() {\n"
    << "  static std::once_flag once;\n"
    << "  std::call_once(once, [] { platform::RegisterResources(kEntries, "
    << script.resources.size() << "); });\n}\n";
  *cpp = o.str();
  return true;
}

}  // namespace rc
