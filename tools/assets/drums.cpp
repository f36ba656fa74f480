// Drum synthesis: sine sweeps, filtered noise and exponential envelopes from a fixed-seed
// PRNG, so every build produces the same bytes. Each sound fades to the midpoint at its end.
#include "tools/assets/drums.h"

#include <algorithm>
#include <cmath>

namespace assets {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 22050;

const std::vector<DrumInfo> kDrums = {
    {"BASS01", 1334, 0}, {"BASS02", 2404, 0}, {"SNARE01", 3535, 0}, {"SNARE02", 4868, 0},
    {"TOM01", 2990, 0},  {"HICLOSE", 973, 0}, {"HIOPEN", 18832, 0}, {"CRASH", 8419, 16},
    {"PER01", 1582, 0},  {"PER02", 889, 0},   {"BASS03", 1953, 16}, {"TOM02", 3111, 16},
};

class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double Next() {  // uniform in [-1, 1)
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

// A sine whose frequency glides exponentially from f0 to f1 with time constant tau.
struct Sweep {
  double f0, f1, tau, phase = 0;
  double Next(double t) {
    double f = f1 + (f0 - f1) * std::exp(-t / tau);
    phase += 2 * kPi * f / kRate;
    return std::sin(phase);
  }
};

// One-pole high-pass and low-pass filters.
struct HighPass {
  double a, prevIn = 0, prevOut = 0;
  double Next(double x) {
    prevOut = a * (prevOut + x - prevIn);
    prevIn = x;
    return prevOut;
  }
};
struct LowPass {
  double a, y = 0;
  double Next(double x) { return y += a * (x - y); }
};

std::vector<double> Synth(int index, size_t n) {
  std::vector<double> s(n);
  Noise noise(0x9E3779B9u + 7919u * index);
  auto env = [](double t, double decay) { return std::exp(-t / decay); };
  switch (index) {
    case 0: {  // BASS01: short, punchy kick
      Sweep sw{180, 55, 0.012};
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        s[i] = sw.Next(t) * env(t, 0.025) + 0.2 * noise.Next() * env(t, 0.002);
      }
      break;
    }
    case 1:     // BASS02: heavier, longer boom
    case 10: {  // BASS03: mid-weight kick with a harder click
      bool heavy = index == 1;
      Sweep sw{heavy ? 140.0 : 220.0, heavy ? 45.0 : 65.0, heavy ? 0.02 : 0.01};
      LowPass lp{0.3};
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        double click = lp.Next(noise.Next()) * env(t, heavy ? 0.003 : 0.005);
        s[i] = sw.Next(t) * env(t, heavy ? 0.045 : 0.03) + (heavy ? 0.3 : 0.6) * click;
      }
      break;
    }
    case 2:    // SNARE01: tight snare
    case 3: {  // SNARE02: looser, longer snare
      bool loose = index == 3;
      Sweep body{loose ? 200.0 : 240.0, loose ? 160.0 : 185.0, 0.01};
      HighPass hp{0.7};
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        double rattle = hp.Next(noise.Next()) * env(t, loose ? 0.06 : 0.035);
        s[i] = 0.5 * body.Next(t) * env(t, 0.02) + 0.8 * rattle;
      }
      break;
    }
    case 4:     // TOM01: high tom
    case 11: {  // TOM02: low tom
      bool low = index == 11;
      Sweep sw{low ? 150.0 : 230.0, low ? 95.0 : 150.0, 0.04};
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        s[i] = sw.Next(t) * env(t, low ? 0.05 : 0.045) + 0.15 * noise.Next() * env(t, 0.004);
      }
      break;
    }
    case 5:    // HICLOSE: closed hi-hat
    case 6:    // HIOPEN: open hi-hat
    case 7: {  // CRASH: crash cymbal
      HighPass hp1{0.55}, hp2{0.55};
      double decay = index == 5 ? 0.012 : index == 6 ? 0.25 : 0.12;
      double ring1 = 0, ring2 = 0;
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        ring1 += 2 * kPi * 3520 / kRate;
        ring2 += 2 * kPi * 5277 / kRate;
        double metal = std::copysign(1.0, std::sin(ring1)) * std::copysign(1.0, std::sin(ring2));
        double x = hp2.Next(hp1.Next(noise.Next() + (index == 7 ? 0.3 : 0.15) * metal));
        double attack = index == 7 ? std::min(1.0, t / 0.002) : 1.0;
        s[i] = x * env(t, decay) * attack;
      }
      break;
    }
    case 8: {  // PER01: woodblock
      double p1 = 0, p2 = 0;
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        p1 += 2 * kPi * 880 / kRate;
        p2 += 2 * kPi * 2430 / kRate;
        s[i] = (std::sin(p1) * env(t, 0.018) + 0.4 * std::sin(p2) * env(t, 0.006));
      }
      break;
    }
    default: {  // PER02: cowbell-like clank, short
      double p1 = 0, p2 = 0;
      LowPass lp{0.5};
      for (size_t i = 0; i < n; ++i) {
        double t = i / kRate;
        p1 += 2 * kPi * 562 / kRate;
        p2 += 2 * kPi * 845 / kRate;
        double sq = std::tanh(3 * std::sin(p1)) + std::tanh(3 * std::sin(p2));
        s[i] = lp.Next(sq) * env(t, 0.012);
      }
      break;
    }
  }
  return s;
}

void Put16(std::vector<uint8_t>* b, uint32_t v) {
  b->push_back(v & 0xFF);
  b->push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Tag(std::vector<uint8_t>* b, const char* t) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(t[i]));
}

}  // namespace

const std::vector<DrumInfo>& DrumList() {
  return kDrums;
}

std::vector<uint8_t> MakeDrum(int index) {
  const DrumInfo& d = kDrums.at(index);
  std::vector<double> s = Synth(index, d.dataLength);
  // Normalise to a peak of 100 around 128, and fade the last 20 % (at least 64 samples) out
  // so the end does not click.
  double peak = 1e-9;
  for (double v : s) peak = std::max(peak, std::fabs(v));
  size_t fade = std::max<size_t>(64, s.size() / 5);
  std::vector<uint8_t> samples(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    double g = 100.0 / peak;
    size_t left = s.size() - 1 - i;
    if (left < fade) g *= static_cast<double>(left) / fade;
    samples[i] = static_cast<uint8_t>(std::clamp(128 + std::lround(s[i] * g), 1L, 255L));
  }
  uint32_t padded = d.dataLength + (d.dataLength & 1);
  std::vector<uint8_t> b;
  Tag(&b, "RIFF");
  Put32(&b, 58 + padded - 8);
  Tag(&b, "WAVE");
  Tag(&b, "fmt ");
  Put32(&b, 18);
  Put16(&b, 1);      // PCM
  Put16(&b, 1);      // mono
  Put32(&b, 22050);  // samples per second
  Put32(&b, 22050);  // bytes per second
  Put16(&b, 1);      // block align
  Put16(&b, 8);      // bits per sample
  Put16(&b, d.extraSize);
  Tag(&b, "fact");
  Put32(&b, 4);
  Put32(&b, d.dataLength);
  Tag(&b, "data");
  Put32(&b, d.dataLength);
  b.insert(b.end(), samples.begin(), samples.end());
  if (d.dataLength & 1) b.push_back(0);
  return b;
}

}  // namespace assets
