#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"

namespace platform {
namespace {
std::atomic<MessageBoxSink*> installedSink{nullptr};
}  // namespace

void InstallMessageBoxSink(MessageBoxSink* sink) {
  installedSink.store(sink);
}

int MessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t type) {
  MessageBoxSink* sink = installedSink.load();
  if (sink) return sink->Show(owner, text ? text : "", caption ? caption : "", type);
  std::fprintf(stderr, "%s: %s\n", ToUtf8(caption ? caption : "").c_str(),
               ToUtf8(text ? text : "").c_str());
  return IDOK;
}

}  // namespace platform
