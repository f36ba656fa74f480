#include "resources/embedded.h"

#include <gtest/gtest.h>

#include "platform/menu_template.h"
#include "platform/resources.h"
#include "platform/text.h"

namespace {

TEST(EmbeddedResources, EveryScriptedResourceIsThereOnce) {
  RegisterEmbeddedResources();
  RegisterEmbeddedResources();  // idempotent
  const char* const wave[] = {"WAVEDATA", "BASS01",  "BASS02", "SNARE01", "SNARE02",
                              "TOM01",    "HICLOSE", "HIOPEN", "CRASH",   "PER01",
                              "PER02",    "BASS03",  "TOM02"};
  for (const char* name : wave) {
    platform::ResourceData d;
    EXPECT_TRUE(platform::FindResource("WAVE", name, &d)) << name;
    EXPECT_GT(d.size, 0u) << name;
  }
  platform::ResourceData d;
  EXPECT_TRUE(platform::FindResource("BITMAP", "PICTURE00", &d));
  EXPECT_TRUE(platform::FindResource("ICON", "0", &d));
  EXPECT_TRUE(platform::FindResource("MENU", "MAINMENU", &d));
  size_t count = 0;
  for (const auto& e : platform::ListResources())
    if (std::string_view(e.name) == "MAINMENU") ++count;
  EXPECT_EQ(count, 1u);
}

TEST(EmbeddedResources, MainMenuLayout) {
  RegisterEmbeddedResources();
  platform::MenuTemplate m;
  ASSERT_TRUE(platform::LoadMenuTemplate("MAINMENU", &m));
  ASSERT_EQ(m.items.size(), 4u);
  auto sjis = [](const char* s) { return platform::ToShiftJis(s); };
  EXPECT_EQ(m.items[0].text, sjis("□演奏"));
  EXPECT_EQ(m.items[0].id, 40007);
  EXPECT_EQ(m.items[0].flags, 0);
  const auto& pop = m.items[1];
  EXPECT_EQ(pop.text, sjis("曲選択"));
  EXPECT_EQ(pop.flags, platform::kMenuItemPopup);
  ASSERT_EQ(pop.children.size(), 3u);
  EXPECT_EQ(pop.children[0].text, "dummy");
  EXPECT_EQ(pop.children[0].id, 40017);
  EXPECT_EQ(pop.children[1].flags, platform::kMenuItemSeparator);
  EXPECT_EQ(pop.children[2].text, sjis("一曲だけ"));
  EXPECT_EQ(pop.children[2].id, 40009);
  EXPECT_EQ(pop.children[2].flags, 0);  // unchecked
  EXPECT_EQ(m.items[2].text, sjis("終了"));
  EXPECT_EQ(m.items[2].id, 40001);
  EXPECT_EQ(m.items[3].text, "@");
  EXPECT_EQ(m.items[3].id, 40003);
}

}  // namespace
