#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/menu_template.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "platform/testing/recording_window.h"
#include "platform/text.h"
#include "platform/window.h"

using namespace platform;
using platform::testing::RecordingMessageBoxSink;
using platform::testing::RecordingWindow;

namespace {

// The main menu's shape: Play, the song popup (placeholder, separator, one-song-only), Exit, @.
HMENU MainMenu() {
  HMENU bar = CreateMenu();
  HMENU songs = CreatePopupMenu();
  AppendMenu(songs, MF_STRING, 40017, "dummy");
  AppendMenu(songs, MF_SEPARATOR, 0, nullptr);
  AppendMenu(songs, MF_STRING, 40009, ToShiftJis("一曲だけ").c_str());
  AppendMenu(bar, MF_STRING, 40007, ToShiftJis("□演奏").c_str());
  AppendMenu(bar, MF_POPUP, reinterpret_cast<uintptr_t>(songs), ToShiftJis("曲選択").c_str());
  AppendMenu(bar, MF_STRING, 40001, ToShiftJis("終了").c_str());
  AppendMenu(bar, MF_STRING, 40003, "@");
  return bar;
}

std::vector<std::string> messages;

LRESULT Proc(WindowHandle w, uint32_t m, WPARAM wp, LPARAM lp) {
  messages.push_back(std::to_string(m) + (IsWindow(w) ? "" : "?") + ":" + std::to_string(wp));
  if (m == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProc(w, m, wp, lp);
}

}  // namespace

TEST(Menu, ByCommandOperationsSearchEveryPopup) {
  RecordingWindow rec;
  WindowHandle w = rec.Create(MainMenu(), "t");
  HMENU bar = GetMenu(w);
  HMENU songs = GetSubMenu(bar, 1);
  ASSERT_NE(songs, nullptr);
  EXPECT_EQ(GetSubMenu(bar, 0), nullptr);
  EXPECT_EQ(GetSubMenu(bar, 9), nullptr);

  // Fill the popup as the juke-box does: replace the placeholder, then insert before.
  EXPECT_TRUE(ModifyMenu(bar, 40017, MF_BYCOMMAND | MF_STRING, 40027, "row0"));
  EXPECT_TRUE(InsertMenu(bar, 40027, MF_BYCOMMAND | MF_STRING, 40026, "row1"));
  EXPECT_TRUE(InsertMenu(songs, 40026, MF_BYCOMMAND | MF_STRING, 40025, "row2"));
  std::vector<std::string> expect = {"row2", "row1", "row0", "-", ToShiftJis("一曲だけ")};
  EXPECT_EQ(RecordingWindow::Texts(songs), expect);
  EXPECT_EQ(RecordingWindow::Ids(songs), (std::vector<int32_t>{40025, 40026, 40027, -1, 40009}));
  EXPECT_EQ(RecordingWindow::Ids(bar), (std::vector<int32_t>{40007, -1, 40001, 40003}));
  // The placeholder is gone; missing ids fail and change nothing.
  EXPECT_FALSE(ModifyMenu(bar, 40017, MF_BYCOMMAND | MF_STRING, 1, "x"));
  EXPECT_FALSE(InsertMenu(bar, 40017, MF_BYCOMMAND | MF_STRING, 1, "x"));
  EXPECT_EQ(RecordingWindow::Texts(songs), expect);

  // Check marks by command from the bar; previous state comes back.
  EXPECT_EQ(GetMenuState(bar, 40009, MF_BYCOMMAND), 0u);
  EXPECT_EQ(CheckMenuItem(bar, 40009, MF_BYCOMMAND | MF_CHECKED), 0u);
  EXPECT_EQ(GetMenuState(bar, 40009, MF_BYCOMMAND), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(bar, 40009, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(GetMenuState(songs, 40009, MF_BYCOMMAND), 0u);
  // A missing item: -1 as unsigned.
  EXPECT_EQ(GetMenuState(bar, 40017, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_EQ(CheckMenuItem(bar, 12345, MF_BYCOMMAND | MF_CHECKED), 0xFFFFFFFFu);
  EXPECT_EQ(GetMenuState(nullptr, 40009, MF_BYCOMMAND), 0xFFFFFFFFu);
  // Separator and popup state bits by position.
  EXPECT_EQ(GetMenuState(songs, 3, MF_BYPOSITION), MF_SEPARATOR);
  EXPECT_EQ(GetMenuState(bar, 1, MF_BYPOSITION) & 0xFF, MF_POPUP);
  EXPECT_EQ(GetMenuState(bar, 1, MF_BYPOSITION) >> 8, 5u);

  // One default item per menu; it follows inserts before it.
  EXPECT_TRUE(SetMenuDefaultItem(songs, 40026, 0));
  EXPECT_EQ(GetMenuState(songs, 40026, MF_BYCOMMAND), MF_DEFAULT);
  EXPECT_TRUE(SetMenuDefaultItem(songs, 40027, 0));
  EXPECT_EQ(GetMenuState(songs, 40026, MF_BYCOMMAND), 0u);
  InsertMenu(songs, 40025, MF_BYCOMMAND | MF_STRING, 40024, "row3");
  EXPECT_EQ(GetMenuState(songs, 40027, MF_BYCOMMAND), MF_DEFAULT);
  EXPECT_FALSE(SetMenuDefaultItem(songs, 40001, 0));  // on the bar, not in this popup
  EXPECT_EQ(GetMenuState(songs, 40027, MF_BYCOMMAND), MF_DEFAULT);

  // Play/Stop toggling on the bar item, and each call recorded with its arguments.
  rec.ClearCalls();
  EXPECT_TRUE(ModifyMenu(bar, 40007, MF_BYCOMMAND | MF_STRING, 40011, ToShiftJis("■停止").c_str()));
  EXPECT_FALSE(ModifyMenu(bar, 40007, MF_BYCOMMAND | MF_STRING, 40011, "again"));
  EXPECT_TRUE(DrawMenuBar(w));
  ASSERT_EQ(rec.calls().size(), 3u);
  EXPECT_EQ(rec.calls()[0].name, "ModifyMenu");
  EXPECT_EQ(rec.calls()[0].item, 40007u);
  EXPECT_EQ(rec.calls()[0].newId, 40011u);
  EXPECT_EQ(rec.calls()[0].text, ToShiftJis("■停止"));
  EXPECT_EQ(rec.calls()[0].result, 1);
  EXPECT_EQ(rec.calls()[1].result, 0);
  EXPECT_EQ(rec.calls()[2].name, "DrawMenuBar");
  EXPECT_EQ(rec.calls()[2].handle, reinterpret_cast<uintptr_t>(w));
  EXPECT_EQ(RecordingWindow::Texts(bar)[0], ToShiftJis("■停止"));
}

TEST(Window, TitleRoundTripInShiftJisAndTruncation) {
  RecordingWindow rec;
  std::string initial = ToShiftJis("Vexolin [停止中]");
  WindowHandle w = rec.Create(nullptr, initial.c_str());
  char buffer[256];
  EXPECT_EQ(GetWindowText(w, buffer, sizeof buffer), static_cast<int>(initial.size()));
  EXPECT_EQ(std::string(buffer), initial);
  std::string playing = ToShiftJis("Vexolin [演奏中]");
  EXPECT_TRUE(SetWindowText(w, playing.c_str()));
  EXPECT_EQ(rec.Title(), playing);
  EXPECT_EQ(ToUtf8(rec.Title()), "Vexolin [演奏中]");
  // A small buffer gets size - 1 bytes and a NUL.
  char small[5];
  EXPECT_EQ(GetWindowText(w, small, sizeof small), 4);
  EXPECT_STREQ(small, "Vexo");
  EXPECT_EQ(GetWindowText(w, small, 0), 0);
  EXPECT_FALSE(SetWindowText(nullptr, "x"));
  auto sets = rec.CallsNamed("SetWindowText");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].text, playing);
  EXPECT_EQ(rec.CallsNamed("GetWindowText").size(), 3u);  // Title() itself is not recorded
}

TEST(Window, CreationMessagesCloseAndQuit) {
  messages.clear();
  WNDCLASSEX wc;
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "LoopTest";
  ASSERT_NE(RegisterClassEx(&wc), 0);
  EXPECT_EQ(RegisterClassEx(&wc), 0);  // the name is taken
  WNDCLASSEX bad = wc;
  bad.cbSize = 40;
  bad.lpszClassName = "Other";
  EXPECT_EQ(RegisterClassEx(&bad), 0);
  EXPECT_EQ(
      CreateWindowEx(0, "Missing", "x", WS_VISIBLE, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
      nullptr);

  WindowHandle w =
      CreateWindowEx(0, "LoopTest", "t", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
                     0, 320, 260, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(messages, std::vector<std::string>{"1:0"});  // WM_CREATE, while creating
  // The frame metrics give a 320 x 240 client area under the menu bar.
  EXPECT_EQ(2 * GetSystemMetrics(SM_CXFRAME) + 318, 320);
  EXPECT_EQ(2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) +
                GetSystemMetrics(SM_CYMENU) + 238,
            240 + GetSystemMetrics(SM_CYMENU));

  PostMessage(w, WM_COMMAND, 40009, 0);
  PostMessage(w, WM_ACTIVATEAPP, 1, 0);
  PostMessage(w, WM_CLOSE, 0, 0);
  MSG msg;
  int code = -1;
  while (GetMessage(&msg, nullptr, 0, 0) > 0) {
    if (!TranslateAccelerator(w, nullptr, &msg)) {
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    }
  }
  code = static_cast<int>(msg.wParam);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(messages, (std::vector<std::string>{"1:0", "273:40009", "28:1", "16:0", "2:0"}));
  EXPECT_FALSE(IsWindow(w));  // WM_CLOSE through DefWindowProc destroyed it
  EXPECT_FALSE(PostMessage(w, WM_NULL, 0, 0));
  EXPECT_EQ(LOWORD(0x12349C41u), 0x9C41);
  UnregisterClass("LoopTest", nullptr);
}

TEST(Window, PaintRectangleAndWindowSurface) {
  RecordingWindow rec;
  WindowHandle w = rec.Create(nullptr, "p");
  HBITMAP surface = WindowSurface(w);
  EXPECT_EQ(BitmapWidth(surface), 320);
  EXPECT_EQ(BitmapHeight(surface), 240);
  EXPECT_FALSE(DeleteObject(surface));  // owned by the window
  RECT r{10, 20, 30, 40};
  InvalidateRect(w, &r, false);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(ps.rcPaint.left, 10);
  EXPECT_EQ(ps.rcPaint.bottom, 40);
  FillRect(dc, {0, 0, 320, 240}, RGB(1, 2, 3));
  EXPECT_TRUE(EndPaint(w, &ps));
  EXPECT_EQ(GetBitmapPixel(surface, 319, 239), RGB(1, 2, 3));
  BeginPaint(w, &ps);  // nothing invalid: the whole client area
  EXPECT_EQ(ps.rcPaint.right, 320);
  EXPECT_EQ(ps.rcPaint.bottom, 240);
  EndPaint(w, &ps);
}

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstLetsGo) {
  std::string name = "VexolinTest" + std::to_string(getpid());
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, false, name.c_str()), nullptr);  // nobody runs
  HANDLE first = CreateMutex(nullptr, false, name.c_str());
  ASSERT_NE(first, nullptr);
  HANDLE seen = OpenMutex(MUTEX_ALL_ACCESS, false, name.c_str());
  ASSERT_NE(seen, nullptr);  // another copy is running
  EXPECT_TRUE(CloseHandle(seen));
  EXPECT_EQ(CreateMutex(nullptr, false, name.c_str()), nullptr);
  // A child process sees the holder too.
  pid_t child = fork();
  if (child == 0) _exit(OpenMutex(MUTEX_ALL_ACCESS, false, name.c_str()) ? 3 : 4);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_TRUE(ReleaseMutex(first));
  EXPECT_FALSE(ReleaseMutex(first));
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, false, name.c_str()), nullptr);
  EXPECT_TRUE(CloseHandle(first));
  // A holder that dies without releasing leaves nothing stale.
  child = fork();
  if (child == 0) {
    CreateMutex(nullptr, false, name.c_str());
    _exit(0);
  }
  waitpid(child, &status, 0);
  HANDLE again = CreateMutex(nullptr, false, name.c_str());
  EXPECT_NE(again, nullptr);
  CloseHandle(again);
  EXPECT_EQ(CreateMutex(nullptr, false, "bad/name"), nullptr);
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, false, ""), nullptr);
}

TEST(MessageBox, RoutedToTheInstalledSink) {
  RecordingMessageBoxSink sink;
  std::string text = ToShiftJis("Vexolin\r\n2002/02/28");
  EXPECT_EQ(MessageBox(nullptr, text.c_str(), "Version", MB_OK), IDOK);
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].text, text);
  EXPECT_EQ(sink.boxes[0].caption, "Version");
  EXPECT_EQ(sink.boxes[0].type, MB_OK);
}

TEST(Menu, LoadedFromTheMenuResourceWithTheClass) {
  MenuTemplate tmpl;
  MenuTemplateItem play{ToShiftJis("□演奏"), 40007, 0, {}};
  MenuTemplateItem popup{ToShiftJis("曲選択"), 0, kMenuItemPopup, {}};
  popup.children.push_back({"dummy", 40017, 0, {}});
  popup.children.push_back({"", 0, kMenuItemSeparator, {}});
  popup.children.push_back({ToShiftJis("一曲だけ"), 40009, kMenuItemChecked, {}});
  tmpl.items = {play, popup};
  static std::vector<uint8_t> bytes;
  ASSERT_TRUE(SerializeMenuTemplate(tmpl, &bytes));
  static const ResourceEntry entries[] = {{"MENU", "TESTMENU", bytes.data(), bytes.size()}};
  RegisterResources(entries, 1);
  WNDCLASSEX wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "MenuClass";
  wc.lpszMenuName = "TESTMENU";
  ASSERT_NE(RegisterClassEx(&wc), 0);
  WindowHandle w = CreateWindowEx(0, "MenuClass", "m", WS_CAPTION, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  HMENU bar = GetMenu(w);
  EXPECT_EQ(RecordingWindow::Ids(bar), (std::vector<int32_t>{40007, -1}));
  EXPECT_EQ(RecordingWindow::Texts(GetSubMenu(bar, 1)),
            (std::vector<std::string>{"dummy", "-", ToShiftJis("一曲だけ")}));
  EXPECT_EQ(GetMenuState(bar, 40009, MF_BYCOMMAND), MF_CHECKED);
  EXPECT_EQ(LoadMenu(nullptr, "NOSUCHMENU"), nullptr);
  DestroyWindow(w);
  UnregisterClass("MenuClass", nullptr);
  UnregisterResources(entries);
}
