// The song file readers. Both check the whole image first and change nothing when it is
// refused, so a bad song never leaves a half-read song behind.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/message_box.h"
#include "platform/resources.h"
#include "platform/text.h"
#include "song/song.h"
#include "sound/sound.h"

namespace {

constexpr size_t kMarkSize = 6;
constexpr size_t kLargestSong = kSongHeaderSize + kSongEventSize * kTrackCount * 4096;

uint16_t Read16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int32_t Read32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

// 1 or 2 for a known format mark, 0 otherwise. `data` holds at least kMarkSize bytes.
int Version(const uint8_t* data) {
  if (std::memcmp(data, "Qek-01", kMarkSize) == 0) return 1;
  if (std::memcmp(data, "Qek-02", kMarkSize) == 0) return 2;
  return 0;
}

bool HasPools(const Song& song) {
  for (const TrackInfo& track : song.info.tracks) {
    if (track.notePool == nullptr) return false;
  }
  return true;
}

// Overwrites the song from an image that CheckSongImage accepted.
void ReadImage(Song& song, const uint8_t* data) {
  const int version = Version(data);
  const uint8_t* p = data + kMarkSize;
  SongInfo& info = song.info;
  info.tickWait = Read16(p);
  info.beatsPerMeasure = p[2];
  info.stepsPerBeat = p[3];
  info.repeatStart = Read32(p + 4);
  info.repeatEnd = Read32(p + 8);
  uint16_t counts[kTrackCount];
  for (int t = 0; t < kTrackCount; ++t) {
    const uint8_t* record = data + 18 + 6 * t;
    info.tracks[t].freqAdjust = Read16(record);
    info.tracks[t].waveNumber = record[2];
    info.tracks[t].oneShot = version == 2 ? static_cast<int8_t>(record[3]) : 0;
    counts[t] = Read16(record + 4);
  }
  p = data + kSongHeaderSize;
  for (int t = 0; t < kTrackCount; ++t) {
    const size_t n = counts[t];
    TrackInfo& track = info.tracks[t];
    if (n == 0) {
      track.firstNote = nullptr;
      continue;
    }
    NoteEvent* pool = track.notePool;
    for (size_t i = 0; i < n; ++i) {
      pool[i].prev = i == 0 ? nullptr : &pool[i - 1];
      pool[i].next = i + 1 == n ? nullptr : &pool[i + 1];
    }
    track.firstNote = pool;
    for (size_t i = 0; i < n; ++i) pool[i].position = Read32(p + 4 * i);
    p += 4 * n;
    for (size_t i = 0; i < n; ++i) pool[i].key = p[i];
    p += n;
    for (size_t i = 0; i < n; ++i) pool[i].length = p[i];
    p += n;
    for (size_t i = 0; i < n; ++i) pool[i].volume = p[i];
    p += n;
    for (size_t i = 0; i < n; ++i) pool[i].pan = p[i];
    p += n;
  }
  for (int t = 0; t < kMelodyTrackCount; ++t) {
    BuildMelodyVoice(t, info.tracks[t].waveNumber, info.tracks[t].oneShot);
  }
  for (int t = kMelodyTrackCount; t < kTrackCount; ++t) {
    const uint8_t wave = info.tracks[t].waveNumber;
    // A wave number past the drum-name table has no sound to load: the track keeps its own.
    if (wave < 12) LoadDrumResource(drumSampleNames[wave], t - kMelodyTrackCount);
  }
  song.Seek(0);
}

void ShowLoadError(const char* utf8Text) {
  const std::string text = platform::ToShiftJis(utf8Text);
  const std::string caption = platform::ToShiftJis("Error (Load)");
  platform::MessageBox(nullptr, text.c_str(), caption.c_str(), platform::MB_OK);
}

}  // namespace

bool CheckSongImage(const uint8_t* data, size_t size, uint16_t noteCapacity, const char** reason) {
  const char* unused = nullptr;
  const char** why = reason != nullptr ? reason : &unused;
  if (data == nullptr || size < kMarkSize || Version(data) == 0) {
    *why = "not a song (unknown format mark)";
    return false;
  }
  if (size < kSongHeaderSize) {
    *why = "the header is cut short";
    return false;
  }
  size_t events = 0;
  for (int t = 0; t < kTrackCount; ++t) {
    const uint16_t count = Read16(data + 18 + 6 * t + 4);
    if (count > noteCapacity) {
      *why = "a track holds more events than its pool";
      return false;
    }
    events += count;
  }
  const size_t expected = kSongHeaderSize + kSongEventSize * events;
  if (size < expected) {
    *why = "the note data is cut short";
    return false;
  }
  if (size > expected) {
    *why = "bytes follow the note data";
    return false;
  }
  return true;
}

bool Song::LoadResource(const char* name) {
  if (name == nullptr) return false;
  platform::ResourceData resource;
  if (!platform::FindResource("QEK", name, &resource)) return false;
  if (!HasPools(*this)) return false;
  if (!CheckSongImage(resource.data, resource.size, info.noteCapacity, nullptr)) return false;
  ReadImage(*this, resource.data);
  return true;
}

bool Song::LoadFile(const char* path) {
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) {
    ShowLoadError("ファイルにアクセスできません");
    return false;
  }
  // Read at most one byte more than the largest song, so an oversized file is seen as such.
  std::vector<uint8_t> image(kLargestSong + 1);
  const size_t size = std::fread(image.data(), 1, image.size(), file);
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (readError) {
    ShowLoadError("ファイルにアクセスできません");
    return false;
  }
  if (size > kLargestSong || !HasPools(*this) ||
      !CheckSongImage(image.data(), size, info.noteCapacity, nullptr)) {
    ShowLoadError("このファイルは使えません");
    return false;
  }
  ReadImage(*this, image.data());
  return true;
}
