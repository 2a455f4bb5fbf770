// dsp: the small signal-processing parts every instrument is built from.
//
// What it does: a seeded noise generator, band-limited oscillators (polyBLEP
// saw and square, plus sine), a state-variable filter, a one-pole filter, an
// analytic ADSR envelope, pan and unit helpers, and the planar stereo buffer
// the renderer mixes into. Everything runs at kSampleRate.
// What it does not: allocate per sample, read clocks or use the C library's
// random numbers; the same calls give the same samples on every run.
// Lifetime: plain values; an oscillator or filter holds only its own state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace soundtrack {

inline constexpr double kPi = 3.14159265358979323846;

// Planar stereo audio, one float per frame and channel, nominal full scale 1.0.
struct StereoBuffer {
  std::vector<float> left;
  std::vector<float> right;

  explicit StereoBuffer(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t Frames() const { return left.size(); }
  void Clear();
};

// SplitMix64: tiny, well mixed, and ours, so noise is identical everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t NextBits();
  double Uniform();  // [0, 1)
  double Bipolar();  // [-1, 1)

 private:
  uint64_t state_;
};

double MidiToHz(double midiNote);  // A4 = MIDI 69 = 440 Hz
double DbToGain(double decibels);
double GainToDb(double gain);

// Constant-power pan: pan -1 is hard left, 0 centre (0.707 each), +1 hard right.
struct PanGains {
  double left = 0.0;
  double right = 0.0;
};
PanGains PanLaw(double pan);

enum class Waveform { kSine, kSaw, kSquare };

// Saw and square subtract a polyBLEP residual at each discontinuity, which
// keeps aliasing well down without oversampling.
class Oscillator {
 public:
  explicit Oscillator(Waveform waveform, double startPhase = 0.0)  // startPhase in cycles, [0, 1)
      : waveform_(waveform), phase_(startPhase) {}
  double Next(double frequencyHz);  // one sample, range about [-1, 1]

 private:
  Waveform waveform_;
  double phase_;  // cycles, [0, 1)
};

// Topology-preserving state-variable filter: stays stable while its cutoff
// moves every few samples, which the filter sweeps rely on.
class StateVariableFilter {
 public:
  struct Outputs {
    double low = 0.0;
    double band = 0.0;
    double high = 0.0;
  };
  // cutoffHz is clamped below 0.45 x kSampleRate; resonance is Q (0.5 = no peak, 0.707 Butterworth).
  void Set(double cutoffHz, double resonance);
  Outputs Process(double input);

 private:
  double a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;  // coefficients from the last Set
  double damping_ = 1.414;                 // 1 / Q
  double state1_ = 0.0, state2_ = 0.0;     // integrator states
};

// One-pole smoothing low-pass; High() gives the complementary high-pass.
class OnePole {
 public:
  explicit OnePole(double cutoffHz);
  double Low(double input);
  double High(double input) { return input - Low(input); }

 private:
  double coefficient_;
  double state_ = 0.0;
};

// Linear attack, exponential decay to sustain, exponential release after the
// gate closes. Evaluated in closed form, so a note needs no envelope state.
struct Adsr {
  double attackSeconds = 0.005;
  double decaySeconds = 0.2;    // time constant: the level falls 63% of the way to sustain in this time
  double sustainLevel = 0.7;    // 0..1
  double releaseSeconds = 0.1;  // time constant after the gate closes

  double Level(double secondsSinceStart, double gateSeconds) const;
  // Gate plus the time the release needs to fall below -80 dB.
  double AudibleSeconds(double gateSeconds) const;
};

}  // namespace soundtrack
