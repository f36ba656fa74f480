// Feeds arbitrary bytes to both song readers: as a QEK resource through the engine's LoadSong,
// and as a file through Song::LoadFile, on the real software mixer.
//
// Before each read a known song is loaded and positioned away from 0. A refused input must
// leave that song exactly as it was: settings, chains, cursors, play position and voices.
// An accepted input must be laid out as its bytes say, and is then played for a few dozen
// ticks. Both readers must agree with CheckSongImage.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fuzz/fuzz_input_file.h"
#include "platform/message_box.h"
#include "platform/mixer.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/timer.h"
#include "song/song.h"
#include "sound/sound.h"

namespace {

class CountingBoxes;
CountingBoxes* fuzzBoxes = nullptr;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

uint16_t Read16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int32_t Read32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

class CountingBoxes final : public platform::MessageBoxSink {
 public:
  int Show(platform::WindowHandle, const char*, const char*, uint32_t) override {
    ++shown;
    return platform::IDOK;
  }
  int shown = 0;
};

// A small valid song: one melody and two drum tracks, repeat 4..24.
std::vector<uint8_t> KnownSong() {
  std::vector<uint8_t> v = {'Q', 'e', 'k', '-', '0', '2', 120, 0, 4, 3, 4, 0, 0, 0, 24, 0, 0, 0};
  const uint8_t counts[16] = {3, 0, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0};
  for (int t = 0; t < 16; ++t) {
    const uint8_t wave = static_cast<uint8_t>(t < 8 ? 7 + t : 1);
    for (uint8_t b : {uint8_t{0xE8}, uint8_t{3}, wave, uint8_t{0}, counts[t], uint8_t{0}})
      v.push_back(b);
  }
  auto events = [&](std::initializer_list<int32_t> positions, std::initializer_list<uint8_t> rest) {
    for (int32_t p : positions)
      for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(p >> (8 * i)));
    v.insert(v.end(), rest);
  };
  events({0, 6, 30}, {45, 50, NoChange, 4, 2, 1, 200, 180, 100, 6, 3, 9});
  events({2, 10}, {30, 31, 1, 1, 150, 160, 6, 6});
  events({5}, {40, 1, 220, 12});
  return v;
}

struct Snapshot {
  SongInfo info;
  int8_t mute[kTrackCount];
  int32_t position;
  NoteEvent* cursors[kTrackCount];
  std::vector<NoteEvent> chains[kTrackCount];
  platform::SoundBuffer* melody[8][8][2];
  platform::SoundBuffer* drums[8];
};

Snapshot Take() {
  Snapshot s;
  s.info = theSong.info;
  std::memcpy(s.mute, theSong.trackMute, sizeof s.mute);
  s.position = playPosition;
  std::memcpy(s.cursors, trackCursor, sizeof s.cursors);
  for (int t = 0; t < kTrackCount; ++t) {
    size_t walked = 0;
    for (const NoteEvent* e = theSong.info.tracks[t].firstNote;
         e != nullptr && walked < theSong.info.noteCapacity; e = e->next, ++walked) {
      s.chains[t].push_back(*e);
    }
  }
  std::memcpy(s.melody, melodyBuffers, sizeof s.melody);
  std::memcpy(s.drums, drumBuffers, sizeof s.drums);
  return s;
}

bool SameEvent(const NoteEvent& a, const NoteEvent& b) {
  return a.prev == b.prev && a.next == b.next && a.position == b.position && a.length == b.length &&
         a.key == b.key && a.volume == b.volume && a.pan == b.pan;
}

bool Same(const Snapshot& a, const Snapshot& b) {
  const SongInfo& x = a.info;
  const SongInfo& y = b.info;
  if (x.tickWait != y.tickWait || x.beatsPerMeasure != y.beatsPerMeasure ||
      x.stepsPerBeat != y.stepsPerBeat || x.noteCapacity != y.noteCapacity ||
      x.repeatStart != y.repeatStart || x.repeatEnd != y.repeatEnd)
    return false;
  for (int t = 0; t < kTrackCount; ++t) {
    const TrackInfo& p = x.tracks[t];
    const TrackInfo& q = y.tracks[t];
    if (p.freqAdjust != q.freqAdjust || p.waveNumber != q.waveNumber || p.oneShot != q.oneShot ||
        p.notePool != q.notePool || p.firstNote != q.firstNote)
      return false;
    if (a.chains[t].size() != b.chains[t].size()) return false;
    for (size_t i = 0; i < a.chains[t].size(); ++i) {
      if (!SameEvent(a.chains[t][i], b.chains[t][i])) return false;
    }
  }
  return std::memcmp(a.mute, b.mute, sizeof a.mute) == 0 && a.position == b.position &&
         std::memcmp(a.cursors, b.cursors, sizeof a.cursors) == 0 &&
         std::memcmp(a.melody, b.melody, sizeof a.melody) == 0 &&
         std::memcmp(a.drums, b.drums, sizeof a.drums) == 0;
}

// The song as `image` lays it out: header settings, and every chain linked over the start
// of its pool in array order with the stored columns.
void CheckLaidOut(const uint8_t* image) {
  const SongInfo& info = theSong.info;
  const bool version2 = image[5] == '2';
  Check(info.tickWait == Read16(image + 6));
  Check(info.beatsPerMeasure == image[8] && info.stepsPerBeat == image[9]);
  Check(info.repeatStart == Read32(image + 10) && info.repeatEnd == Read32(image + 14));
  Check(info.noteCapacity == kDefaultNoteCapacity);
  const uint8_t* column = image + kSongHeaderSize;
  for (int t = 0; t < kTrackCount; ++t) {
    const uint8_t* record = image + 18 + 6 * t;
    const TrackInfo& track = info.tracks[t];
    Check(track.freqAdjust == Read16(record));
    Check(track.waveNumber == record[2]);
    Check(track.oneShot == (version2 ? static_cast<int8_t>(record[3]) : 0));
    const size_t n = Read16(record + 4);
    if (n == 0) {
      Check(track.firstNote == nullptr);
      continue;
    }
    Check(track.firstNote == track.notePool);
    const NoteEvent* pool = track.notePool;
    for (size_t i = 0; i < n; ++i) {
      const NoteEvent& e = pool[i];
      Check(e.prev == (i == 0 ? nullptr : &pool[i - 1]));
      Check(e.next == (i + 1 == n ? nullptr : &pool[i + 1]));
      Check(e.position == Read32(column + 4 * i));
      Check(e.key == column[4 * n + i] && e.length == column[5 * n + i]);
      Check(e.volume == column[6 * n + i] && e.pan == column[7 * n + i]);
    }
    column += kSongEventSize * n;
  }
  Check(playPosition == 0);
}

// Whether the song object holds the known song as LoadKnown left it; a refused input keeps
// it so, which spares the reload.
bool knownLoaded = false;

void LoadKnown() {
  if (knownLoaded) return;
  knownLoaded = true;
  Check(LoadSong("KNOWN") == 1);
  theSong.Seek(7);
  for (int i = 0; i < 3; ++i) theSong.Tick();
}

// Plays an accepted song for a few dozen ticks: a fade and wraps on any repeat range.
void Play() {
  knownLoaded = false;
  loopCount = 0;
  masterVolume = 127;
  for (int i = 0; i < 48; ++i) theSong.Tick();
  StopPlayback();
}

const fuzzing::InputFile& Input() {
  static const fuzzing::InputFile file("vexolin_fuzz_song_", ".qek");
  return file;
}

// The program-long set-up: a mixer for sound and timer, the engine started on it, a
// waveform table, one drum sound and the known song.
void SetUpOnce() {
  static platform::Mixer mixer(48000);
  static CountingBoxes boxes;
  static std::vector<uint8_t> waveTable(25600);
  static std::vector<uint8_t> drum(58 + 64, 0);
  static std::vector<uint8_t> known = KnownSong();
  for (size_t i = 0; i < waveTable.size(); ++i) waveTable[i] = static_cast<uint8_t>(i * 29);
  const uint8_t format[] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x22, 0x56, 0, 0, 1, 0, 8, 0};
  std::memcpy(drum.data() + 20, format, sizeof format);
  drum[54] = 64;
  std::memset(drum.data() + 58, 0x90, 64);
  static const platform::ResourceEntry entries[] = {
      {"WAVE", "WAVEDATA", waveTable.data(), waveTable.size()},
      {"WAVE", "BASS01", drum.data(), drum.size()},
      {"WAVE", "BASS02", drum.data(), drum.size()},
      {"QEK", "KNOWN", known.data(), known.size()},
  };
  platform::RegisterResources(entries, sizeof entries / sizeof entries[0]);
  platform::InstallMessageBoxSink(&boxes);
  platform::InstallSoundSystem(&mixer);
  platform::InstallTimerService(&mixer);
  ConnectEngineToSoundDevice();
  Check(StartSoundDevice(nullptr) == 1);
  fuzzBoxes = &boxes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (SetUpOnce(), true);
  (void)ready;
  const bool valid = CheckSongImage(data, size, kDefaultNoteCapacity, nullptr);

  // The memory image, as the juke-box reads its songs.
  LoadKnown();
  Snapshot before = Take();
  const platform::ResourceEntry entry[] = {{"QEK", "FUZZ", data, size}};
  platform::RegisterResources(entry, 1);
  const int loaded = LoadSong("FUZZ");
  platform::UnregisterResources(entry);
  Check((loaded == 1) == valid);
  if (loaded == 1) {
    CheckLaidOut(data);
    Play();
  } else {
    Check(Same(before, Take()));
  }

  // The same bytes as a file.
  if (!Input().Write(data, size)) return 0;
  LoadKnown();
  before = Take();
  const int shownBefore = fuzzBoxes->shown;
  const bool fileLoaded = theSong.LoadFile(Input().Path());
  Input().Remove();
  Check(fileLoaded == valid);
  Check(fuzzBoxes->shown - shownBefore == (fileLoaded ? 0 : 1));
  if (fileLoaded) {
    CheckLaidOut(data);
    Play();
  } else {
    Check(Same(before, Take()));
  }
  return 0;
}
