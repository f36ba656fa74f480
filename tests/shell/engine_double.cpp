#include "tests/shell/engine_double.h"

#include "engine/engine.h"
#include "shell/song_table.h"

int32_t loopCount = 0;
int32_t masterVolume = 127;
int32_t noteTicksLeft[8] = {};
int32_t trackVolume[16] = {};
int32_t oneSongOnly = 0;

// Row r: title "♪ Row r" in Shift-JIS, resource "SONGr", ids as in the main menu.
const SongEntry songTable[kSongCount] = {
    {"\x81\xF4 Row 0", "SONG0", 40027},   {"\x81\xF4 Row 1", "SONG1", 40026},
    {"\x81\xF4 Row 2", "SONG2", 40025},   {"\x81\xF4 Row 3", "SONG3", 40024},
    {"\x81\xF4 Row 4", "SONG4", 40023},   {"\x81\xF4 Row 5", "SONG5", 40022},
    {"\x81\xF4 Row 6", "SONG6", 40021},   {"\x81\xF4 Row 7", "SONG7", 40020},
    {"\x81\xF4 Row 8", "SONG8", 40019},   {"\x81\xF4 Row 9", "SONG9", 40018},
    {"\x81\xF4 Row 10", "SONG10", 40016}, {"\x81\xF4 Row 11", "SONG11", 40015},
    {"\x81\xF4 Row 12", "SONG12", 40014}, {"\x81\xF4 Row 13", "SONG13", 40013},
    {"\x81\xF4 Row 14", "SONG14", 40005},
};

namespace shelltest {
std::vector<std::string>& EngineCalls() {
  static std::vector<std::string> calls;
  return calls;
}
}  // namespace shelltest

using shelltest::EngineCalls;

int StartEngine(platform::SoundDevice*) {
  return 0;
}
int LoadSong(const char* name) {
  EngineCalls().push_back(std::string("LoadSong(") + name + ")");
  return 1;
}
void SeekMeasure(int32_t measure) {
  EngineCalls().push_back("SeekMeasure(" + std::to_string(measure) + ")");
}
int32_t GetPlayPosition() {
  return 0;
}
void StartPlayback() {
  loopCount = 0;
  masterVolume = 127;
  EngineCalls().push_back("StartPlayback");
}
int SetMasterVolume(int32_t) {
  return 0;
}
void StopPlayback() {
  EngineCalls().push_back("StopPlayback");
}
void ReleaseSong() {}
void ConnectEngineToSoundDevice() {}
void InstallTickHooks(const TickHooks&) {}
