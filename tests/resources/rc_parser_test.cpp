#include "tools/rc/rc_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/text.h"

namespace {

rc::Script MustParse(const std::string& text) {
  rc::Script script;
  std::string error;
  EXPECT_TRUE(rc::ParseScript(text, "t.rc", &script, &error)) << error;
  return script;
}

std::string ErrorOf(const std::string& text) {
  rc::Script script;
  std::string error;
  EXPECT_FALSE(rc::ParseScript(text, "t.rc", &script, &error)) << text;
  return error;
}

TEST(RcParser, EveryConstruct) {
  rc::Script s = MustParse(
      "#pragma code_page(65001)\n"
      "// line comment\n"
      "/* block\n comment */\n"
      "#define IDM_GO 0x9C47\n"
      "Menu1 MENU DISCARDABLE\n"
      "{\n"
      "  MENUITEM \"say \"\"hi\"\"\", IDM_GO, CHECKED\n"
      "  POPUP \"曲\", GRAYED\n"
      "  BEGIN\n"
      "    MENUITEM \"a\", 7, GRAYED, CHECKED\n"
      "    MENUITEM SEPARATOR\n"
      "    POPUP \"deep\" { MENUITEM \"b\", 8 }\n"
      "  END\n"
      "}\n"
      "7 ICON \"x.ico\"\n"
      "Pic BITMAP \"p.bmp\"\n"
      "Song qek \"songs/a b.qek\"\n");
  ASSERT_EQ(s.resources.size(), 4u);
  const rc::Resource& m = s.resources[0];
  EXPECT_EQ(m.type, "MENU");
  EXPECT_EQ(m.name, "Menu1");
  ASSERT_EQ(m.menu.items.size(), 2u);
  EXPECT_EQ(m.menu.items[0].text, "say \"hi\"");
  EXPECT_EQ(m.menu.items[0].id, 0x9C47);
  EXPECT_EQ(m.menu.items[0].flags, platform::kMenuItemChecked);
  const auto& popup = m.menu.items[1];
  EXPECT_EQ(popup.text, platform::ToShiftJis("曲"));
  EXPECT_EQ(popup.text.size(), 2u);  // Shift-JIS, not UTF-8
  EXPECT_EQ(popup.flags, platform::kMenuItemPopup | platform::kMenuItemGrayed);
  ASSERT_EQ(popup.children.size(), 3u);
  EXPECT_EQ(popup.children[0].flags, platform::kMenuItemGrayed | platform::kMenuItemChecked);
  EXPECT_EQ(popup.children[0].id, 7);
  EXPECT_TRUE(popup.children[1].separator());
  ASSERT_EQ(popup.children[2].children.size(), 1u);
  EXPECT_EQ(popup.children[2].children[0].id, 8);
  EXPECT_EQ(s.resources[1].type, "ICON");
  EXPECT_EQ(s.resources[1].name, "7");
  EXPECT_EQ(s.resources[2].file, "p.bmp");
  EXPECT_EQ(s.resources[3].type, "QEK");
  EXPECT_EQ(s.resources[3].file, "songs/a b.qek");
  EXPECT_EQ(s.resources[3].line, 18);
  EXPECT_EQ(s.resources[3].column, 1);
}

TEST(RcParser, ErrorsCarryLineAndColumn) {
  EXPECT_EQ(ErrorOf("A WAVE \"x\"\n  B WAVE \"unterminated\n"), "t.rc:2:10: unterminated string");
  EXPECT_EQ(ErrorOf("M MENU\nBEGIN\n  MENUITEM \"a\" 5\nEND\n"),
            "t.rc:3:16: expected ',' before the id");
  EXPECT_EQ(ErrorOf("M MENU\nBEGIN\n  MENUITEM \"a\", NOPE\nEND\n"),
            "t.rc:3:17: unknown id 'NOPE'");
  EXPECT_EQ(ErrorOf("M MENU\nBEGIN\n  MENUITEM \"a\", 1\n"),
            "t.rc:2:1: menu block is never closed");
  EXPECT_EQ(ErrorOf("M MENU BEGIN MENUITEM \"a\", 70000 END"),
            "t.rc:1:28: command id out of range");
  EXPECT_EQ(ErrorOf("M MENU BEGIN MENUITEM \"a\", 1, BOLD END"),
            "t.rc:1:31: unknown menu option 'BOLD'");
  EXPECT_EQ(ErrorOf("#include \"x.h\"\n"),
            "t.rc:1:1: unsupported preprocessor directive '#include'");
  EXPECT_EQ(ErrorOf("#pragma code_page(932)\n"),
            "t.rc:1:1: only '#pragma code_page(65001)' is supported (the script is UTF-8)");
  EXPECT_EQ(ErrorOf("A WAVE \"a\"\n a wave \"b\"\n"), "t.rc:2:2: duplicate resource WAVE a");
  EXPECT_EQ(ErrorOf("A WAVE 12\n"), "t.rc:1:8: expected a quoted file name");
  EXPECT_EQ(ErrorOf("/* open"), "t.rc:1:1: unterminated comment");
  EXPECT_EQ(ErrorOf("A WAVE \"a\" $"), "t.rc:1:12: unexpected character '$'");
  EXPECT_EQ(ErrorOf("M MENUEX BEGIN END"), "t.rc:1:3: resource type MENUEX is not supported");
  EXPECT_EQ(ErrorOf("M MENU BEGIN MENUITEM \"\xE2\x99\xAB\", 1 END"),
            "t.rc:1:23: item text cannot be written in Shift-JIS");
  std::string deep = "M MENU BEGIN ";
  for (int i = 0; i < 9; ++i) deep += "POPUP \"p\" BEGIN ";
  EXPECT_NE(ErrorOf(deep).find("menu nested too deeply"), std::string::npos);
}

TEST(RcParser, EmbeddingSearchesDirectoriesInOrderAndReportsMissingFiles) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("vexolin_rc_test_" + std::to_string(::getpid()));
  fs::create_directories(root / "first");
  fs::create_directories(root / "second");
  std::ofstream(root / "first" / "a.bin", std::ios::binary) << "AB";
  std::ofstream(root / "second" / "a.bin", std::ios::binary) << "ZZZ";
  std::ofstream(root / "second" / "b.bin", std::ios::binary) << "Q";
  rc::Script s = MustParse("A DATA \"a.bin\"\nB DATA \"b.bin\"\nM MENU { MENUITEM \"x\", 3 }\n");
  std::string cpp, error;
  std::vector<std::string> inputs;
  ASSERT_TRUE(rc::WriteEmbedding(s, "t.rc", {(root / "first").string(), (root / "second").string()},
                                 &cpp, &inputs, &error))
      << error;
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0], (root / "first" / "a.bin").string());
  EXPECT_EQ(inputs[1], (root / "second" / "b.bin").string());
  EXPECT_NE(cpp.find("{\"DATA\", \"A\", kData0, 2}"), std::string::npos);
  EXPECT_NE(cpp.find("65,66,"), std::string::npos);
  EXPECT_NE(cpp.find("{\"DATA\", \"B\", kData1, 1}"), std::string::npos);
  EXPECT_NE(cpp.find("RegisterResources(kEntries, 3)"), std::string::npos);

  rc::Script missing = MustParse("\n  C DATA \"nope.bin\"\n");
  EXPECT_FALSE(
      rc::WriteEmbedding(missing, "t.rc", {(root / "first").string()}, &cpp, &inputs, &error));
  EXPECT_EQ(error, "t.rc:2:3: cannot find file 'nope.bin' for DATA C");
  fs::remove_all(root);
}

}  // namespace
