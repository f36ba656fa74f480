#include "shell/jukebox.h"

#include <cstring>
#include <string>

#include "engine/engine.h"
#include "platform/app.h"
#include "platform/text.h"
#include "platform/window.h"
#include "screen/screen.h"
#include "shell/song_table.h"

using namespace platform;

int32_t currentSongIndex = 0;

namespace {

struct Texts {
  std::string play = ToShiftJis("□演奏");
  std::string stop = ToShiftJis("■停止");
  std::string stopped = ToShiftJis("停止中");
  std::string playing = ToShiftJis("演奏中");
  std::string initialTitle = ToShiftJis("Vexolin [停止中]");
};

const Texts& JukeboxTexts() {
  static const Texts texts;
  return texts;
}

HMENU SongPopup() {
  return GetSubMenu(GetMenu(mainWindow), kSongPopupPosition);
}

// Steps 4 to 8 of a song choice, for the row in currentSongIndex.
void StartCurrentRow() {
  const SongEntry& entry = songTable[currentSongIndex];
  SetMenuDefaultItem(SongPopup(), static_cast<uint32_t>(entry.commandId), 0);
  ShowSongTitle(entry.title);
  LoadSong(entry.resourceName);
  SeekMeasure(0);
  StartPlayback();
}

}  // namespace

const char* PlayItemText() {
  return JukeboxTexts().play.c_str();
}
const char* StopItemText() {
  return JukeboxTexts().stop.c_str();
}
const char* StoppedStatusText() {
  return JukeboxTexts().stopped.c_str();
}
const char* PlayingStatusText() {
  return JukeboxTexts().playing.c_str();
}
const char* InitialTitleText() {
  return JukeboxTexts().initialTitle.c_str();
}

int FillSongMenu(HMENU menu) {
  ModifyMenu(menu, kCmdPlaceholder, MF_BYCOMMAND | MF_STRING,
             static_cast<uintptr_t>(songTable[0].commandId), songTable[0].title);
  for (int row = 1; row < kSongCount; ++row) {
    InsertMenu(menu, static_cast<uint32_t>(songTable[row - 1].commandId), MF_BYCOMMAND | MF_STRING,
               static_cast<uintptr_t>(songTable[row].commandId), songTable[row].title);
  }
  return 1;
}

void SelectSong(uint32_t commandId) {
  StopPlayback();
  for (int row = 0; row < kSongCount; ++row) {
    if (static_cast<uint32_t>(songTable[row].commandId) == commandId) {
      currentSongIndex = row;
      StartCurrentRow();
      return;
    }
  }
}

void AdvanceSong() {
  StopPlayback();
  currentSongIndex -= 1;
  if (currentSongIndex < 0) currentSongIndex = kSongCount - 1;
  StartCurrentRow();
}

void PlaySongCommand(WindowHandle window, uint32_t commandId) {
  SelectSong(commandId);
  ModifyMenu(GetMenu(window), kCmdPlay, MF_BYCOMMAND | MF_STRING, kCmdStop, StopItemText());
  DrawMenuBar(window);
  SetTitleStatus(window, PlayingStatusText());
}

void StopCommand(WindowHandle window) {
  StopPlayback();
  ModifyMenu(GetMenu(window), kCmdStop, MF_BYCOMMAND | MF_STRING, kCmdPlay, PlayItemText());
  DrawMenuBar(window);
  SetTitleStatus(window, StoppedStatusText());
}

void ToggleOneSongOnly(WindowHandle window) {
  HMENU menu = GetMenu(window);
  const uint32_t state = GetMenuState(menu, kCmdOneSongOnly, MF_BYCOMMAND);
  if (state == MENU_ITEM_MISSING) return;
  if (state & MF_CHECKED) {
    oneSongOnly = 0;
    CheckMenuItem(menu, kCmdOneSongOnly, MF_BYCOMMAND | MF_UNCHECKED);
  } else {
    oneSongOnly = 1;
    CheckMenuItem(menu, kCmdOneSongOnly, MF_BYCOMMAND | MF_CHECKED);
  }
}

void SetTitleStatus(WindowHandle window, const char* text) {
  char title[256] = {};
  const int length = GetWindowText(window, title, sizeof title);
  int bracket = -1;
  for (int i = length - 1; i >= 0; --i) {
    if (title[i] == '[') {
      bracket = i;
      break;
    }
  }
  // A title without a bracket (never the case for ours) gets one at its end.
  std::string result(title, bracket >= 0 ? static_cast<size_t>(bracket) : std::strlen(title));
  result += '[';
  result += text;
  result += ']';
  SetWindowText(window, result.c_str());
}

void ResetJukeboxForTests() {
  currentSongIndex = 0;
}
