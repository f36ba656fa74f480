// The waveform table. Every waveform starts at phase 0 and, like a falling sine, most go
// negative first. Simple shapes (0-39) have one fall and one rise; richer ones (40-99) are
// sums of harmonics with sine phase, scaled to a peak near 60.
#include "tools/assets/waveforms.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace assets {
namespace {

constexpr double kPi = 3.14159265358979323846;
using Curve = std::array<double, kWaveformLength>;

// Phase of sample i in [0, 1).
double Phase(int i) {
  return i / static_cast<double>(kWaveformLength);
}

// Scales negative and positive halves separately to the given peaks.
Curve Scale(const Curve& c, double lowPeak, double highPeak) {
  double lo = 0, hi = 0;
  for (double v : c) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  Curve out{};
  for (int i = 0; i < kWaveformLength; ++i) {
    double v = c[i];
    out[i] = v < 0 ? (lo < 0 ? v / -lo * lowPeak : 0) : (hi > 0 ? v / hi * highPeak : 0);
  }
  return out;
}

// Sum of -sin harmonics: amplitude amps[k-1] for harmonic k (falls first).
Curve Harmonics(const std::vector<double>& amps) {
  Curve c{};
  for (int i = 0; i < kWaveformLength; ++i) {
    double x = 2 * kPi * Phase(i), v = 0;
    for (size_t k = 0; k < amps.size(); ++k) v -= amps[k] * std::sin((k + 1) * x);
    c[i] = v;
  }
  return c;
}

// Band-limited falling sawtooth (falls to mid-cycle, jumps up, falls back to 0), `n` harmonics with
// a gentle taper.
Curve Saw(int n, double taper) {
  std::vector<double> a(n);
  for (int k = 1; k <= n; ++k) a[k - 1] = -std::pow(-1.0, k) / k * std::pow(taper, k - 1);
  return Harmonics(a);
}

// Band-limited square low for the first half.
Curve Square(int n) {
  std::vector<double> a(n);
  for (int k = 1; k <= n; k += 2) a[k - 1] = 1.0 / k * (1 - 0.5 * k / (n + 1.0));
  return Harmonics(a);
}

// Pulse low for `duty` of the cycle then high, as a smoothed step shape (one fall, one rise).
Curve Pulse(double duty, double soft) {
  Curve c{};
  for (int i = 0; i < kWaveformLength; ++i) {
    double p = Phase(i);
    double down = std::tanh(p / soft) * std::tanh((duty - p) / soft);
    double up = std::tanh((p - duty) / soft) * std::tanh((1 - p) / soft);
    c[i] = p < duty ? -down : up;
  }
  return c;
}

struct Wave {
  Curve curve;
  std::string text;
};

std::vector<Wave> Build() {
  std::vector<Wave> w;
  auto add = [&](const Curve& c, double lo, double hi, std::string text) {
    w.push_back({Scale(c, lo, hi), std::move(text)});
  };
  // 0-9: sine family, peaks near 60.
  add(Harmonics({1}), 58, 64, "pure sine, soft flute-like tone");
  add(Harmonics({1, 0, 0.08}), 60, 60, "sine with a touch of third harmonic, ocarina");
  add(Harmonics({1, 0.15}), 60, 60, "sine leaning, slight second harmonic, warm");
  add(Harmonics({1, 0, -0.1}), 60, 60, "rounded sine, slightly squarish shoulders");
  add(Harmonics({1, 0.25, 0.05}), 60, 60, "skewed sine, mellow recorder");
  add(Harmonics({1, -0.2}), 60, 60, "sine with a steep start, gentle reed");
  add(Harmonics({1, 0, 0.15, 0, 0.05}), 58, 62, "full sine, light hollow colour");
  add(Harmonics({1, 0.3, 0.1, 0.03}), 60, 60, "soft sawtooth-sine blend, mellow horn");
  add(Harmonics({1, 0, -0.2, 0, 0.05}), 60, 60, "flattened sine, rounder than a square");
  add(Harmonics({1, 0.1, 0.05}), 56, 64, "sine with a fuller positive half, soft whistle");
  // 10-19: triangle family, peaks near 60 (10: -64..+72).
  {
    auto tri = [](double skew, double round) {
      Curve c{};
      for (int i = 0; i < kWaveformLength; ++i) {
        double p = Phase(i), v;
        double a = skew / 2, b = 1 - skew / 2;  // trough at a, peak at b
        if (p < a)
          v = -p / a;
        else if (p < b)
          v = -1 + 2 * (p - a) / (b - a);
        else
          v = 1 - (p - b) / (1 - b);
        c[i] = round > 0 ? std::tanh(v * round) : v;
      }
      return c;
    };
    add(tri(0.5, 0), 64, 72, "pure triangle, clear and slightly hollow");
    add(tri(0.5, 1.2), 60, 60, "rounded triangle, between triangle and sine");
    add(tri(0.4, 0), 60, 60, "triangle with a quick fall, a little brighter");
    add(tri(0.6, 0), 60, 60, "triangle with a slow fall, soft");
    add(tri(0.5, 2.5), 60, 60, "trapezoid, triangle with flat tops, woody");
    add(tri(0.3, 0), 60, 60, "steep triangle, tending to sawtooth, bright");
    add(tri(0.7, 0), 60, 60, "lazy triangle, tending to reverse sawtooth");
    add(tri(0.5, 4), 58, 62, "wide trapezoid, near square but soft edged");
    add(tri(0.45, 0.8), 60, 60, "gently rounded triangle, marimba-like");
    add(tri(0.55, 1.6), 60, 60, "rounded triangle with slow fall, soft flute");
  }
  // 20-29: square and pulse family, peaks near 35 (20: -34..+32).
  add(Pulse(0.5, 0.004), 34, 32, "square, low first half; hollow clarinet-like buzz");
  add(Square(15), 35, 35, "band-limited square, a little softer");
  add(Pulse(0.5, 0.03), 35, 35, "square with rounded edges, mellow");
  add(Pulse(0.25, 0.01), 35, 35, "pulse 25 %, nasal and bright");
  add(Pulse(0.375, 0.01), 35, 35, "pulse 37.5 %, between square and nasal pulse");
  add(Pulse(0.125, 0.01), 35, 35, "thin pulse 12.5 %, reedy and thin");
  add(Pulse(0.5, 0.08), 35, 35, "very soft square, near sine at low volume");
  add(Pulse(0.625, 0.01), 35, 35, "pulse 62.5 %, wide, hollow");
  add(Square(7), 35, 35, "square from 4 odd harmonics, soft clarinet");
  add(Pulse(0.3, 0.04), 35, 35, "rounded pulse 30 %, soft oboe-like");
  // 30-39: sawtooth family, peaks near 60.
  add(Saw(24, 0.97), 60, 60, "falling sawtooth, jump at mid-cycle; bright string-like");
  add(Saw(12, 0.95), 60, 60, "softer sawtooth, 12 harmonics, mellow strings");
  add(Saw(6, 0.9), 60, 60, "dark sawtooth, 6 harmonics, cello-like");
  add(Saw(32, 1.0), 58, 58, "full sawtooth, 32 harmonics, buzzy brass");
  add(Saw(18, 0.92), 60, 60, "warm sawtooth, analog-style lead");
  add(Saw(4, 0.8), 60, 60, "very dark sawtooth, near sine with a lean");
  add(Saw(10, 0.99), 60, 60, "sawtooth with 10 even-weighted harmonics, trumpet-like");
  add(Saw(20, 0.85), 60, 60, "filtered sawtooth, soft pad");
  add(Saw(8, 1.0), 60, 60, "plain 8-harmonic sawtooth, general purpose lead");
  add(Saw(28, 0.9), 60, 60, "sawtooth with rolled-off top, violin section");
  // 40-49: organ registrations (harmonics 1, 2, 3, 4, 6, 8).
  auto organ = [&](std::vector<double> d, std::string t) {
    std::vector<double> a(8, 0.0);
    const int k[] = {1, 2, 3, 4, 6, 8};
    for (size_t i = 0; i < d.size() && i < 6; ++i) a[k[i] - 1] = d[i];
    add(Harmonics(a), 60, 60, "organ: " + t);
  };
  organ({1, 0.8, 0.6}, "fundamental, octave and twelfth; full church flute");
  organ({1, 0, 0.7}, "fundamental and twelfth; hollow quint");
  organ({1, 1, 0, 0.6}, "unison, octave, fifteenth; bright principal");
  organ({1, 0.5, 0.5, 0.5, 0.3, 0.3}, "all stops, full and bright");
  organ({1, 0.3}, "soft stopped flute");
  organ({0.8, 1, 0.4}, "octave-heavy, light and airy");
  organ({1, 0, 0.5, 0, 0.4}, "odd-leaning, reedy mixture");
  organ({1, 0.6, 0.2, 0.4, 0.2, 0.2}, "jazz drawbars, percussive feel");
  organ({1, 0.2, 0.8, 0.1, 0.3}, "twelfth-heavy, nasard");
  organ({1, 0.7, 0.7, 0.7}, "bright principal chorus");
  // 50-59: band-limited pulse waves of various widths.
  for (int n = 0; n < 10; ++n) {
    double duty = 0.05 + 0.045 * n;
    std::vector<double> a(16);
    for (int k = 1; k <= 16; ++k) a[k - 1] = std::sin(kPi * k * duty) / k * (1 - k / 17.0);
    char buf[96];
    std::snprintf(buf, sizeof buf, "band-limited pulse, width %.1f %%, %s", 100 * duty,
                  duty < 0.2    ? "thin and nasal"
                  : duty < 0.35 ? "reedy"
                                : "hollow, near square");
    add(Harmonics(a), 60, 60, buf);
  }
  // 60-69: string-like spectra (1/k, slight formant).
  for (int n = 0; n < 10; ++n) {
    int count = 8 + 2 * n;
    std::vector<double> a(count);
    for (int k = 1; k <= count; ++k) {
      double formant = 1 + 0.6 * std::exp(-std::pow((k - 3.0 - n * 0.4) / 1.5, 2));
      a[k - 1] = formant / k;
    }
    add(Harmonics(a), 60, 60,
        "string: " + std::to_string(count) + " harmonics, body resonance near harmonic " +
            std::to_string(3 + n * 4 / 10) +
            (n < 4   ? ", warm"
             : n < 8 ? ", bright"
                     : ", edgy"));
  }
  // 70-79: brass and reeds.
  for (int n = 0; n < 10; ++n) {
    bool reed = n >= 5;
    int count = 10 + n;
    std::vector<double> a(count);
    for (int k = 1; k <= count; ++k) {
      if (reed && k % 2 == 0) {
        a[k - 1] = 0.08 / k;
        continue;
      }
      double centre = 2.5 + (n % 5);
      a[k - 1] = std::exp(-std::pow((k - centre) / 3.0, 2)) + 0.3 / k;
    }
    add(Harmonics(a), 60, 60,
        std::string(reed ? "reed (odd harmonics), clarinet/oboe-like, peak near harmonic "
                         : "brass, formant near harmonic ") +
            std::to_string(static_cast<int>(2.5 + (n % 5) + 0.5)));
  }
  // 80-89: bell-like and vocal spectra.
  const std::vector<std::vector<double>> bells = {
      {1, 0, 0.6, 0, 0.4, 0, 0.3, 0, 0, 0, 0.2},
      {1, 0.5, 0, 0.5, 0, 0, 0, 0.3},
      {0.6, 0, 0, 1, 0, 0, 0, 0, 0.5},
      {1, 0, 0, 0, 0, 0.7, 0, 0, 0, 0, 0, 0.4},
      {0.5, 1, 0, 0, 0.6, 0, 0, 0, 0, 0.3},
      {1, 0, 0.4, 0, 0, 0, 0.5, 0, 0, 0, 0, 0, 0.3},
      {1, 0.2, 0.9, 0.1, 0.3},
      {1, 0.4, 0.2, 0.8, 0.6, 0.2},
      {0.7, 0.2, 0.1, 0.1, 0.2, 0.9, 0.7, 0.2},
      {1, 0.5, 0.3, 0.1, 0.1, 0.1, 0.2, 0.6, 0.5, 0.2},
  };
  const char* bellText[] = {"bell: odd partials, glockenspiel-like",
                            "bell: octaves, chime",
                            "bell: strong 4th harmonic, bright tine",
                            "bell: 6th and 12th partials, metallic",
                            "bell: octave-led, music box",
                            "bell: 7th partial, gamelan-like",
                            "vocal: 'oo' formant, dark",
                            "vocal: 'oh' formant",
                            "vocal: 'ah' formant, open",
                            "vocal: 'ee' formant, bright"};
  for (int n = 0; n < 10; ++n) add(Harmonics(bells[n]), 60, 60, bellText[n]);
  // 90-99: bright and buzzy, more sign changes; 99 is dominated by harmonic 31.
  for (int n = 0; n < 9; ++n) {
    int top = 6 + 3 * n;
    std::vector<double> a(top);
    a[0] = 1;
    a[top - 1] = 0.9;
    a[top / 2 - 1] = 0.5;
    char buf[96];
    std::snprintf(buf, sizeof buf, "buzzy: fundamental with harmonics %d and %d, %s", top / 2, top,
                  n < 4 ? "nasal" : "harsh, aliases at high rows");
    add(Harmonics(a), 60, 60, buf);
  }
  {
    std::vector<double> a(31);
    a[0] = 0.35;
    a[30] = 1;
    add(Harmonics(a), 60, 60,
        "ring: harmonic 31 over a soft fundamental, whistling (62 sign changes)");
  }
  return w;
}

}  // namespace

std::vector<int8_t> MakeWaveTable() {
  std::vector<int8_t> table;
  table.reserve(kWaveformCount * kWaveformLength);
  for (const Wave& wave : Build()) {
    for (double v : wave.curve) {
      table.push_back(static_cast<int8_t>(std::clamp(std::lround(v), -66L, 72L)));
    }
  }
  return table;
}

const char* WaveformDescription(int n) {
  static const std::vector<Wave> waves = Build();
  return n >= 0 && n < kWaveformCount ? waves[n].text.c_str() : "";
}

int CountSignChanges(const int8_t* wave) {
  int changes = 0;
  for (int i = 0; i < kWaveformLength; ++i) {
    bool a = wave[i] < 0, b = wave[(i + 1) % kWaveformLength] < 0;
    changes += a != b;
  }
  return changes;
}

}  // namespace assets
