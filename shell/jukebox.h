// The juke-box: the song popup built from the song table, choosing, playing and stopping a
// song, the one-song-only toggle, the play state shown in the menu bar and the title, and the
// advance to the next song at the end of a fade.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "platform/types.h"

// Menu command ids of the main menu.
inline constexpr uint32_t kCmdExit = 40001;
inline constexpr uint32_t kCmdStepMarker = 40002;
inline constexpr uint32_t kCmdVersion = 40003;
inline constexpr uint32_t kCmdPlay = 40007;
inline constexpr uint32_t kCmdOneSongOnly = 40009;
inline constexpr uint32_t kCmdStop = 40011;
inline constexpr uint32_t kCmdPlaceholder = 40017;
// The song the Play command starts: the top row of the popup (row 14).
inline constexpr uint32_t kCmdTopSong = 40005;
// Position of the song popup on the menu bar.
inline constexpr int kSongPopupPosition = 1;

// The row of the song last started; 0 at start.
extern int32_t currentSongIndex;

int FillSongMenu(platform::HMENU menu);
void SelectSong(uint32_t commandId);
// Called inside the last tick of a fade: starts the row below the current one (row 0 -> 14).
void AdvanceSong();
void PlaySongCommand(platform::WindowHandle window, uint32_t commandId);
void StopCommand(platform::WindowHandle window);
void ToggleOneSongOnly(platform::WindowHandle window);
// Replaces what follows the last "[" of the window title with `text` and "]".
void SetTitleStatus(platform::WindowHandle window, const char* text);

// Shift-JIS forms of the juke-box's texts.
const char* PlayItemText();       // "□演奏"
const char* StopItemText();       // "■停止"
const char* StoppedStatusText();  // "停止中"
const char* PlayingStatusText();  // "演奏中"
const char* InitialTitleText();   // "Vexolin [停止中]"

// Tests only: currentSongIndex back to 0.
void ResetJukeboxForTests();
