// The song object: construction, reset, note pools, settings exchange and seeking.
#include "song/song.h"

#include <new>

#include "sound/sound.h"

Song theSong;

int32_t playPosition = 0;
NoteEvent* trackCursor[kTrackCount] = {};

Song::Song() {
  for (TrackInfo& track : info.tracks) {
    track.notePool = nullptr;
    track.firstNote = nullptr;
  }
}

void Song::Reset() {
  info.noteCapacity = kDefaultNoteCapacity;
  info.stepsPerBeat = 4;
  info.beatsPerMeasure = 4;
  info.tickWait = 128;
  info.repeatStart = 0;
  info.repeatEnd = info.stepsPerBeat * info.beatsPerMeasure * 255;
  for (TrackInfo& track : info.tracks) {
    track.freqAdjust = 1000;
    track.waveNumber = 0;
    track.oneShot = 0;
  }
  AllocateNotes(info.noteCapacity);
}

bool Song::AllocateNotes(uint16_t count) {
  for (TrackInfo& track : info.tracks) {
    track.waveNumber = 0;
    track.firstNote = nullptr;
    track.notePool = new (std::nothrow) NoteEvent[count];
    if (track.notePool == nullptr) return false;
    for (uint16_t i = 0; i < count; ++i) {
      NoteEvent& event = track.notePool[i];
      event.prev = nullptr;
      event.next = nullptr;
      event.position = 0;
      event.length = 0;
      event.key = NoChange;
      event.volume = NoChange;
      event.pan = NoChange;
    }
  }
  for (int track = 0; track < kMelodyTrackCount; ++track) {
    BuildMelodyVoice(track, info.tracks[track].waveNumber, info.tracks[track].oneShot);
  }
  for (int drum = 0; drum < 8; ++drum) LoadDrumResource("Bass01", drum);
  return true;
}

void Song::FreeNotes() {
  for (TrackInfo& track : info.tracks) {
    delete[] track.notePool;
    track.notePool = nullptr;
    track.firstNote = nullptr;
  }
  for (NoteEvent*& cursor : trackCursor) cursor = nullptr;
}

bool Song::ApplyInfo(const SongInfo& source, uint32_t flags) {
  if (flags & InfoMeasure) {
    info.stepsPerBeat = source.stepsPerBeat;
    info.beatsPerMeasure = source.beatsPerMeasure;
  }
  if (flags & InfoTickWait) info.tickWait = source.tickWait;
  if (flags & InfoRepeat) {
    info.repeatStart = source.repeatStart;
    info.repeatEnd = source.repeatEnd;
  }
  if (flags & InfoFreqAdjust) {
    for (int t = 0; t < kMelodyTrackCount; ++t)
      info.tracks[t].freqAdjust = source.tracks[t].freqAdjust;
  }
  if (flags & InfoWaveNumber) {
    for (int t = 0; t < kTrackCount; ++t) info.tracks[t].waveNumber = source.tracks[t].waveNumber;
  }
  if (flags & InfoOneShot) {
    for (int t = 0; t < kTrackCount; ++t) info.tracks[t].oneShot = source.tracks[t].oneShot;
  }
  return true;
}

void Song::CopyInfo(SongInfo& destination) const {
  destination.tickWait = info.tickWait;
  destination.beatsPerMeasure = info.beatsPerMeasure;
  destination.stepsPerBeat = info.stepsPerBeat;
  destination.noteCapacity = info.noteCapacity;
  destination.repeatStart = info.repeatStart;
  destination.repeatEnd = info.repeatEnd;
  for (int t = 0; t < kTrackCount; ++t) {
    destination.tracks[t].freqAdjust = info.tracks[t].freqAdjust;
    destination.tracks[t].waveNumber = info.tracks[t].waveNumber;
    destination.tracks[t].oneShot = info.tracks[t].oneShot;
  }
}

void Song::Seek(int32_t position) {
  for (int t = 0; t < kTrackCount; ++t) {
    NoteEvent* cursor = info.tracks[t].firstNote;
    while (cursor != nullptr && cursor->position < position) cursor = cursor->next;
    trackCursor[t] = cursor;
  }
  playPosition = position;
}

void ResetSongForTests() {
  for (TrackInfo& track : theSong.info.tracks) delete[] track.notePool;
  theSong.info = SongInfo{};
  for (int8_t& mute : theSong.trackMute) mute = 0;
  for (NoteEvent*& cursor : trackCursor) cursor = nullptr;
  playPosition = 0;
}
