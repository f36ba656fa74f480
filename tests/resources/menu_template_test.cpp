#include "platform/menu_template.h"

#include <gtest/gtest.h>

#include "platform/resources.h"

namespace {

using platform::MenuTemplate;
using platform::MenuTemplateItem;

MenuTemplate Sample() {
  MenuTemplate m;
  MenuTemplateItem a{"Go", 40007, 0, {}};
  MenuTemplateItem pop{"List", 0, platform::kMenuItemPopup, {}};
  pop.children.push_back({"x", 5, platform::kMenuItemChecked | platform::kMenuItemGrayed, {}});
  pop.children.push_back({"", 0, platform::kMenuItemSeparator, {}});
  m.items = {a, pop};
  return m;
}

TEST(MenuTemplate, RoundTripAndExactBytes) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(platform::SerializeMenuTemplate(Sample(), &bytes));
  const std::vector<uint8_t> expected = {'M',  'N',  'U',  '1',  2, 0,            // two bar items
                                         0,    0,    0x47, 0x9C, 2, 0, 'G', 'o',  // "Go" 40007
                                         0x10, 0,    0,    0,    4, 0, 'L', 'i',
                                         's',  't',  2,    0,                // popup, two children
                                         0x09, 0,    5,    0,    1, 0, 'x',  // checked, grayed
                                         0x00, 0x08, 0,    0,    0, 0};      // separator
  EXPECT_EQ(bytes, expected);
  MenuTemplate back;
  ASSERT_TRUE(platform::ParseMenuTemplate(bytes.data(), bytes.size(), &back));
  ASSERT_EQ(back.items.size(), 2u);
  EXPECT_EQ(back.items[0].text, "Go");
  EXPECT_EQ(back.items[0].id, 40007);
  ASSERT_EQ(back.items[1].children.size(), 2u);
  EXPECT_TRUE(back.items[1].children[0].checked());
  EXPECT_TRUE(back.items[1].children[0].grayed());
  EXPECT_TRUE(back.items[1].children[1].separator());
}

TEST(MenuTemplate, RefusesMalformedBytesAndKeepsOutput) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(platform::SerializeMenuTemplate(Sample(), &bytes));
  MenuTemplate out;
  out.items.push_back({"keep", 1, 0, {}});
  // Every truncation is refused, with the earlier content left alone.
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
    EXPECT_FALSE(platform::ParseMenuTemplate(cut.data(), cut.size(), &out)) << n;
  }
  std::vector<uint8_t> trailing = bytes;
  trailing.push_back(0);
  EXPECT_FALSE(platform::ParseMenuTemplate(trailing.data(), trailing.size(), &out));
  std::vector<uint8_t> badMagic = bytes;
  badMagic[3] = '2';
  EXPECT_FALSE(platform::ParseMenuTemplate(badMagic.data(), badMagic.size(), &out));
  std::vector<uint8_t> badFlag = bytes;
  badFlag[6] = 0x02;  // unknown flag bit on the first item
  EXPECT_FALSE(platform::ParseMenuTemplate(badFlag.data(), badFlag.size(), &out));
  std::vector<uint8_t> hugeCount = {'M', 'N', 'U', '1', 0xFF, 0xFF};
  EXPECT_FALSE(platform::ParseMenuTemplate(hugeCount.data(), hugeCount.size(), &out));
  // Popups nested deeper than the limit.
  std::vector<uint8_t> deep = {'M', 'N', 'U', '1'};
  for (int i = 0; i <= platform::kMenuTemplateMaxDepth + 1; ++i)
    deep.insert(deep.end(), {1, 0, 0x10, 0, 0, 0, 0, 0});
  deep.insert(deep.end(), {0, 0});
  EXPECT_FALSE(platform::ParseMenuTemplate(deep.data(), deep.size(), &out));
  EXPECT_FALSE(platform::ParseMenuTemplate(nullptr, 0, &out));
  ASSERT_EQ(out.items.size(), 1u);
  EXPECT_EQ(out.items[0].text, "keep");
}

TEST(MenuTemplate, LoadsFromRegisteredResource) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(platform::SerializeMenuTemplate(Sample(), &bytes));
  static std::vector<uint8_t> stored;
  stored = bytes;
  static platform::ResourceEntry live[1];
  live[0] = {"MENU", "TESTMENU", stored.data(), stored.size()};
  platform::RegisterResources(live, 1);
  MenuTemplate m;
  EXPECT_TRUE(platform::LoadMenuTemplate("testmenu", &m));
  EXPECT_EQ(m.items.size(), 2u);
  EXPECT_FALSE(platform::LoadMenuTemplate("NOSUCHMENU", &m));
  platform::UnregisterResources(live);
}

}  // namespace
