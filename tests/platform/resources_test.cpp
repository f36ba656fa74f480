#include "platform/resources.h"

#include <gtest/gtest.h>

namespace {

const uint8_t kWaveBytes[] = {1, 2, 3};
const uint8_t kSongBytes[] = {9};
const platform::ResourceEntry kTable[] = {
    {"WAVE", "BASS01", kWaveBytes, sizeof kWaveBytes},
    {"QEK", "Song1", kSongBytes, sizeof kSongBytes},
};

TEST(Resources, FoundByTypeAndNameWithoutRegardToCase) {
  platform::RegisterResources(kTable, 2);
  platform::ResourceData found;
  ASSERT_TRUE(platform::FindResource("wave", "Bass01", &found));
  EXPECT_EQ(found.data, kWaveBytes);
  EXPECT_EQ(found.size, 3u);
  ASSERT_TRUE(platform::FindResource("Qek", "SONG1", &found));
  EXPECT_EQ(found.data, kSongBytes);

  platform::ResourceData untouched{kSongBytes, 77};
  EXPECT_FALSE(platform::FindResource("WAVE", "Song1", &untouched));  // wrong type
  EXPECT_FALSE(platform::FindResource("WAVE", "BASS0", &untouched));  // prefix only
  EXPECT_FALSE(platform::FindResource("WAVE", "BASS011", &untouched));
  EXPECT_EQ(untouched.size, 77u);

  platform::UnregisterResources(kTable);
  EXPECT_FALSE(platform::FindResource("WAVE", "BASS01", &found));
}

TEST(Resources, LaterTableShadowsEarlier) {
  const uint8_t other[] = {7, 7};
  const platform::ResourceEntry shadow[] = {{"WAVE", "bass01", other, sizeof other}};
  platform::RegisterResources(kTable, 2);
  platform::RegisterResources(shadow, 1);
  platform::ResourceData found;
  ASSERT_TRUE(platform::FindResource("WAVE", "BASS01", &found));
  EXPECT_EQ(found.data, other);
  EXPECT_EQ(platform::ListResources().size(), 3u);
  platform::UnregisterResources(shadow);
  platform::UnregisterResources(kTable);
  EXPECT_TRUE(platform::ListResources().empty());
}

}  // namespace
