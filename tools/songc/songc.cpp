#include "tools/songc/songc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "platform/text.h"

namespace songc {
namespace {

constexpr int kTracks = 16;
constexpr int kMelodyTracks = 8;
constexpr int kMaxEvents = 4096;
constexpr int kDrumKey = 27;  // the drum sample's natural pitch
constexpr const char* kDrumNames[12] = {"Bass01", "Bass02",  "Snare01", "Snare02",
                                        "Tom01",  "HiClose", "HiOpen",  "Crash",
                                        "Per01",  "Per02",   "Bass03",  "Tom02"};
constexpr const char* kNoteNames[12] = {"c",  "c#", "d",  "d#", "e",  "f",
                                        "f#", "g",  "g#", "a",  "a#", "b"};

struct Token {
  std::string text;
  int line;
  int column;
};

struct Event {
  int32_t position;
  uint8_t key, length, volume, pan;
  int line, column;
};

struct Track {
  bool declared = false;
  uint16_t freqAdjust = 1000;
  uint8_t waveNumber = 0;
  uint8_t oneShot = 0;
  std::vector<Event> events;
  int32_t position = 0;
  int lastLength = -1;
  int pendingVolume = 255;
  int pendingPan = 255;
  int line = 0;
};

struct Failure {
  Diagnostic diagnostic;
};

bool ParseInt(const std::string& s, long* value) {
  if (s.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  long v = 0;
  for (; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = v * 10 + (s[i] - '0');
    if (v > 100000000) return false;
  }
  *value = negative ? -v : v;
  return true;
}

class Compiler {
 public:
  Compiler(const std::string& file) : file_(file) {}

  CompileResult Run(const std::string& text) {
    CompileResult result;
    try {
      Parse(text);
      Check();
      result.image = Build();
      result.ok = true;
    } catch (const Failure& f) {
      result.errors.push_back(f.diagnostic);
    }
    result.warnings = warnings_;
    return result;
  }

 private:
  [[noreturn]] void Fail(const Token& t, const std::string& message) {
    throw Failure{Diagnostic{file_, t.line, t.column, message}};
  }
  void Warn(int line, int column, const std::string& message) {
    warnings_.push_back(Diagnostic{file_, line, column, message});
  }

  long Number(const Token& t, const std::string& s, long lo, long hi, const char* what) {
    long v;
    if (!ParseInt(s, &v)) Fail(t, std::string("expected a number for ") + what);
    if (v < lo || v > hi)
      Fail(t, std::string(what) + " must be " + std::to_string(lo) + " to " + std::to_string(hi));
    return v;
  }

  void Parse(const std::string& text) {
    std::vector<std::vector<Token>> lines;
    int lineNo = 0;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<Token> tokens;
      size_t i = 0;
      while (i < line.size()) {
        if (line[i] == '#') break;
        if (line[i] == ' ' || line[i] == '\t') {
          ++i;
          continue;
        }
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t')
          ++j;  // '#' inside a word is a sharp
        tokens.push_back(Token{line.substr(i, j - i), lineNo, static_cast<int>(i) + 1});
        i = j;
      }
      if (!tokens.empty()) HandleLine(tokens, line);
      if (end == text.size()) break;
      start = end + 1;
    }
    if (inPattern_) Fail(patternStart_, "pattern '" + patternName_ + "' has no 'end'");
  }

  void HandleLine(std::vector<Token>& tokens, const std::string& raw) {
    const Token& head = tokens[0];
    const std::string& w = head.text;
    if (inPattern_) {
      if (w == "end" && tokens.size() == 1) {
        inPattern_ = false;
        return;
      }
      if (w == "pattern" || w == "track")
        Fail(head, "'" + w + "' inside pattern '" + patternName_ + "'; close it with 'end'");
      auto& body = patterns_[patternName_];
      body.insert(body.end(), tokens.begin(), tokens.end());
      return;
    }
    if (w == "title" || w == "name") {
      (void)raw;  // for reference only: the song table holds the titles
      return;
    }
    if (w == "tickwait") {
      Expect(tokens, 2);
      tickWait_ = static_cast<uint16_t>(Number(tokens[1], tokens[1].text, 1, 65535, "tick wait"));
      tickWaitLine_ = head.line;
      return;
    }
    if (w == "rhythm") {
      Expect(tokens, 3);
      if (anyEvents_) Fail(head, "'rhythm' must come before the tracks");
      beats_ = static_cast<uint8_t>(Number(tokens[1], tokens[1].text, 1, 255, "beats per measure"));
      steps_ = static_cast<uint8_t>(Number(tokens[2], tokens[2].text, 1, 255, "steps per beat"));
      rhythmLine_ = head.line;
      return;
    }
    if (w == "repeat" || w == "repeatticks") {
      Expect(tokens, 3);
      long unit = w == "repeat" ? beats_ * steps_ : 1;
      long a = Number(tokens[1], tokens[1].text, 0, 1000000, "repeat start");
      long b = Number(tokens[2], tokens[2].text, 0, 1000000, "repeat end");
      if (b < a) Fail(tokens[2], "repeat end lies before repeat start");
      repeatStart_ = static_cast<int32_t>(a * unit);
      repeatEnd_ = static_cast<int32_t>(b * unit);
      repeatLine_ = head.line;
      return;
    }
    if (w == "pattern") {
      Expect(tokens, 2);
      const std::string& n = tokens[1].text;
      for (char c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
          Fail(tokens[1], "pattern names use letters, digits and '_'");
      if (patterns_.count(n)) Fail(tokens[1], "pattern '" + n + "' is defined twice");
      patterns_[n];
      inPattern_ = true;
      patternName_ = n;
      patternStart_ = head;
      return;
    }
    if (w == "end") Fail(head, "'end' without 'pattern'");
    if (w == "track") {
      if (tokens.size() < 2) Fail(head, "'track' needs a track number 0 to 15");
      int n = static_cast<int>(Number(tokens[1], tokens[1].text, 0, 15, "track number"));
      Track& t = tracks_[n];
      if (t.declared) Fail(tokens[1], "track " + std::to_string(n) + " is declared twice");
      t.declared = true;
      t.line = head.line;
      bool drum = n >= kMelodyTracks;
      for (size_t i = 2; i < tokens.size(); i += 2) {
        const std::string& k = tokens[i].text;
        if (i + 1 >= tokens.size()) Fail(tokens[i], "'" + k + "' needs a value");
        const Token& v = tokens[i + 1];
        if (k == "wave") {
          t.waveNumber = static_cast<uint8_t>(Number(v, v.text, 0, 255, "wave number"));
        } else if (k == "drum") {
          if (!drum) Fail(tokens[i], "'drum' is for drum tracks 8 to 15");
          int found = -1;
          for (int d = 0; d < 12; ++d)
            if (v.text == kDrumNames[d]) found = d;
          if (found < 0) Fail(v, "unknown drum '" + v.text + "'");
          t.waveNumber = static_cast<uint8_t>(found);
        } else if (k == "adjust") {
          t.freqAdjust = static_cast<uint16_t>(Number(v, v.text, 0, 65535, "frequency adjustment"));
        } else if (k == "oneshot") {
          t.oneShot = static_cast<uint8_t>(Number(v, v.text, 0, 255, "one-shot"));
        } else {
          Fail(tokens[i], "unknown track setting '" + k + "'");
        }
      }
      current_ = n;
      return;
    }
    if (current_ < 0) Fail(head, "'" + w + "' outside a track or pattern");
    for (const Token& t : tokens) Body(t, 0, 0);
  }

  void Expect(const std::vector<Token>& tokens, size_t n) {
    if (tokens.size() != n)
      Fail(tokens[0], "'" + tokens[0].text + "' takes " + std::to_string(n - 1) + " value(s)");
  }

  // Length part "N", "N+M..." (tie), optionally ",G" for the sounding length in ticks.
  void ParseLength(const Token& t, const std::string& s, int* advance, int* gate) {
    std::string a = s, g;
    size_t comma = s.find(',');
    if (comma != std::string::npos) {
      a = s.substr(0, comma);
      g = s.substr(comma + 1);
      if (g.empty()) Fail(t, "missing sounding length after ','");
    }
    long total = 0;
    size_t p = 0;
    while (true) {
      size_t plus = a.find('+', p);
      std::string part = a.substr(p, plus == std::string::npos ? std::string::npos : plus - p);
      long v;
      if (!ParseInt(part, &v) || part[0] == '+' || part[0] == '-')
        Fail(t, "bad length '" + s + "'");
      total += v;
      if (plus == std::string::npos) break;
      p = plus + 1;
    }
    if (total < 1 || total > 100000) Fail(t, "length must be at least 1 step");
    *advance = static_cast<int>(total);
    *gate = -1;
    if (!g.empty()) *gate = static_cast<int>(Number(t, g, 0, 255, "sounding length"));
  }

  void Emit(const Token& t, int key, int advance, int gate) {
    Track& tr = tracks_[current_];
    bool drum = current_ >= kMelodyTracks;
    if (gate < 0) gate = (drum || key == 255) ? 1 : advance;
    if (gate > 255) Fail(t, "a note sounds at most 255 ticks; split it or give ',G'");
    if (static_cast<int>(tr.events.size()) >= kMaxEvents)
      Fail(t, "more than 4096 events in one track");
    tr.events.push_back(Event{tr.position, static_cast<uint8_t>(key), static_cast<uint8_t>(gate),
                              static_cast<uint8_t>(tr.pendingVolume),
                              static_cast<uint8_t>(tr.pendingPan), t.line, t.column});
    tr.pendingVolume = tr.pendingPan = 255;
    tr.position += advance;
    anyEvents_ = true;
  }

  void Body(const Token& t, int transpose, int depth) {
    const std::string& s = t.text;
    Track& tr = tracks_[current_];
    if (s == "|") {
      int measure = beats_ * steps_;
      if (tr.position % measure != 0)
        Fail(t, "bar line at step " + std::to_string(tr.position % measure) + " of measure " +
                    std::to_string(tr.position / measure + 1));
      return;
    }
    if (s[0] == '@') {
      if (depth >= 16) Fail(t, "patterns nest too deeply");
      std::string rest = s.substr(1);
      int times = 1, shift = 0;
      size_t star = rest.find('*');
      if (star != std::string::npos) {
        times = static_cast<int>(Number(t, rest.substr(star + 1), 1, 64, "repeat count"));
        rest = rest.substr(0, star);
      }
      size_t sign = rest.find_first_of("+-");
      if (sign != std::string::npos) {
        shift = static_cast<int>(Number(t, rest.substr(sign), -96, 96, "transposition"));
        rest = rest.substr(0, sign);
      }
      auto it = patterns_.find(rest);
      if (it == patterns_.end()) Fail(t, "unknown pattern '" + rest + "'");
      if (it->first == patternName_ && inPattern_) Fail(t, "pattern uses itself");
      for (int i = 0; i < times; ++i)
        for (const Token& inner : it->second) Body(inner, transpose + shift, depth + 1);
      return;
    }
    if (s[0] == 'v' && s.size() > 1 && std::isdigit(static_cast<unsigned char>(s[1]))) {
      tr.pendingVolume = static_cast<int>(Number(t, s.substr(1), 0, 255, "volume"));
      return;
    }
    if (s[0] == 'p' && s.size() > 1 && std::isdigit(static_cast<unsigned char>(s[1]))) {
      tr.pendingPan = static_cast<int>(Number(t, s.substr(1), 0, 255, "pan"));
      return;
    }
    std::string head = s, len;
    size_t colon = s.find(':');
    if (colon != std::string::npos) {
      head = s.substr(0, colon);
      len = s.substr(colon + 1);
      if (len.empty()) Fail(t, "missing length after ':'");
    }
    int advance, gate = -1;
    if (!len.empty()) {
      ParseLength(t, len, &advance, &gate);
      tr.lastLength = advance;
    } else {
      if (tr.lastLength < 0) tr.lastLength = steps_;
      advance = tr.lastLength;
    }
    if (head == "r") {
      if (gate >= 0) Fail(t, "a rest has no sounding length");
      if (tr.pendingVolume != 255 || tr.pendingPan != 255) {
        Emit(t, 255, advance, 1);
      } else {
        tr.position += advance;
      }
      return;
    }
    if (head == "-") {
      Emit(t, 255, advance, gate);
      return;
    }
    int key;
    if (head == "x") {
      key = kDrumKey;
    } else if (head[0] == 'k' && head.size() > 1) {
      key = static_cast<int>(Number(t, head.substr(1), 0, 254, "key"));
    } else {
      static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
      char c = head[0];
      if (c < 'a' || c > 'g') Fail(t, "unknown word '" + s + "'");
      key = base[c - 'a'];
      size_t i = 1;
      while (i < head.size() && (head[i] == '#' || head[i] == 'b'))
        key += head[i++] == '#' ? 1 : -1;
      if (i + 1 != head.size() || !std::isdigit(static_cast<unsigned char>(head[i])))
        Fail(t, "a note is a name, an optional '#' or 'b' and an octave 0 to 7: '" + s + "'");
      int octave = head[i] - '0';
      if (octave > 7) Fail(t, "octave must be 0 to 7");
      key += octave * 12;
    }
    key += transpose;
    if (key < 0 || key > 254) Fail(t, "key " + std::to_string(key) + " is outside 0 to 254");
    Emit(t, key, advance, gate);
  }

  void Check() {
    int measure = beats_ * steps_;
    // Values the juke-box's songs keep to.
    if (tickWait_ < 86 || tickWait_ > 160) Warn(tickWaitLine_, 1, "tick wait outside 86 to 160");
    if (beats_ != 4) Warn(rhythmLine_, 1, "not 4 beats per measure");
    if (steps_ != 3 && steps_ != 4 && steps_ != 6)
      Warn(rhythmLine_, 1, "steps per beat not 3, 4 or 6");
    if (repeatStart_ % measure != 0 || repeatEnd_ % measure != 0)
      Warn(repeatLine_, 1, "repeat range not in whole measures");
    if (repeatStart_ > 192) Warn(repeatLine_, 1, "repeat start beyond tick 192");
    if (repeatEnd_ < 192 || repeatEnd_ > 1464)
      Warn(repeatLine_, 1, "repeat end outside ticks 192 to 1464");
    for (int n = 0; n < kTracks; ++n) {
      const Track& tr = tracks_[n];
      bool drum = n >= kMelodyTracks;
      if (drum ? tr.waveNumber > 10 : tr.waveNumber > 99)
        Warn(tr.line, 1, drum ? "drum number above 10" : "waveform number above 99");
      if (drum ? tr.freqAdjust != 1000 : (tr.freqAdjust < 700 || tr.freqAdjust > 1000))
        Warn(tr.line, 1, drum ? "drum tracks keep adjust 1000" : "adjust outside 700 to 1000");
      if (tr.oneShot != 0) Warn(tr.line, 1, "one-shot track");
      for (const Event& e : tr.events) {
        if (e.position > 1464) Warn(e.line, e.column, "event beyond tick 1464");
        if (e.key != 255 && (e.key < 2 || e.key > 74))
          Warn(e.line, e.column, "key " + std::to_string(e.key) + " outside 2 to 74");
        if (e.volume != 255 && e.volume > 248) Warn(e.line, e.column, "volume above 248");
        if (e.pan != 255 && e.pan > 12) Warn(e.line, e.column, "pan above 12");
        if (drum && e.length != 1) Warn(e.line, e.column, "drum events sound for 1 tick");
        if (!drum && e.length > 32) Warn(e.line, e.column, "note longer than 32 ticks");
        if (!drum && e.length == 0 && e.key != 255) Warn(e.line, e.column, "note of length 0");
      }
      if (tr.events.size() > 624) Warn(tr.line, 1, "more than 624 events in the track");
    }
    if (repeatEnd_ <= repeatStart_) {
      Warn(repeatLine_, 1, "empty repeat range");
      return;
    }
    // Harsh intervals on beat starts between melody notes, one of them struck there.
    struct Sounding {
      int track;
      const Event* e;
    };
    int last = 0;
    for (int n = 0; n < kMelodyTracks; ++n)
      for (const Event& e : tracks_[n].events) last = std::max(last, e.position + e.length);
    std::set<std::pair<int, int>> reported;
    for (int beat = 0; beat < last; beat += steps_) {
      std::vector<Sounding> now;
      for (int n = 0; n < kMelodyTracks; ++n)
        for (const Event& e : tracks_[n].events)
          if (e.key != 255 && e.position <= beat && beat < e.position + e.length)
            now.push_back({n, &e});
      for (size_t i = 0; i < now.size(); ++i)
        for (size_t j = i + 1; j < now.size(); ++j) {
          const Event* a = now[i].e;
          const Event* b = now[j].e;
          if (a->position != beat && b->position != beat) continue;
          int d = std::abs(a->key - b->key);
          if (d != 1 && d != 11 && d != 13) continue;
          const Event* at = a->position == beat ? a : b;
          if (!reported.insert({at->line, beat}).second) continue;
          const char* what = d == 1 ? "a semitone" : d == 11 ? "a major seventh" : "a minor ninth";
          Warn(at->line, at->column,
               std::string("tracks ") + std::to_string(now[i].track) + " and " +
                   std::to_string(now[j].track) + " sound " + what +
                   " apart on the beat at measure " + std::to_string(beat / measure + 1));
        }
    }
    // The loop point: nothing held across the wrap, drums keep their pulse, harmony leads back.
    for (int n = 0; n < kMelodyTracks; ++n)
      for (const Event& e : tracks_[n].events)
        if (e.key != 255 && e.position < repeatEnd_ && e.position + e.length > repeatEnd_)
          Warn(e.line, e.column, "note held across the repeat end");
    for (int n = kMelodyTracks; n < kTracks; ++n) {
      std::vector<int> hits;
      for (const Event& e : tracks_[n].events)
        if (e.key != 255 && e.position >= repeatStart_ && e.position < repeatEnd_)
          hits.push_back(e.position);
      if (hits.size() < 2) continue;
      std::set<int> gaps;
      for (size_t i = 1; i < hits.size(); ++i) gaps.insert(hits[i] - hits[i - 1]);
      int across = (repeatEnd_ - hits.back()) + (hits.front() - repeatStart_);
      if (!gaps.count(across))
        Warn(repeatLine_, 1,
             "drum track " + std::to_string(n) + " jumps at the loop point: " +
                 std::to_string(across) + " ticks across the wrap, a gap it never plays otherwise");
    }
    auto lowest = [&](int from, int to) {
      int low = 999;
      for (int n = 0; n < kMelodyTracks; ++n)
        for (const Event& e : tracks_[n].events)
          if (e.key != 255 && e.position < to && e.position + e.length > from)
            low = std::min(low, static_cast<int>(e.key));
      return low;
    };
    int endBass = lowest(repeatEnd_ - steps_, repeatEnd_);
    int startBass = lowest(repeatStart_, repeatStart_ + 1);
    if (endBass != 999 && startBass != 999) {
      int up = ((startBass - endBass) % 12 + 12) % 12;
      // Back to the same root, or a fifth down / fourth up, a fourth down, or a step.
      if (up != 0 && up != 5 && up != 7 && up != 1 && up != 2 && up != 10 && up != 11)
        Warn(repeatLine_, 1,
             "the harmony jumps at the loop point: the bass moves " + std::to_string(up) +
                 " semitones from the repeat end back to the repeat start");
    }
  }

  std::vector<uint8_t> Build() {
    std::vector<uint8_t> out;
    auto u8 = [&](unsigned v) { out.push_back(static_cast<uint8_t>(v)); };
    auto u16 = [&](unsigned v) {
      u8(v & 0xff);
      u8((v >> 8) & 0xff);
    };
    auto i32 = [&](int32_t v) {
      uint32_t u = static_cast<uint32_t>(v);
      for (int i = 0; i < 4; ++i) u8((u >> (8 * i)) & 0xff);
    };
    for (char c : std::string("Qek-02")) u8(static_cast<uint8_t>(c));
    u16(tickWait_);
    u8(beats_);
    u8(steps_);
    i32(repeatStart_);
    i32(repeatEnd_);
    for (const Track& t : tracks_) {
      u16(t.freqAdjust);
      u8(t.waveNumber);
      u8(t.oneShot);
      u16(static_cast<unsigned>(t.events.size()));
    }
    for (const Track& t : tracks_) {
      for (const Event& e : t.events) i32(e.position);
      for (const Event& e : t.events) u8(e.key);
      for (const Event& e : t.events) u8(e.length);
      for (const Event& e : t.events) u8(e.volume);
      for (const Event& e : t.events) u8(e.pan);
    }
    return out;
  }

  std::string file_;
  std::vector<Diagnostic> warnings_;
  std::map<std::string, std::vector<Token>> patterns_;
  bool inPattern_ = false;
  std::string patternName_;
  Token patternStart_{};
  Track tracks_[kTracks];
  int current_ = -1;
  bool anyEvents_ = false;
  uint16_t tickWait_ = 120;
  uint8_t beats_ = 4, steps_ = 4;
  int32_t repeatStart_ = 0, repeatEnd_ = 0;
  int tickWaitLine_ = 1, rhythmLine_ = 1;
  int repeatLine_ = 1;
};

}  // namespace

std::string Diagnostic::Format() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

CompileResult Compile(const std::string& text, const std::string& file) {
  Compiler c(file);
  return c.Run(text);
}

bool Decompile(const std::vector<uint8_t>& image, std::string* text, std::string* reason) {
  auto fail = [&](const std::string& r) {
    if (reason) *reason = r;
    return false;
  };
  if (image.size() < 114) return fail("shorter than a song header (114 bytes)");
  if (std::string(image.begin(), image.begin() + 6) != "Qek-02")
    return fail("not a \"Qek-02\" song");
  auto u16 = [&](size_t o) { return static_cast<unsigned>(image[o] | (image[o + 1] << 8)); };
  auto i32 = [&](size_t o) {
    uint32_t u = image[o] | (image[o + 1] << 8) | (image[o + 2] << 16) |
                 (static_cast<uint32_t>(image[o + 3]) << 24);
    return static_cast<int32_t>(u);
  };
  size_t total = 0;
  for (int t = 0; t < kTracks; ++t) {
    unsigned n = u16(18 + 6 * t + 4);
    if (n > kMaxEvents) return fail("track " + std::to_string(t) + " has more than 4096 events");
    total += n;
  }
  if (image.size() != 114 + 8 * total)
    return fail("size " + std::to_string(image.size()) + " does not match the event counts (" +
                std::to_string(114 + 8 * total) + " bytes)");
  std::ostringstream o;
  unsigned beats = image[8], steps = image[9];
  int32_t rs = i32(10), re = i32(14);
  o << "# decompiled song\n";
  o << "tickwait " << u16(6) << "\n";
  o << "rhythm " << beats << " " << steps << "\n";
  int measure = static_cast<int>(beats * steps);
  if (beats == 0 || steps == 0) return fail("rhythm of 0");
  if (rs >= 0 && re >= rs && measure > 0 && rs % measure == 0 && re % measure == 0)
    o << "repeat " << rs / measure << " " << re / measure << "\n";
  else if (rs >= 0 && re >= rs)
    o << "repeatticks " << rs << " " << re << "\n";
  else
    return fail("repeat range " + std::to_string(rs) + " to " + std::to_string(re) +
                " cannot be written");
  size_t data = 114;
  for (int t = 0; t < kTracks; ++t) {
    size_t rec = 18 + 6 * t;
    unsigned n = u16(rec + 4);
    unsigned wave = image[rec + 2];
    o << "\ntrack " << t;
    if (t >= kMelodyTracks && wave < 12)
      o << " drum " << kDrumNames[wave];
    else
      o << " wave " << wave;
    o << " adjust " << u16(rec) << " oneshot " << static_cast<unsigned>(image[rec + 3]) << "\n";
    int32_t cur = 0;
    int perLine = 0;
    for (unsigned i = 0; i < n; ++i) {
      int32_t pos = i32(data + 4 * i);
      unsigned key = image[data + 4 * n + i];
      unsigned len = image[data + 5 * n + i];
      unsigned vol = image[data + 6 * n + i];
      unsigned pan = image[data + 7 * n + i];
      if (pos < cur) return fail("track " + std::to_string(t) + ": positions do not increase");
      if (perLine == 0) o << " ";
      if (pos > cur) o << " r:" << (pos - cur);
      if (vol != 255) o << " v" << vol;
      if (pan != 255) o << " p" << pan;
      int32_t advance = i + 1 < n ? i32(data + 4 * (i + 1)) - pos : std::max(1u, len);
      if (advance < 1) return fail("track " + std::to_string(t) + ": positions do not increase");
      o << " ";
      if (key == 255)
        o << "-";
      else if (key < 96)
        o << kNoteNames[key % 12] << key / 12;
      else
        o << "k" << key;
      o << ":" << advance << "," << len;
      cur = pos + advance;
      if (++perLine == 8) {
        o << "\n";
        perLine = 0;
      }
    }
    if (perLine) o << "\n";
    data += 8 * n;
  }
  *text = o.str();
  return true;
}

int CommandIdForRow(int row) {
  static const int ids[kTableRows] = {40027, 40026, 40025, 40024, 40023, 40022, 40021, 40020,
                                      40019, 40018, 40016, 40015, 40014, 40013, 40005};
  return row >= 0 && row < kTableRows ? ids[row] : -1;
}

bool ParseTable(const std::string& text, const std::string& file, std::vector<TableRow>* rows,
                std::vector<Diagnostic>* errors) {
  std::vector<TableRow> found(kTableRows);
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  auto err = [&](int col, const std::string& m) {
    errors->push_back(Diagnostic{file, lineNo, col, m});
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#') continue;
    size_t j = line.find_first_of(" \t", i);
    std::string rowText = line.substr(i, j == std::string::npos ? std::string::npos : j - i);
    long row;
    if (!ParseInt(rowText, &row) || row < 0 || row >= kTableRows) {
      err(static_cast<int>(i) + 1, "row must be 0 to 14");
      continue;
    }
    size_t k = j == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", j);
    if (k == std::string::npos) {
      err(static_cast<int>(line.size()) + 1, "missing resource name and title");
      continue;
    }
    size_t l = line.find_first_of(" \t", k);
    std::string name = line.substr(k, l == std::string::npos ? std::string::npos : l - k);
    bool nameOk = !name.empty() && name.size() <= 7;
    for (char c : name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') nameOk = false;
    if (!nameOk) {
      err(static_cast<int>(k) + 1, "resource name must be 1 to 7 letters, digits or '_'");
      continue;
    }
    size_t m = l == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", l);
    if (m == std::string::npos) {
      err(static_cast<int>(line.size()) + 1, "missing title");
      continue;
    }
    std::string title = line.substr(m);
    while (!title.empty() && (title.back() == ' ' || title.back() == '\t')) title.pop_back();
    std::string sjis;
    if (!platform::Utf8ToShiftJis(title, &sjis)) {
      err(static_cast<int>(m) + 1, "title does not convert to Shift-JIS");
      continue;
    }
    if (sjis.size() < 3 || static_cast<uint8_t>(sjis[0]) != 0x81 ||
        static_cast<uint8_t>(sjis[1]) != 0xf4 || sjis[2] != ' ') {
      err(static_cast<int>(m) + 1, "title must begin with \"♪ \"");
      continue;
    }
    if (sjis.size() > 17) {
      err(static_cast<int>(m) + 1,
          "title is " + std::to_string(sjis.size()) + " bytes in Shift-JIS; at most 17");
      continue;
    }
    if (found[row].row >= 0) {
      err(static_cast<int>(i) + 1, "row " + std::to_string(row) + " appears twice");
      continue;
    }
    found[row] = TableRow{static_cast<int>(row), name, title, sjis, lineNo};
  }
  for (int r = 0; r < kTableRows; ++r)
    if (found[r].row < 0) {
      lineNo = std::max(lineNo, 1);
      err(1, "row " + std::to_string(r) + " is missing");
    }
  if (!errors->empty()) return false;
  *rows = found;
  return true;
}

std::string TableSource(const std::vector<TableRow>& rows) {
  std::ostringstream o;
  o << "// Made at build time from the song table source; do not edit.\n";
  o << "#include \"shell/song_table.h\"\n\n";
  o << "const SongEntry songTable[kSongCount] = {\n";
  for (const TableRow& r : rows) {
    o << "    {\"";
    for (unsigned char c : r.titleShiftJis) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", c);
      o << buf;
    }
    o << "\", \"" << r.resourceName << "\", " << CommandIdForRow(r.row) << "},  // " << r.title
      << "\n";
  }
  o << "};\n";
  return o.str();
}

}  // namespace songc
