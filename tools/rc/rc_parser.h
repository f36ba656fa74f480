// Parser of resource scripts and writer of the embedded resource table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/menu_template.h"

namespace rc {

struct Resource {
  std::string type;             // upper case: "MENU", "BITMAP", "ICON", "WAVE", ...
  std::string name;             // as written (numeric names as decimal text)
  std::string file;             // file-backed resources: the path as written in the script
  platform::MenuTemplate menu;  // MENU resources: item text already in Shift-JIS
  int line = 0;
  int column = 0;
};

struct Script {
  std::vector<Resource> resources;
};

// Parses `text`; on failure returns false with `*error` as "file:line:column: message".
bool ParseScript(const std::string& text, const std::string& fileName, Script* out,
                 std::string* error);

// Reads every file-backed resource, searching `searchDirs` in order, and writes a C++
// source holding all resources and `RegisterEmbeddedResources()`. `inputs` receives each
// file read. False with `*error` on a missing file or a menu that does not fit.
bool WriteEmbedding(const Script& script, const std::string& scriptName,
                    const std::vector<std::string>& searchDirs, std::string* cpp,
                    std::vector<std::string>* inputs, std::string* error);

}  // namespace rc
