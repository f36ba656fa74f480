// The table of built-in songs: 15 rows, fixed in the program's data.
#pragma once

#include <cstdint>

struct SongEntry {
  char title[32];         // NUL-terminated Shift-JIS, "♪ " and the song's title
  char resourceName[16];  // NUL-terminated ASCII name of a song resource of type "QEK"
  int32_t commandId;      // the menu command of the row
};

inline constexpr int kSongCount = 15;

// Rows 0 to 14; made at build time from resources/songs.
extern const SongEntry songTable[kSongCount];
