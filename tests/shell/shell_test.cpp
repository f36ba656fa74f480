// The juke-box and the window procedure on a headless window with the main menu: the song
// popup, Play/Stop state in the menu bar and the title, song choices, the one-song-only
// toggle, the default item, the title status on long titles and the command table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window.h"
#include "screen/screen.h"
#include "shell/jukebox.h"
#include "shell/main_window.h"
#include "shell/song_table.h"
#include "tests/shell/engine_double.h"

using namespace platform;
using shelltest::EngineCalls;

namespace {

std::string Sjis(const char* utf8) {
  return ToShiftJis(utf8);
}

class CallLog : public WindowCallObserver {
 public:
  void OnWindowCall(const WindowCall& call) override { calls.push_back(call); }
  std::vector<WindowCall> calls;
};

class BoxLog : public MessageBoxSink {
 public:
  int Show(WindowHandle owner, const char* text, const char* caption, uint32_t) override {
    boxes.push_back({owner, text, caption});
    return IDOK;
  }
  struct Box {
    WindowHandle owner;
    std::string text, caption;
  };
  std::vector<Box> boxes;
};

// The main menu as the menu resource lays it out.
HMENU MakeMainMenu() {
  HMENU bar = CreateMenu();
  AppendMenu(bar, MF_STRING, kCmdPlay, Sjis("□演奏").c_str());
  HMENU popup = CreatePopupMenu();
  AppendMenu(popup, MF_STRING, kCmdPlaceholder, "dummy");
  AppendMenu(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenu(popup, MF_STRING, kCmdOneSongOnly, Sjis("一曲だけ").c_str());
  AppendMenu(bar, MF_POPUP, reinterpret_cast<uintptr_t>(popup), Sjis("曲選択").c_str());
  AppendMenu(bar, MF_STRING, kCmdExit, Sjis("終了").c_str());
  AppendMenu(bar, MF_STRING, kCmdVersion, "@");
  return bar;
}

std::string ItemText(HMENU menu, int position) {
  char text[64] = {};
  GetMenuString(menu, static_cast<uint32_t>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

std::string Title(WindowHandle window) {
  char text[300] = {};
  GetWindowText(window, text, sizeof text);
  return text;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEX windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.lpszClassName = "shell test";
    ASSERT_NE(RegisterClassEx(&windowClass), 0);
    window_ = CreateWindowEx(0, "shell test", InitialTitleText(),
                             WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 320, 260, nullptr,
                             MakeMainMenu(), nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    mainWindow = window_;
    CreateBackBuffer(window_);
    InstallWindowCallObserver(&log_);
    InstallMessageBoxSink(&boxes_);
    EngineCalls().clear();
    oneSongOnly = 0;
    ResetJukeboxForTests();
  }
  void TearDown() override {
    InstallMessageBoxSink(nullptr);
    InstallWindowCallObserver(nullptr);
    ResetScreenForTests();
    DestroyWindow(window_);
    mainWindow = nullptr;
    UnregisterClass("shell test", nullptr);
    // Drain the quit a test may have posted so the next test's loop state is clean.
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) {
    }
  }
  HMENU Bar() { return GetMenu(window_); }
  HMENU Popup() { return GetSubMenu(Bar(), kSongPopupPosition); }
  void Command(uint32_t id) { SendMessage(window_, WM_COMMAND, id, 0); }
  std::vector<std::string> SongStart(int row) {
    const std::string name = "SONG" + std::to_string(row);
    return {"LoadSong(" + name + ")", "SeekMeasure(0)", "StartPlayback"};
  }
  int DefaultRow() {
    for (int row = 0; row < kSongCount; ++row) {
      if (GetMenuState(Popup(), static_cast<uint32_t>(songTable[row].commandId), MF_BYCOMMAND) &
          MF_DEFAULT)
        return row;
    }
    return -1;
  }

  WindowHandle window_ = nullptr;
  CallLog log_;
  BoxLog boxes_;
};

TEST_F(ShellTest, CreationFillsThePopupWithRowsFourteenToZero) {
  HMENU popup = Popup();
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(GetMenuItemCount(popup), 17);
  for (int position = 0; position < 15; ++position) {
    const int row = 14 - position;
    EXPECT_EQ(GetMenuItemID(popup, position), songTable[row].commandId);
    EXPECT_EQ(ItemText(popup, position), songTable[row].title);
  }
  EXPECT_EQ(GetMenuState(popup, 15, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(popup, 16), static_cast<int32_t>(kCmdOneSongOnly));
  EXPECT_EQ(ItemText(popup, 16), Sjis("一曲だけ"));
  EXPECT_EQ(GetMenuState(Bar(), kCmdPlaceholder, MF_BYCOMMAND), MENU_ITEM_MISSING);
  EXPECT_EQ(Title(window_), Sjis("Vexolin [停止中]"));
}

TEST_F(ShellTest, PlayChooseAndStopShowTheStateInMenuAndTitle) {
  log_.calls.clear();
  Command(kCmdPlay);
  std::vector<std::string> names;
  for (const auto& call : log_.calls) names.push_back(call.name);
  // The popup's default item, then the bar item, its redraw and the title.
  const std::vector<std::string> tail{"ModifyMenu", "DrawMenuBar", "GetWindowText",
                                      "SetWindowText"};
  ASSERT_GE(names.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - 4, names.end()), tail);
  EXPECT_EQ(names.front(), "SetMenuDefaultItem");
  EXPECT_EQ(log_.calls[names.size() - 4].item, kCmdPlay);
  EXPECT_EQ(log_.calls[names.size() - 4].newId, kCmdStop);
  std::vector<std::string> expected{"StopPlayback"};
  for (const auto& call : SongStart(14)) expected.push_back(call);
  EXPECT_EQ(EngineCalls(), expected);
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_EQ(DefaultRow(), 14);
  EXPECT_EQ(GetMenuItemID(Bar(), 0), static_cast<int32_t>(kCmdStop));
  EXPECT_EQ(ItemText(Bar(), 0), Sjis("■停止"));
  EXPECT_EQ(Title(window_), Sjis("Vexolin [演奏中]"));

  // A song chosen while playing: the song changes, the item stays at Stop.
  EngineCalls().clear();
  Command(40021);  // row 6
  expected = {"StopPlayback"};
  for (const auto& call : SongStart(6)) expected.push_back(call);
  EXPECT_EQ(EngineCalls(), expected);
  EXPECT_EQ(currentSongIndex, 6);
  EXPECT_EQ(DefaultRow(), 6);
  EXPECT_EQ(ItemText(Bar(), 0), Sjis("■停止"));
  EXPECT_EQ(GetMenuState(Bar(), kCmdPlay, MF_BYCOMMAND), MENU_ITEM_MISSING);
  EXPECT_EQ(Title(window_), Sjis("Vexolin [演奏中]"));

  EngineCalls().clear();
  Command(kCmdStop);
  EXPECT_EQ(EngineCalls(), std::vector<std::string>{"StopPlayback"});
  EXPECT_EQ(GetMenuItemID(Bar(), 0), static_cast<int32_t>(kCmdPlay));
  EXPECT_EQ(ItemText(Bar(), 0), Sjis("□演奏"));
  EXPECT_EQ(Title(window_), Sjis("Vexolin [停止中]"));

  // Play always starts the top row, whatever played last.
  EngineCalls().clear();
  Command(kCmdPlay);
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_EQ(EngineCalls().at(1), "LoadSong(SONG14)");
}

TEST_F(ShellTest, EverySongIdPlaysItsRowAndUnknownIdsDoNothing) {
  for (int row = 0; row < kSongCount; ++row) {
    EngineCalls().clear();
    Command(static_cast<uint32_t>(songTable[row].commandId));
    EXPECT_EQ(currentSongIndex, row);
    EXPECT_EQ(DefaultRow(), row);
    ASSERT_EQ(EngineCalls().size(), 4u);
    EXPECT_EQ(EngineCalls()[1], SongStart(row)[0]);
  }
  const std::string title = Title(window_);
  for (uint32_t id : {40017u, 40004u, 40006u, 40008u, 40010u, 40012u, 40028u, 0u, 65535u}) {
    EngineCalls().clear();
    log_.calls.clear();
    EXPECT_EQ(SendMessage(window_, WM_COMMAND, id, 0), 0);
    EXPECT_TRUE(EngineCalls().empty()) << id;
    EXPECT_TRUE(log_.calls.empty()) << id;
  }
  EXPECT_EQ(Title(window_), title);
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_TRUE(boxes_.boxes.empty());
  // SelectSong with an id of no row stops and starts nothing.
  EngineCalls().clear();
  SelectSong(40017);
  EXPECT_EQ(EngineCalls(), std::vector<std::string>{"StopPlayback"});
  EXPECT_EQ(currentSongIndex, 14);
}

TEST_F(ShellTest, AdvanceGoesDownThePopupAndFromRowZeroToTheTop) {
  Command(40025);  // row 2
  EngineCalls().clear();
  const std::string title = Title(window_);
  AdvanceSong();
  std::vector<std::string> expected{"StopPlayback"};
  for (const auto& call : SongStart(1)) expected.push_back(call);
  EXPECT_EQ(EngineCalls(), expected);
  EXPECT_EQ(currentSongIndex, 1);
  EXPECT_EQ(DefaultRow(), 1);
  AdvanceSong();
  EXPECT_EQ(currentSongIndex, 0);
  EXPECT_EQ(DefaultRow(), 0);
  AdvanceSong();
  EXPECT_EQ(currentSongIndex, 14);
  EXPECT_EQ(DefaultRow(), 14);
  EXPECT_EQ(EngineCalls().back(), "StartPlayback");
  EXPECT_EQ(EngineCalls()[EngineCalls().size() - 3], "LoadSong(SONG14)");
  // The play state is left as it was.
  EXPECT_EQ(Title(window_), title);
  EXPECT_EQ(ItemText(Bar(), 0), Sjis("■停止"));
}

TEST_F(ShellTest, OneSongOnlyTogglesTheFlagAndTheCheck) {
  Command(kCmdOneSongOnly);
  EXPECT_EQ(oneSongOnly, 1);
  EXPECT_EQ(GetMenuState(Bar(), kCmdOneSongOnly, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  Command(kCmdOneSongOnly);
  EXPECT_EQ(oneSongOnly, 0);
  EXPECT_EQ(GetMenuState(Bar(), kCmdOneSongOnly, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_TRUE(EngineCalls().empty());
  // Without the item nothing happens.
  DeleteMenu(Bar(), kCmdOneSongOnly, MF_BYCOMMAND);
  ToggleOneSongOnly(window_);
  EXPECT_EQ(oneSongOnly, 0);
}

TEST_F(ShellTest, TitleStatusReplacesAfterTheLastBracketEvenOnLongTitles) {
  SetWindowText(window_, "a [b] c [d");
  SetTitleStatus(window_, "XY");
  EXPECT_EQ(Title(window_), "a [b] c [XY]");

  // 255 characters are read; the last "[" of those is the one replaced after.
  std::string longTitle(250, 'x');
  longTitle += "[abcdefghijk";  // 262 characters
  SetWindowText(window_, longTitle.c_str());
  SetTitleStatus(window_, "S");
  EXPECT_EQ(Title(window_), std::string(250, 'x') + "[S]");

  // A second "[" as the 256th character is beyond the buffer; as the 255th it is in reach.
  SetWindowText(window_, ("[" + std::string(254, 'y') + "[z").c_str());
  SetTitleStatus(window_, "T");
  EXPECT_EQ(Title(window_), "[T]");
  SetWindowText(window_, ("[" + std::string(253, 'y') + "[z").c_str());
  SetTitleStatus(window_, "T");
  EXPECT_EQ(Title(window_), "[" + std::string(253, 'y') + "[T]");

  std::string noBracketInReach = "[" + std::string(300, 'q');
  SetWindowText(window_, noBracketInReach.c_str());
  SetTitleStatus(window_, "U");
  EXPECT_EQ(Title(window_), "[U]");
}

TEST_F(ShellTest, VersionBoxActivationAndExit) {
  Command(kCmdVersion);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].owner, window_);
  EXPECT_EQ(boxes_.boxes[0].caption, "Version");
  EXPECT_EQ(boxes_.boxes[0].text.rfind("Vexolin\r\n2002/02/28\r\n", 0), 0u);
  EXPECT_NE(boxes_.boxes[0].text.find("\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(EngineCalls().empty());

  EXPECT_EQ(SendMessage(window_, WM_ACTIVATEAPP, 1, 0), 0);
  EXPECT_EQ(appActive, 1);
  EXPECT_EQ(SendMessage(window_, WM_ACTIVATEAPP, 0, 0), 0);
  EXPECT_EQ(appActive, 0);

  // 40002 steps the marker only while active.
  markerX = -16;
  Command(kCmdStepMarker);
  EXPECT_EQ(markerX, -16);
  SendMessage(window_, WM_ACTIVATEAPP, 1, 0);
  Command(kCmdStepMarker);
  EXPECT_EQ(markerX, -8);
  SendMessage(window_, WM_ACTIVATEAPP, 0, 0);

  // Exit posts the quit without destroying the window.
  Command(kCmdExit);
  EXPECT_TRUE(IsWindow(window_));
  MSG message;
  EXPECT_EQ(GetMessage(&message, nullptr, 0, 0), 0);
  EXPECT_EQ(message.wParam, 0u);
}

}  // namespace
