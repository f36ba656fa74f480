// vexolin-render: renders a song to a WAV file through the real sound output, engine, clock
// and voices on the offline output, exactly as the juke-box would play it.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/mixer.h"
#include "platform/offline_output.h"
#include "platform/player_lock.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/timer.h"
#include "platform/wav_file.h"
#include "resources/embedded.h"
#include "song/song.h"
#include "sound/sound.h"
#ifdef VEXOLIN_HAVE_SONG_TABLE
#include "shell/song_table.h"
#endif

namespace {

constexpr int kUsage = 2;
constexpr int kBadSong = 1;
constexpr size_t kMaxImage = kSongHeaderSize + kSongEventSize * kTrackCount * 4096;

const char kHelp[] =
    "usage: vexolin-render [options] SONGFILE\n"
    "       vexolin-render [options] --builtin NAME|ROW\n"
    "       vexolin-render --list | --resources | --help\n"
    "\n"
    "Plays a song as the juke-box does and writes it as a 16-bit stereo WAV file.\n"
    "By default the render runs from position 0 through the first pass and the fade,\n"
    "and ends where the juke-box would go on to the next song.\n"
    "\n"
    "  -o FILE          output file (default: the song's name with .wav; - = stdout)\n"
    "  --rate N         output rate, 8000 to 192000 (default 48000)\n"
    "  --nearest        nearest-neighbour interpolation (default linear)\n"
    "  --loops N        repeat the song without fading; end when pass N has wrapped\n"
    "  --seconds S      end after S seconds\n"
    "  --mute LIST      mute tracks (comma-separated, 0-15)\n"
    "  --solo LIST      mute every track but these\n"
    "  --info           print the song's header and tracks, render nothing\n"
    "  --builtin X      a built-in song: resource name (type QEK) or song table row 0-14\n"
    "  --list           print the song table\n"
    "  --resources      print every embedded resource (type, name, size)\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 success, 1 the song cannot be read, 2 usage error.\n";

struct Options {
  std::string songFile;
  std::string builtin;
  bool haveBuiltin = false;
  std::string output;
  uint32_t rate = 48000;
  bool nearest = false;
  std::optional<int64_t> loops;
  std::optional<double> seconds;
  std::vector<int> mute;
  std::vector<int> solo;
  bool haveMute = false;
  bool haveSolo = false;
  bool info = false;
  bool list = false;
  bool resources = false;
  bool help = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "vexolin-render: %s\n(try --help)\n", message.c_str());
  return kUsage;
}

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseTrackList(const std::string& text, std::vector<int>* tracks) {
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string item =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    int64_t track = 0;
    if (!ParseInteger(item, 0, kTrackCount - 1, &track)) return false;
    tracks->push_back(static_cast<int>(track));
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Returns -1 when the arguments are fine, else the exit status of the usage error.
int ParseArguments(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "-o") {
      if (!value(&options->output) || options->output.empty()) return UsageError("-o needs a file");
    } else if (arg == "--rate") {
      int64_t rate = 0;
      if (!value(&text) || !ParseInteger(text, 8000, 192000, &rate)) {
        return UsageError("--rate needs a whole number from 8000 to 192000");
      }
      options->rate = static_cast<uint32_t>(rate);
    } else if (arg == "--nearest") {
      options->nearest = true;
    } else if (arg == "--loops") {
      int64_t loops = 0;
      if (!value(&text) || !ParseInteger(text, 1, 1000000, &loops)) {
        return UsageError("--loops needs a whole number from 1 to 1000000");
      }
      options->loops = loops;
    } else if (arg == "--seconds") {
      if (!value(&text)) return UsageError("--seconds needs a number");
      char* end = nullptr;
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 ||
          seconds > 86400) {
        return UsageError("--seconds needs a number from 0 to 86400");
      }
      options->seconds = seconds;
    } else if (arg == "--mute") {
      if (!value(&text) || !ParseTrackList(text, &options->mute)) {
        return UsageError("--mute needs a comma-separated list of tracks 0-15");
      }
      options->haveMute = true;
    } else if (arg == "--solo") {
      if (!value(&text) || !ParseTrackList(text, &options->solo)) {
        return UsageError("--solo needs a comma-separated list of tracks 0-15");
      }
      options->haveSolo = true;
    } else if (arg == "--info") {
      options->info = true;
    } else if (arg == "--list") {
      options->list = true;
    } else if (arg == "--resources") {
      options->resources = true;
    } else if (arg == "--builtin") {
      if (!value(&options->builtin) || options->builtin.empty()) {
        return UsageError("--builtin needs a resource name or a row");
      }
      options->haveBuiltin = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else {
      if (!options->songFile.empty()) return UsageError("only one song file may be given");
      options->songFile = arg;
    }
  }
  if (options->help || options->list || options->resources) return -1;
  if (options->haveBuiltin == !options->songFile.empty()) {
    return UsageError("give either one SONGFILE or --builtin NAME|ROW");
  }
  if (options->loops && options->seconds)
    return UsageError("--loops and --seconds exclude each other");
  return -1;
}

// Frames until the tick number `tick` (counted from 1 after StartPlayback) would start.
uint64_t FramesBeforeTick(int64_t tick, uint32_t tickWait, uint32_t rate) {
  if (tick < 0) tick = 0;
  return static_cast<uint64_t>(tick) * tickWait * rate / 1000;
}

// The tick at whose end the n-th wrap happens, played from position 0.
int64_t WrapTick(const SongInfo& info, int64_t n) {
  const int64_t first = info.repeatEnd < 1 ? 1 : info.repeatEnd;
  int64_t pass = static_cast<int64_t>(info.repeatEnd) - info.repeatStart;
  if (pass < 1) pass = 1;
  return first + (n - 1) * pass;
}

void StopAtAdvance() {
  StopPlayback();
}

std::string BaseName(const std::string& path) {
  std::string name = path;
  const size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name.empty() ? "song" : name;
}

// Why a song image is refused, for the error message.
std::string ReasonForFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::vector<uint8_t> image(kMaxImage + 1);
  const size_t size = std::fread(image.data(), 1, image.size(), file);
  std::fclose(file);
  if (size > kMaxImage) return "larger than any song";
  const char* reason = "cannot be read";
  CheckSongImage(image.data(), size, theSong.info.noteCapacity, &reason);
  return reason;
}

int ListResourcesCommand() {
  RegisterEmbeddedResources();
  for (const platform::ResourceEntry& entry : platform::ListResources()) {
    std::printf("%s %s %zu\n", entry.type, entry.name, entry.size);
  }
  return 0;
}

int ListSongTable() {
#ifdef VEXOLIN_HAVE_SONG_TABLE
  RegisterEmbeddedResources();
  for (int row = 0; row < kSongCount; ++row) {
    const SongEntry& entry = songTable[row];
    platform::ResourceData data;
    std::string seconds = "?";
    if (platform::FindResource("QEK", entry.resourceName, &data) && data.size >= kSongHeaderSize) {
      const uint32_t tickWait = static_cast<uint32_t>(data.data[6] | (data.data[7] << 8));
      SongInfo info{};
      info.repeatEnd = static_cast<int32_t>(static_cast<uint32_t>(data.data[14]) |
                                            (static_cast<uint32_t>(data.data[15]) << 8) |
                                            (static_cast<uint32_t>(data.data[16]) << 16) |
                                            (static_cast<uint32_t>(data.data[17]) << 24));
      const int64_t ticks = WrapTick(info, 1) + 64;
      char text[32];
      std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ticks) * tickWait / 1000.0);
      seconds = text;
    }
    std::printf("%2d  %-12s  %s  %s\n", row, entry.resourceName,
                platform::ToUtf8(entry.title).c_str(), seconds.c_str());
  }
  return 0;
#else
  std::fprintf(stderr, "vexolin-render: the song table is not built\n");
  return kUsage;
#endif
}

void PrintInfo(const std::string& name) {
  const SongInfo& info = theSong.info;
  std::printf("song %s\n", name.c_str());
  std::printf("tickWait %u ms\nbeatsPerMeasure %u\nstepsPerBeat %u\nrepeatStart %d\nrepeatEnd %d\n",
              info.tickWait, info.beatsPerMeasure, info.stepsPerBeat, info.repeatStart,
              info.repeatEnd);
  std::printf("track wave oneShot freqAdjust events first last\n");
  for (int t = 0; t < kTrackCount; ++t) {
    const TrackInfo& track = info.tracks[t];
    int count = 0;
    int32_t first = 0;
    int32_t last = 0;
    for (const NoteEvent* event = track.firstNote; event != nullptr; event = event->next) {
      if (count == 0) first = event->position;
      last = event->position;
      ++count;
    }
    if (count == 0) {
      std::printf("%5d %4u %7d %10u %6d %5s %4s\n", t, track.waveNumber, track.oneShot,
                  track.freqAdjust, 0, "-", "-");
    } else {
      std::printf("%5d %4u %7d %10u %6d %5d %4d\n", t, track.waveNumber, track.oneShot,
                  track.freqAdjust, count, first, last);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int usage = ParseArguments(argc, argv, &options);
  if (usage >= 0) return usage;
  if (options.help) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (options.resources) return ListResourcesCommand();
  if (options.list) return ListSongTable();

  RegisterEmbeddedResources();
  platform::Mixer mixer(options.rate);
  mixer.SetInterpolation(options.nearest ? platform::Mixer::Interpolation::Nearest
                                         : platform::Mixer::Interpolation::Linear);
  platform::InstallSoundSystem(&mixer);
  platform::InstallTimerService(&mixer);
  ConnectEngineToSoundDevice();
  TickHooks hooks;
  hooks.advanceSong = StopAtAdvance;
  InstallTickHooks(hooks);
  auto shutdown = [] {
    StopPlayback();
    platform::InstallTimerService(nullptr);
    platform::InstallSoundSystem(nullptr);
  };
  if (!StartSoundDevice(nullptr)) {
    std::fprintf(stderr, "vexolin-render: the sound output could not be opened\n");
    shutdown();
    return kBadSong;
  }

  std::string name;
  if (options.haveBuiltin) {
    std::string resource = options.builtin;
    if (AllDigits(options.builtin)) {
#ifdef VEXOLIN_HAVE_SONG_TABLE
      int64_t row = 0;
      if (!ParseInteger(options.builtin, 0, kSongCount - 1, &row)) {
        shutdown();
        return UsageError("song table rows are 0 to 14");
      }
      resource = songTable[row].resourceName;
#else
      shutdown();
      return UsageError("the song table is not built; give a resource name");
#endif
    }
    name = resource;
    if (!LoadSong(resource.c_str())) {
      platform::ResourceData data;
      std::string reason = "no song resource of that name";
      if (platform::FindResource("QEK", resource, &data)) {
        const char* why = "cannot be read";
        CheckSongImage(data.data, data.size, theSong.info.noteCapacity, &why);
        reason = why;
      }
      std::fprintf(stderr, "vexolin-render: %s: %s\n", resource.c_str(), reason.c_str());
      shutdown();
      return kBadSong;
    }
  } else {
    name = BaseName(options.songFile);
    bool loaded = false;
    {
      platform::PlayerLock lock;
      loaded = theSong.LoadFile(options.songFile.c_str());
    }
    if (!loaded) {
      std::fprintf(stderr, "vexolin-render: %s: %s\n", options.songFile.c_str(),
                   ReasonForFile(options.songFile).c_str());
      shutdown();
      return kBadSong;
    }
  }

  if (options.info) {
    PrintInfo(name);
    shutdown();
    return 0;
  }

  for (int t = 0; t < kTrackCount; ++t) theSong.trackMute[t] = options.haveSolo ? 1 : 0;
  for (int t : options.solo) theSong.trackMute[t] = 0;
  for (int t : options.mute) theSong.trackMute[t] = 1;

  const SongInfo& info = theSong.info;
  uint64_t frames = 0;
  if (options.seconds) {
    frames = static_cast<uint64_t>(std::floor(*options.seconds * options.rate));
  } else if (options.loops) {
    oneSongOnly = 1;
    frames = FramesBeforeTick(WrapTick(info, *options.loops) + 1, info.tickWait, options.rate);
  } else {
    oneSongOnly = 0;
    frames = FramesBeforeTick(WrapTick(info, 1) + 64, info.tickWait, options.rate);
  }
  // A WAV file's data length is a 32-bit byte count.
  if (frames > (0xFFFFFFFFull - 44) / 4) {
    shutdown();
    return UsageError("the render would be longer than a WAV file can hold");
  }

  SeekMeasure(0);
  StartPlayback();

  platform::WavWriter writer;
  const bool toStdout = options.output == "-";
  const std::string outputPath = options.output.empty() ? name + ".wav" : options.output;
  const bool opened = toStdout
                          ? writer.Open(std::cout, options.rate, static_cast<uint32_t>(frames))
                          : writer.Open(outputPath, options.rate, static_cast<uint32_t>(frames));
  if (!opened) {
    std::fprintf(stderr, "vexolin-render: %s: %s\n", outputPath.c_str(), writer.Error().c_str());
    shutdown();
    return kBadSong;
  }

  platform::OfflineOutput output(mixer);
  const bool progress = platform::IsTerminal(2);
  constexpr size_t kChunk = 4096;
  std::vector<int16_t> samples(kChunk * 2);
  uint64_t done = 0;
  int shown = -1;
  bool ok = true;
  while (done < frames && ok) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kChunk, frames - done));
    output.Render(samples.data(), count);
    ok = writer.Append(samples.data(), count);
    done += count;
    if (progress) {
      const int percent = static_cast<int>(done * 100 / frames);
      if (percent != shown) {
        shown = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%.*s%.*s] %3d%%", filled,
                     "========================================", 40 - filled,
                     "                                        ", percent);
      }
    }
  }
  if (progress) std::fputc('\n', stderr);
  if (ok) ok = writer.Finish();
  if (!ok) {
    std::fprintf(stderr, "vexolin-render: %s: %s\n", toStdout ? "stdout" : outputPath.c_str(),
                 writer.Error().c_str());
    shutdown();
    return kBadSong;
  }
  if (toStdout) std::cout.flush();
  shutdown();
  return 0;
}
