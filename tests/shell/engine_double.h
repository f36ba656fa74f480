// A recording stand-in for the engine's control operations and the song table, so the shell's
// calls can be checked in order.
#pragma once

#include <string>
#include <vector>

namespace shelltest {
// "StopPlayback", "LoadSong(NAME)", "SeekMeasure(0)", "StartPlayback", in call order.
std::vector<std::string>& EngineCalls();
}  // namespace shelltest
