// Test double of the window and menu services: records every menu and title call with its
// arguments and result, in order, and makes headless windows whose menu tree and title are
// the real in-memory model (so GetMenuState, GetWindowText ... answer as they would on screen).
// Also a message-box sink that records boxes instead of showing them.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/window.h"

namespace platform::testing {

class RecordingWindow : public WindowCallObserver {
 public:
  // Installs itself as the window-call observer; the destructor removes it and destroys the
  // window it made.
  RecordingWindow();
  ~RecordingWindow();
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  // A headless window with `menu` (may be null) and `title` (Shift-JIS); `proc` may be null
  // (DefWindowProc). WM_CREATE reaches `proc` during the call.
  WindowHandle Create(HMENU menu, const char* title, WNDPROC proc = nullptr);
  WindowHandle window() const { return window_; }

  const std::vector<WindowCall>& calls() const { return calls_; }
  // The calls with this name, in order.
  std::vector<WindowCall> CallsNamed(const std::string& name) const;
  void ClearCalls() { calls_.clear(); }

  // The menu's items, one string each, top to bottom: the Shift-JIS text, "-" for a
  // separator; popups as their text. `Ids` gives the ids (-1 for separators and popups).
  static std::vector<std::string> Texts(HMENU menu);
  static std::vector<int32_t> Ids(HMENU menu);
  // The window's title (Shift-JIS).
  std::string Title() const;

  void OnWindowCall(const WindowCall& call) override;

 private:
  std::vector<WindowCall> calls_;
  WindowHandle window_ = nullptr;
  std::string className_;
};

// Records message boxes (owner, Shift-JIS text and caption, type) and answers IDOK.
class RecordingMessageBoxSink : public MessageBoxSink {
 public:
  struct Box {
    WindowHandle owner;
    std::string text, caption;
    uint32_t type;
  };
  RecordingMessageBoxSink();  // installs itself
  ~RecordingMessageBoxSink();
  int Show(WindowHandle owner, const char* text, const char* caption, uint32_t type) override;
  std::vector<Box> boxes;
};

}  // namespace platform::testing
