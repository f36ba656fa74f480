// Recording window double.
#include "platform/testing/recording_window.h"

#include <atomic>

namespace platform::testing {

namespace {
LRESULT DefaultProc(WindowHandle w, uint32_t m, WPARAM wp, LPARAM lp) {
  return DefWindowProc(w, m, wp, lp);
}
std::atomic<int> g_serial{0};
}  // namespace

RecordingWindow::RecordingWindow() {
  InstallWindowCallObserver(this);
}

RecordingWindow::~RecordingWindow() {
  InstallWindowCallObserver(nullptr);
  if (IsWindow(window_)) DestroyWindow(window_);
  if (!className_.empty()) UnregisterClass(className_.c_str(), nullptr);
}

WindowHandle RecordingWindow::Create(HMENU menu, const char* title, WNDPROC proc) {
  if (className_.empty()) {
    className_ = "RecordingWindow" + std::to_string(g_serial++);
    WNDCLASSEX wc;
    wc.lpfnWndProc = proc ? proc : DefaultProc;
    wc.lpszClassName = className_.c_str();
    RegisterClassEx(&wc);
  }
  window_ = CreateWindowEx(0, className_.c_str(), title, WS_CAPTION, 0, 0, 0, 0, nullptr, menu,
                           nullptr, nullptr);
  return window_;
}

std::vector<WindowCall> RecordingWindow::CallsNamed(const std::string& name) const {
  std::vector<WindowCall> out;
  for (const WindowCall& c : calls_)
    if (c.name == name) out.push_back(c);
  return out;
}

std::vector<std::string> RecordingWindow::Texts(HMENU menu) {
  std::vector<std::string> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (GetMenuState(menu, static_cast<uint32_t>(i), MF_BYPOSITION) & MF_SEPARATOR) {
      out.push_back("-");
      continue;
    }
    char buffer[256];
    GetMenuString(menu, static_cast<uint32_t>(i), buffer, sizeof buffer, MF_BYPOSITION);
    out.push_back(buffer);
  }
  return out;
}

std::vector<int32_t> RecordingWindow::Ids(HMENU menu) {
  std::vector<int32_t> out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) out.push_back(GetMenuItemID(menu, i));
  return out;
}

std::string RecordingWindow::Title() const {
  char buffer[1024];
  WindowCallObserver* self = const_cast<RecordingWindow*>(this);
  InstallWindowCallObserver(nullptr);  // reading the title for a test is not a call of the code
  GetWindowText(window_, buffer, sizeof buffer);
  InstallWindowCallObserver(self);
  return buffer;
}

void RecordingWindow::OnWindowCall(const WindowCall& call) {
  calls_.push_back(call);
}

RecordingMessageBoxSink::RecordingMessageBoxSink() {
  InstallMessageBoxSink(this);
}
RecordingMessageBoxSink::~RecordingMessageBoxSink() {
  InstallMessageBoxSink(nullptr);
}

int RecordingMessageBoxSink::Show(WindowHandle owner, const char* text, const char* caption,
                                  uint32_t type) {
  boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
  return IDOK;
}

}  // namespace platform::testing
