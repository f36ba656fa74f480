#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"
#include "resources/embedded.h"
#include "shell/song_table.h"
#include "tools/songc/songc.h"

namespace {

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> SongSources() {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::directory_iterator(VEXOLIN_SONGS_DIR))
    if (e.path().extension() == ".song") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

unsigned U16(const std::vector<uint8_t>& b, size_t o) {
  return b[o] | (b[o + 1] << 8);
}
int32_t I32(const std::vector<uint8_t>& b, size_t o) {
  return static_cast<int32_t>(b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) |
                              (static_cast<uint32_t>(b[o + 3]) << 24));
}

// One song image against the values every built-in song keeps to.
void CheckBuiltinImage(const std::string& name, const std::vector<uint8_t>& b) {
  SCOPED_TRACE(name);
  ASSERT_GE(b.size(), 114u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "Qek-02");
  unsigned tickWait = U16(b, 6);
  EXPECT_GE(tickWait, 86u);
  EXPECT_LE(tickWait, 160u);
  EXPECT_EQ(b[8], 4);
  EXPECT_TRUE(b[9] == 3 || b[9] == 4 || b[9] == 6) << int(b[9]);
  int measure = b[8] * b[9];
  int32_t rs = I32(b, 10), re = I32(b, 14);
  EXPECT_GE(rs, 0);
  EXPECT_LE(rs, 192);
  EXPECT_GE(re, 192);
  EXPECT_LE(re, 1464);
  EXPECT_EQ(rs % measure, 0);
  EXPECT_EQ(re % measure, 0);
  double pass = re * tickWait / 1000.0;
  EXPECT_GE(pass, 40.0);
  EXPECT_LE(pass, 150.0);
  size_t total = 0;
  for (int t = 0; t < 16; ++t) total += U16(b, 18 + 6 * t + 4);
  // Consumed exactly to the last byte.
  ASSERT_EQ(b.size(), 114 + 8 * total);
  size_t data = 114;
  bool anyDrums = false, anyMelody = false;
  for (int t = 0; t < 16; ++t) {
    size_t rec = 18 + 6 * t;
    unsigned adjust = U16(b, rec), wave = b[rec + 2], oneShot = b[rec + 3], n = U16(b, rec + 4);
    bool drum = t >= 8;
    SCOPED_TRACE("track " + std::to_string(t));
    EXPECT_EQ(oneShot, 0u);
    EXPECT_LE(n, 624u);
    if (drum) {
      EXPECT_EQ(adjust, 1000u);
      EXPECT_LE(wave, 10u);
      anyDrums |= n > 0;
    } else {
      EXPECT_GE(adjust, 700u);
      EXPECT_LE(adjust, 1000u);
      EXPECT_LE(wave, 99u);
      anyMelody |= n > 0;
    }
    int32_t prev = -1;
    for (unsigned i = 0; i < n; ++i) {
      int32_t pos = I32(b, data + 4 * i);
      unsigned key = b[data + 4 * n + i], len = b[data + 5 * n + i];
      unsigned vol = b[data + 6 * n + i], pan = b[data + 7 * n + i];
      EXPECT_GT(pos, prev);
      EXPECT_LE(pos, 1464);
      prev = pos;
      EXPECT_TRUE(key == 255 || (key >= 2 && key <= 74)) << key;
      if (drum || key == 255)
        EXPECT_EQ(len, 1u);
      else
        EXPECT_TRUE(len >= 1 && len <= 32) << len;
      EXPECT_TRUE(vol == 255 || vol <= 248) << vol;
      EXPECT_TRUE(pan == 255 || pan <= 12) << pan;
    }
    data += 8 * n;
  }
  EXPECT_TRUE(anyDrums);
  EXPECT_TRUE(anyMelody);
}

TEST(BuiltinSongs, CompileCleanWithinRangesAndRoundTrip) {
  auto sources = SongSources();
  ASSERT_FALSE(sources.empty());
  for (const auto& path : sources) {
    std::string name = path.stem().string();
    EXPECT_LE(name.size(), 7u) << name;
    songc::CompileResult r = songc::Compile(ReadText(path), path.string());
    ASSERT_TRUE(r.ok) << (r.errors.empty() ? "" : r.errors[0].Format());
    for (const auto& w : r.warnings) ADD_FAILURE() << "warning: " << w.Format();
    CheckBuiltinImage(name, r.image);
    // text -> binary -> text -> binary gives the same bytes.
    std::string text, reason;
    ASSERT_TRUE(songc::Decompile(r.image, &text, &reason)) << reason;
    songc::CompileResult again = songc::Compile(text, name + ".decompiled");
    ASSERT_TRUE(again.ok) << (again.errors.empty() ? "" : again.errors[0].Format());
    EXPECT_EQ(again.image, r.image) << name;
  }
}

// The resource script embeds exactly the songs there are sources for, as they compile.
TEST(BuiltinSongs, EverySourceIsEmbeddedAsItCompiles) {
  RegisterEmbeddedResources();
  std::set<std::string> names;
  for (const auto& path : SongSources()) {
    std::string name = path.stem().string();
    names.insert(name);
    songc::CompileResult r = songc::Compile(ReadText(path), path.string());
    ASSERT_TRUE(r.ok) << name;
    platform::ResourceData embedded;
    ASSERT_TRUE(platform::FindResource("QEK", name.c_str(), &embedded))
        << name << " is not in the resource script";
    EXPECT_EQ(std::vector<uint8_t>(embedded.data, embedded.data + embedded.size), r.image) << name;
  }
  for (const auto& resource : platform::ListResources()) {
    if (std::string_view(resource.type) != "QEK") continue;
    EXPECT_EQ(names.count(resource.name), 1u) << resource.name;
  }
}

TEST(SongCompiler, NotationValuesAndLayout) {
  const char* text =
      "tickwait 100\nrhythm 4 3\nrepeat 1 2\n"
      "pattern p\n  c3:3 d#3:2+1 r:3\nend\n"
      "track 0 wave 17 adjust 990\n  v200 p4 @p @p+12 eb3:6,2 | -:6\n"
      "track 9 drum Snare01\n  x:6 v80 r:6 k30\n";
  songc::CompileResult r = songc::Compile(text, "t.song");
  ASSERT_TRUE(r.ok) << r.errors[0].Format();
  const auto& b = r.image;
  ASSERT_EQ(b.size(), 114u + 8 * (6 + 3));
  EXPECT_EQ(U16(b, 6), 100u);
  EXPECT_EQ(b[8], 4);
  EXPECT_EQ(b[9], 3);
  EXPECT_EQ(I32(b, 10), 12);
  EXPECT_EQ(I32(b, 14), 24);
  EXPECT_EQ(U16(b, 18), 990u);
  EXPECT_EQ(b[20], 17);
  EXPECT_EQ(U16(b, 22), 6u);
  EXPECT_EQ(b[18 + 6 * 9 + 2], 2);  // Snare01
  EXPECT_EQ(U16(b, 18 + 6 * 9 + 4), 3u);
  EXPECT_EQ(U16(b, 18 + 6 * 1), 1000u);  // undeclared tracks keep the defaults
  size_t d = 114;
  const int32_t pos[6] = {0, 3, 9, 12, 18, 24};
  const uint8_t key[6] = {36, 39, 48, 51, 39, 255};
  const uint8_t len[6] = {3, 3, 3, 3, 2, 1};  // no key: sounds 1 tick
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(I32(b, d + 4 * i), pos[i]) << i;
    EXPECT_EQ(b[d + 24 + i], key[i]) << i;
    EXPECT_EQ(b[d + 30 + i], len[i]) << i;
    EXPECT_EQ(b[d + 36 + i], i == 0 ? 200 : 255) << i;
    EXPECT_EQ(b[d + 42 + i], i == 0 ? 4 : 255) << i;
  }
  d += 48;
  // Drum track: a hit, a rest carrying a volume change (an event without key), a key-30 hit.
  EXPECT_EQ(I32(b, d), 0);
  EXPECT_EQ(I32(b, d + 4), 6);
  EXPECT_EQ(I32(b, d + 8), 12);
  EXPECT_EQ(b[d + 12], 27);
  EXPECT_EQ(b[d + 13], 255);
  EXPECT_EQ(b[d + 14], 30);
  EXPECT_EQ(b[d + 15], 1);
  EXPECT_EQ(b[d + 16], 1);
  EXPECT_EQ(b[d + 17], 1);
  EXPECT_EQ(b[d + 19], 80);
}

TEST(SongCompiler, ErrorsNameFileLineAndColumn) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"track 0\n  c3:4 h3\n", "bad.song:2:8: unknown word 'h3'"},
      {"track 0\n  c8:4\n", "bad.song:2:3: octave must be 0 to 7"},
      {"rhythm 4 4\ntrack 0\n  c3:4 | d3\n", "bad.song:3:8: bar line at step 4 of measure 1"},
      {"track 0\n  @nope\n", "bad.song:2:3: unknown pattern 'nope'"},
      {"track 16\n", "bad.song:1:7: track number must be 0 to 15"},
      {"track 0\n  v256 c3\n", "bad.song:2:3: volume must be 0 to 255"},
      {"c3:4\n", "bad.song:1:1: 'c3:4' outside a track or pattern"},
      {"pattern a\n  c3\n", "bad.song:1:1: pattern 'a' has no 'end'"},
      {"track 9 drum Cowbell\n", "bad.song:1:14: unknown drum 'Cowbell'"},
      {"track 0\n  c3:0\n", "bad.song:2:3: length must be at least 1 step"},
      {"track 0\n  c3:300\n",
       "bad.song:2:3: a note sounds at most 255 ticks; split it or give ',G'"},
  };
  for (const auto& c : cases) {
    songc::CompileResult r = songc::Compile(c.text, "bad.song");
    EXPECT_FALSE(r.ok) << c.text;
    ASSERT_EQ(r.errors.size(), 1u) << c.text;
    EXPECT_EQ(r.errors[0].Format(), c.expected);
    EXPECT_TRUE(r.image.empty());
  }
}

TEST(SongCompiler, ListenerWarnings) {
  auto warnings = [](const std::string& text) {
    songc::CompileResult r = songc::Compile(text, "w.song");
    EXPECT_TRUE(r.ok);
    std::vector<std::string> out;
    // The cases share a two-measure loop, shorter than the built-in songs keep to; its
    // warning is checked on its own below.
    for (const auto& w : r.warnings)
      if (w.message.find("repeat end outside") == std::string::npos) out.push_back(w.Format());
    return out;
  };
  std::string head = "rhythm 4 4\nrepeat 0 2\n";
  EXPECT_EQ(songc::Compile(head, "w.song").warnings.at(0).Format(),
            "w.song:2:1: repeat end outside ticks 192 to 1464");
  // Clean: a fifth, loop back to the same bass, drums steady.
  EXPECT_TRUE(
      warnings(head +
               "track 0\n  c3:16 c3:16\ntrack 1\n  g3:16 g3:16\ntrack 8\n  x:4 x x x x x x x\n")
          .empty());
  // A semitone struck on a beat start, and a minor ninth.
  auto w = warnings(head + "track 0\n  c3:16 c3:16\ntrack 1\n  r:4 c#3:12 c#4:16\n");
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0], "w.song:6:7: tracks 0 and 1 sound a semitone apart on the beat at measure 1");
  EXPECT_EQ(w[1], "w.song:4:9: tracks 0 and 1 sound a minor ninth apart on the beat at measure 2");
  // Off the beat it is a passing note: no warning.
  EXPECT_TRUE(warnings(head + "track 0\n  c3:16 c3:16\ntrack 1\n  r:2 b2:2 g3:12 g3:16\n").empty());
  // A note held across the repeat end.
  w = warnings(head + "track 0\n  c3:16 r:8 c3:16\n");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0], "w.song:4:13: note held across the repeat end");
  // Drums whose gap across the wrap never occurs in the loop.
  w = warnings(head + "track 0\n  c3:16 c3:16\ntrack 8\n  x:4 x x x x x x:2 x:6\n");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("drum track 8 jumps at the loop point"), std::string::npos) << w[0];
  // Harmony that does not lead back: bass ends a tritone away from where the loop starts.
  w = warnings(head + "track 0\n  c3:16 f#3:16\n");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("harmony jumps at the loop point"), std::string::npos) << w[0];
  // Values outside what the built-in songs use (the 40-tick note also crosses the repeat end).
  w = warnings(head + "track 0\n  c3:16 c3:8,40 r:8\ntrack 8\n  x:16,2 v250 x:16\n");
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0], "w.song:4:9: note longer than 32 ticks");
  EXPECT_EQ(w[1], "w.song:6:3: drum events sound for 1 tick");
  EXPECT_EQ(w[2], "w.song:6:15: volume above 248");
}

TEST(SongCompiler, HeaderAndTrackSettingsOutsideTheBuiltinRanges) {
  auto warnings = [](const std::string& text) {
    songc::CompileResult r = songc::Compile(text, "r.song");
    EXPECT_TRUE(r.ok) << text;
    std::vector<std::string> out;
    for (const auto& w : r.warnings) out.push_back(w.Format());
    return out;
  };
  // At the edges of every range: clean.
  EXPECT_TRUE(warnings("tickwait 86\nrhythm 4 3\nrepeat 16 122\n"
                       "track 0 wave 99 adjust 700\n  k2:12 k74:12\ntrack 15 drum Bass03\n  x:3\n")
                  .empty());
  EXPECT_TRUE(warnings("tickwait 160\nrhythm 4 6\nrepeat 8 61\ntrack 7 adjust 1000\n").empty());
  // Just outside them.
  auto w = warnings(
      "tickwait 85\nrhythm 3 5\nrepeatticks 10 1465\n"
      "track 0 wave 100 adjust 699\ntrack 1 adjust 1001 oneshot 1\n"
      "track 8 drum Tom02 adjust 999\n");
  EXPECT_EQ(w, (std::vector<std::string>{
                   "r.song:1:1: tick wait outside 86 to 160",
                   "r.song:2:1: not 4 beats per measure",
                   "r.song:2:1: steps per beat not 3, 4 or 6",
                   "r.song:3:1: repeat range not in whole measures",
                   "r.song:3:1: repeat end outside ticks 192 to 1464",
                   "r.song:4:1: waveform number above 99",
                   "r.song:4:1: adjust outside 700 to 1000",
                   "r.song:5:1: adjust outside 700 to 1000",
                   "r.song:5:1: one-shot track",
                   "r.song:6:1: drum number above 10",
                   "r.song:6:1: drum tracks keep adjust 1000",
               }));
  w = warnings("tickwait 161\nrepeat 13 14\ntrack 0\n  r:1464 c3:1 v10 -:2\n");
  EXPECT_EQ(w, (std::vector<std::string>{
                   "r.song:1:1: tick wait outside 86 to 160",
                   "r.song:2:1: repeat start beyond tick 192",
                   "r.song:4:19: event beyond tick 1464",
               }));
}

TEST(SongCompiler, DecompileRefusesBrokenImages) {
  songc::CompileResult r = songc::Compile("repeat 0 1\ntrack 0\n  c3:4 d3 e3 f3\n", "x.song");
  ASSERT_TRUE(r.ok);
  std::string text, reason;
  std::vector<uint8_t> b = r.image;
  EXPECT_TRUE(songc::Decompile(b, &text, &reason));
  std::vector<uint8_t> shortImage(b.begin(), b.end() - 1);
  EXPECT_FALSE(songc::Decompile(shortImage, &text, &reason));
  std::vector<uint8_t> longImage = b;
  longImage.push_back(0);
  EXPECT_FALSE(songc::Decompile(longImage, &text, &reason));
  std::vector<uint8_t> header(b.begin(), b.begin() + 100);
  EXPECT_FALSE(songc::Decompile(header, &text, &reason));
  std::vector<uint8_t> mark = b;
  mark[5] = '3';
  EXPECT_FALSE(songc::Decompile(mark, &text, &reason));
  std::vector<uint8_t> order = b;
  order[114 + 4] = 9;  // second position after the third
  EXPECT_FALSE(songc::Decompile(order, &text, &reason));
  EXPECT_NE(reason.find("do not increase"), std::string::npos) << reason;
}

TEST(SongTable, RowsIdsTitlesAndSongs) {
  std::vector<songc::TableRow> rows;
  std::vector<songc::Diagnostic> errors;
  std::string tablePath = std::string(VEXOLIN_SONGS_DIR) + "/table.txt";
  ASSERT_TRUE(songc::ParseTable(ReadText(tablePath), tablePath, &rows, &errors));
  const int ids[15] = {40027, 40026, 40025, 40024, 40023, 40022, 40021, 40020,
                       40019, 40018, 40016, 40015, 40014, 40013, 40005};
  std::set<std::string> songs;
  for (const auto& p : SongSources()) songs.insert(p.stem().string());
  std::set<std::string> used, titles;
  for (int row = 0; row < kSongCount; ++row) {
    const SongEntry& e = songTable[row];
    SCOPED_TRACE(row);
    EXPECT_EQ(e.commandId, ids[row]);
    size_t len = strnlen(e.title, sizeof e.title);
    ASSERT_LT(len, sizeof e.title);
    EXPECT_LE(len, 17u);
    EXPECT_EQ(std::string(e.title, 3), "\x81\xf4 ");  // "♪ " in Shift-JIS
    EXPECT_EQ(std::string(e.title), rows[row].titleShiftJis);
    size_t nameLen = strnlen(e.resourceName, sizeof e.resourceName);
    ASSERT_LT(nameLen, sizeof e.resourceName);
    EXPECT_GE(nameLen, 1u);
    EXPECT_LE(nameLen, 7u);
    EXPECT_TRUE(songs.count(e.resourceName)) << e.resourceName;
    used.insert(e.resourceName);
    titles.insert(e.title);
  }
  // Fifteen songs: every row its own song and title, and every song source in the table.
  EXPECT_EQ(used.size(), static_cast<size_t>(kSongCount));
  EXPECT_EQ(titles.size(), static_cast<size_t>(kSongCount));
  EXPECT_EQ(used, songs);
  // The table source's own checks.
  auto fails = [](const std::string& text) {
    std::vector<songc::TableRow> r;
    std::vector<songc::Diagnostic> e;
    bool ok = songc::ParseTable(text, "t.txt", &r, &e);
    return ok ? std::string() : e[0].Format();
  };
  std::string full;
  for (int i = 0; i < 15; ++i) full += std::to_string(i) + " s" + std::to_string(i) + " ♪ あ\n";
  EXPECT_EQ(fails(full), "");
  EXPECT_EQ(fails(full + "3 x ♪ い\n"), "t.txt:16:1: row 3 appears twice");
  EXPECT_EQ(fails("15 a ♪ あ\n"), "t.txt:1:1: row must be 0 to 14");
  EXPECT_EQ(fails("0 toolong1 ♪ あ\n"),
            "t.txt:1:3: resource name must be 1 to 7 letters, digits or '_'");
  EXPECT_EQ(fails("0 a ♪ あいうえおかきく\n"),
            "t.txt:1:5: title is 19 bytes in Shift-JIS; at most 17");
  EXPECT_EQ(fails("0 a あ\n"), "t.txt:1:5: title must begin with \"♪ \"");
  EXPECT_EQ(fails("0 a ♪ \xf0\x9f\x8e\xb5\n"), "t.txt:1:5: title does not convert to Shift-JIS");
  EXPECT_EQ(fails("0 a ♪ あ\n"), "t.txt:1:1: row 1 is missing");
  EXPECT_EQ(songc::CommandIdForRow(14), 40005);
  EXPECT_EQ(songc::CommandIdForRow(15), -1);
}

}  // namespace
