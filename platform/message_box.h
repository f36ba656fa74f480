// Message boxes.
//
// Text and caption are NUL-terminated Shift-JIS. Where a box goes is chosen with
// `InstallMessageBoxSink`: the juke-box shows real boxes; console programs write caption and
// text to standard error (the default); tests record them.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_ICONERROR = 0x10;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;

class MessageBoxSink {
 public:
  virtual int Show(WindowHandle owner, const char* text, const char* caption, uint32_t type) = 0;

 protected:
  ~MessageBoxSink() = default;
};

// Null restores the default, which writes "caption: text" in UTF-8 to standard error.
void InstallMessageBoxSink(MessageBoxSink* sink);

// Shows a box and returns the button pressed (IDOK).
int MessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t type);

}  // namespace platform
