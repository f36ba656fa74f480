// The SDL display on the offscreen video driver: the composed frame is checked by pixel rules.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window.h"

using namespace platform;

namespace {

LRESULT Proc(WindowHandle w, uint32_t m, WPARAM wp, LPARAM lp) {
  return DefWindowProc(w, m, wp, lp);
}

uint32_t At(const std::vector<uint32_t>& f, int w, int x, int y) {
  return f[static_cast<size_t>(y) * w + x];
}

int Count(const std::vector<uint32_t>& f, int w, int x0, int y0, int x1, int y1, uint32_t c) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += At(f, w, x, y) == c;
  return n;
}

}  // namespace

TEST(Display, MenuBarAndPopupOnTheOffscreenDriver) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::string error;
  if (!InstallDisplay(&error)) GTEST_SKIP() << "no offscreen video: " << error;

  HMENU bar = CreateMenu();
  HMENU songs = CreatePopupMenu();
  for (int i = 0; i < 15; ++i)
    AppendMenu(songs, MF_STRING, 40100 + i, ToShiftJis("♪ song").c_str());
  AppendMenu(songs, MF_SEPARATOR, 0, nullptr);
  AppendMenu(songs, MF_STRING | MF_CHECKED, 40009, ToShiftJis("一曲だけ").c_str());
  SetMenuDefaultItem(songs, 40100, 0);
  AppendMenu(bar, MF_STRING, 40007, ToShiftJis("□演奏").c_str());
  AppendMenu(bar, MF_POPUP, reinterpret_cast<uintptr_t>(songs), ToShiftJis("曲選択").c_str());

  WNDCLASSEX wc;
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "DisplayTest";
  ASSERT_NE(RegisterClassEx(&wc), 0);
  WindowHandle w =
      CreateWindowEx(0, "DisplayTest", ToShiftJis("Vexolin [停止中]").c_str(),
                     WS_VISIBLE | WS_CAPTION, 0, 0, 320, 260, nullptr, bar, nullptr, nullptr);
  ASSERT_NE(w, nullptr) << GetLastErrorText();
  HDC dc = GetDC(w);
  FillRect(dc, {0, 0, 320, 240}, RGB(0, 128, 0));
  ReleaseDC(w, dc);
  // Let the loop present; a posted command marks the end of the pending events.
  PostMessage(w, WM_COMMAND, 1, 0);
  MSG msg;
  while (GetMessage(&msg, nullptr, 0, 0) > 0 && msg.message != WM_COMMAND) DispatchMessage(&msg);

  std::vector<uint32_t> f;
  int fw = 0, fh = 0;
  ASSERT_TRUE(GetPresentedFrame(w, &f, &fw, &fh));
  EXPECT_EQ(fw, 320);
  EXPECT_GE(fh, 20 + 240);
  // Grey bar with dark text, the client surface just below it.
  EXPECT_EQ(At(f, fw, 300, 5), 0xC0C0C0u);
  EXPECT_GT(Count(f, fw, 0, 0, 60, 19, 0x000000u), 20);
  EXPECT_EQ(Count(f, fw, 0, 20, 320, 260, 0x008000u), 320 * 240);

  // Click the song popup on the bar: every item is shown at once, over the picture.
  ASSERT_TRUE(InjectMouseClick(w, 70, 8));
  PostMessage(w, WM_COMMAND, 2, 0);
  while (GetMessage(&msg, nullptr, 0, 0) > 0 && msg.message != WM_COMMAND) DispatchMessage(&msg);
  ASSERT_TRUE(GetPresentedFrame(w, &f, &fw, &fh));
  // The bar item is highlighted (dark blue) and the popup covers the picture down to its last
  // item, within the window: 19 + 2 + 15 rows of 14, the separator of 8, one row, the edge.
  EXPECT_EQ(fh, 20 + 240);
  EXPECT_GT(Count(f, fw, 50, 0, 120, 19, 0x000080u), 100);
  int popupGrey = Count(f, fw, 60, 20, 140, fh, 0xC0C0C0u);
  EXPECT_GT(popupGrey, 15 * 14 * 20);
  EXPECT_GT(Count(f, fw, 60, 20 + 1 + 15 * 14 + 8, 140, 20 + 1 + 16 * 14 + 8, 0x000000u),
            10);                                                   // text of the last item
  EXPECT_EQ(At(f, fw, 100, 20 + 1 + 16 * 14 + 8 + 4), 0x008000u);  // the picture below it
  EXPECT_EQ(At(f, fw, 310, 100), 0x008000u);                       // the picture right of the popup

  // Clicking the last item (the checked one) sends its command and closes the popup.
  ASSERT_TRUE(InjectMouseClick(w, 70, 20 + 1 + 15 * 14 + 8 + 7));
  uint32_t chosen = 0;
  while (GetMessage(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_COMMAND) {
      chosen = LOWORD(msg.wParam);
      break;
    }
    DispatchMessage(&msg);
  }
  EXPECT_EQ(chosen, 40009u);
  ASSERT_TRUE(GetPresentedFrame(w, &f, &fw, &fh));
  EXPECT_EQ(Count(f, fw, 0, 20, 320, 260, 0x008000u), 320 * 240);

  // Keyboard: F10 opens the bar, Right moves to the popup item, Down opens it on its first item,
  // Up wraps past the separator to the last item, Esc closes, Enter on the bar item chooses it.
  auto next = [&]() {
    while (GetMessage(&msg, nullptr, 0, 0) > 0)
      if (msg.message == WM_COMMAND) return static_cast<uint32_t>(LOWORD(msg.wParam));
    return 0u;
  };
  ASSERT_TRUE(InjectKey(w, VK_F10));
  InjectKey(w, VK_RIGHT);
  InjectKey(w, VK_DOWN);
  InjectKey(w, VK_RETURN);
  EXPECT_EQ(next(), 40100u);
  InjectKey(w, VK_F10);
  InjectKey(w, VK_RIGHT);
  InjectKey(w, VK_DOWN);
  InjectKey(w, VK_UP);
  InjectKey(w, VK_RETURN);
  EXPECT_EQ(next(), 40009u);
  InjectKey(w, VK_F10);
  InjectKey(w, VK_RIGHT);
  InjectKey(w, VK_DOWN);
  InjectKey(w, VK_ESCAPE);  // back to the bar
  InjectKey(w, VK_LEFT);
  InjectKey(w, VK_RETURN);
  EXPECT_EQ(next(), 40007u);
  // Without the bar open, keys do nothing; a click outside the menus sends nothing.
  InjectKey(w, VK_RETURN);
  InjectMouseClick(w, 300, 200);
  PostMessage(w, WM_COMMAND, 3, 0);
  EXPECT_EQ(next(), 3u);

  DestroyWindow(w);
  UnregisterClass("DisplayTest", nullptr);
  UninstallDisplay();
}

// A message box owned by a window is drawn over its client area and is modal: input to the
// window waits, and a click on OK or Esc ends it.
TEST(Display, MessageBoxOverTheWindowIsModal) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::string error;
  if (!InstallDisplay(&error)) GTEST_SKIP() << "no offscreen video: " << error;
  HMENU bar = CreateMenu();
  AppendMenu(bar, MF_STRING, 40007, ToShiftJis("□演奏").c_str());
  WNDCLASSEX wc;
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = "BoxTest";
  ASSERT_NE(RegisterClassEx(&wc), 0);
  WindowHandle w = CreateWindowEx(0, "BoxTest", "Vexolin", WS_VISIBLE | WS_CAPTION, 0, 0, 320, 260,
                                  nullptr, bar, nullptr, nullptr);
  ASSERT_NE(w, nullptr) << GetLastErrorText();
  HDC dc = GetDC(w);
  FillRect(dc, {0, 0, 320, 240}, RGB(0, 128, 0));
  ReleaseDC(w, dc);

  // Two lines of 6-pixel characters: the box is 120 wide (its least) and 91 high, centred on
  // the client area: (100, 94) to (220, 185), OK from (128, 157) to (192, 177).
  ASSERT_TRUE(QueueMouseClick(w, 30, 10));    // the bar's Play item: waits
  ASSERT_TRUE(QueueKey(w, VK_LEFT));          // waits
  ASSERT_TRUE(QueueMouseClick(w, 110, 167));  // beside OK: nothing
  ASSERT_TRUE(QueueMouseClick(w, 191, 176));  // OK's last pixel
  EXPECT_EQ(MessageBox(w, "Line one\r\nLine two", "Version", MB_OK), IDOK);

  // The last frame presented is the box's.
  std::vector<uint32_t> f;
  int fw = 0, fh = 0;
  ASSERT_TRUE(GetPresentedFrame(w, &f, &fw, &fh));
  EXPECT_EQ(At(f, fw, 99, 120), 0x008000u);   // the picture beside the box
  EXPECT_EQ(At(f, fw, 100, 120), 0xFFFFFFu);  // the raised edge
  EXPECT_EQ(At(f, fw, 219, 120), 0x000000u);
  EXPECT_EQ(At(f, fw, 104, 98), 0x000080u);                    // the caption bar
  EXPECT_GT(Count(f, fw, 103, 97, 217, 113, 0xFFFFFFu), 20);   // "Version" in white
  EXPECT_GT(Count(f, fw, 112, 121, 200, 149, 0x000000u), 40);  // the two lines
  EXPECT_EQ(At(f, fw, 128, 157), 0x000000u);                   // OK's frame
  EXPECT_EQ(At(f, fw, 191, 176), 0x000000u);
  EXPECT_GT(Count(f, fw, 130, 159, 190, 175, 0x000000u), 10);  // "OK"
  EXPECT_EQ(At(f, fw, 160, 186), 0x008000u);                   // below the box

  // The click on Play never reached the window; the box is gone at the next present.
  PostMessage(w, WM_COMMAND, 1, 0);
  MSG msg;
  uint32_t first = 0;
  while (GetMessage(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_COMMAND) {
      first = LOWORD(msg.wParam);
      break;
    }
    DispatchMessage(&msg);
  }
  EXPECT_EQ(first, 1u);
  ASSERT_TRUE(GetPresentedFrame(w, &f, &fw, &fh));
  EXPECT_EQ(Count(f, fw, 0, 20, 320, 260, 0x008000u), 320 * 240);

  // Esc ends a box too.
  ASSERT_TRUE(QueueKey(w, VK_ESCAPE));
  EXPECT_EQ(MessageBox(w, "x", "y", MB_OK), IDOK);

  DestroyWindow(w);
  UnregisterClass("BoxTest", nullptr);
  UninstallDisplay();
}
