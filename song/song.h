// The song model: the one in-memory song, its settings, its 16 tracks and their chains of
// note events, and the readers of the song file format ("Qek-02", and the older "Qek-01").
//
// Tracks 0-7 are melody tracks, 8-15 drum tracks (drum track d of the sound output is song
// track d + 8). The play cursors (`trackCursor`, `playPosition`) live here beside the chains
// they point into; the tick itself (`Song::Tick`) is the engine's.
#pragma once

#include <cstddef>
#include <cstdint>

// The value of an event's key (no key-on), volume or pan (unchanged) that means "no change".
inline constexpr uint8_t NoChange = 255;

inline constexpr int kTrackCount = 16;
inline constexpr int kMelodyTrackCount = 8;
inline constexpr uint16_t kDefaultNoteCapacity = 4096;
// Size of the fixed part of a song image: format mark and header with 16 track records.
inline constexpr size_t kSongHeaderSize = 114;
// Bytes of one event in the note data.
inline constexpr size_t kSongEventSize = 8;

struct NoteEvent {
  NoteEvent* prev;
  NoteEvent* next;
  int32_t position;
  uint8_t length;
  uint8_t key;
  uint8_t volume;
  uint8_t pan;
};

struct TrackInfo {
  uint16_t freqAdjust;
  uint8_t waveNumber;
  int8_t oneShot;
  NoteEvent* notePool;  // owning: noteCapacity events, or null
  NoteEvent* firstNote;
};

struct SongInfo {
  uint16_t tickWait;
  uint8_t beatsPerMeasure;
  uint8_t stepsPerBeat;
  uint16_t noteCapacity;
  int32_t repeatStart;
  int32_t repeatEnd;
  TrackInfo tracks[kTrackCount];
};

// Groups of settings that Song::ApplyInfo copies.
inline constexpr uint32_t InfoTickWait = 0x01;
inline constexpr uint32_t InfoMeasure = 0x02;
inline constexpr uint32_t InfoRepeat = 0x08;
inline constexpr uint32_t InfoFreqAdjust = 0x10;
inline constexpr uint32_t InfoWaveNumber = 0x20;
inline constexpr uint32_t InfoOneShot = 0x40;

class Song {
 public:
  Song();

  void Reset();
  bool AllocateNotes(uint16_t count);
  void FreeNotes();
  bool ApplyInfo(const SongInfo& source, uint32_t flags);
  void CopyInfo(SongInfo& destination) const;
  bool LoadResource(const char* name);
  bool LoadFile(const char* path);
  // Places every track's cursor at its first event at or after `position`; sets playPosition.
  void Seek(int32_t position);
  // Plays one tick (the engine's).
  void Tick();

  SongInfo info;
  int8_t trackMute[kTrackCount];
};

// The one song object, constructed during static initialisation.
extern Song theSong;

// Play cursors: the position the next tick plays, and per track the next event not yet played.
extern int32_t playPosition;
extern NoteEvent* trackCursor[kTrackCount];

// Checks a whole song image before anything is changed: the format mark, every noteCount
// within `noteCapacity`, and exactly enough bytes for the note data. Returns true when the
// image can be read; otherwise false with a reason in `*reason` (may be null).
bool CheckSongImage(const uint8_t* data, size_t size, uint16_t noteCapacity, const char** reason);

// Tests only: puts the song object, the cursors and the play position back to the state of
// program start (pools freed).
void ResetSongForTests();
