#include "platform/sdl_audio.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(LiveAudioOutput, FailsCleanlyWithoutADeviceAndOpensOnTheDummyDriver) {
  Mixer mixer;
  std::string error;
  auto none = LiveAudioOutput::Open(mixer, &error, "no-such-driver");
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(error.empty());

  error.clear();
  auto dummy = LiveAudioOutput::Open(mixer, &error, "dummy");
  ASSERT_NE(dummy, nullptr) << error;
  EXPECT_NE(dummy->DeviceId(), 0u);
  dummy->Pause(true);
  dummy.reset();  // closes without waiting on anything of ours
}

}  // namespace
}  // namespace platform
