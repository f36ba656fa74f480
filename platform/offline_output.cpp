#include "platform/offline_output.h"

namespace platform {

std::vector<int16_t> OfflineOutput::Render(size_t frames) {
  std::vector<int16_t> out(2 * frames);
  mixer_.Render(out.data(), frames);
  return out;
}

}  // namespace platform
