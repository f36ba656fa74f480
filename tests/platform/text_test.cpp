#include "platform/text.h"

#include <gtest/gtest.h>

TEST(Text, ShiftJisRoundTrip) {
  std::string sjis;
  ASSERT_TRUE(platform::Utf8ToShiftJis("♪ 停止中", &sjis));
  // "♪" is 0x81F4 and the ideographic text two bytes a character in code page 932.
  EXPECT_EQ(sjis, std::string("\x81\xF4 \x92\xE2\x8E\x7E\x92\x86"));
  std::string back;
  ASSERT_TRUE(platform::ShiftJisToUtf8(sjis, &back));
  EXPECT_EQ(back, "♪ 停止中");
}

TEST(Text, UnconvertibleCharactersAreRefusedOrReplaced) {
  std::string out = "kept";
  EXPECT_FALSE(
      platform::Utf8ToShiftJis("a\xF0\x9F\x8E\xB5"
                               "b",
                               &out));  // an emoji
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(platform::ToShiftJis("a\xF0\x9F\x8E\xB5"
                                 "b"),
            "a?b");
  EXPECT_EQ(platform::ToUtf8("\x81\xF4"), "♪");
}
