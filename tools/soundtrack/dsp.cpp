#include "tools/soundtrack/dsp.h"

#include <algorithm>
#include <cmath>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

void StereoBuffer::Clear() {
  std::fill(left.begin(), left.end(), 0.0f);
  std::fill(right.begin(), right.end(), 0.0f);
}

uint64_t Random::NextBits() {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::Uniform() { return static_cast<double>(NextBits() >> 11) * 0x1.0p-53; }

double Random::Bipolar() { return 2.0 * Uniform() - 1.0; }

double MidiToHz(double midiNote) { return 440.0 * std::exp2((midiNote - 69.0) / 12.0); }

double DbToGain(double decibels) { return std::pow(10.0, decibels / 20.0); }

double GainToDb(double gain) { return 20.0 * std::log10(std::max(gain, 1e-12)); }

PanGains PanLaw(double pan) {
  const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;  // radians, 0..pi/2
  return {std::cos(angle), std::sin(angle)};
}

namespace {

// Correction for a unit step at phase 0, spread over one sample either side.
double PolyBlep(double phase, double phaseStep) {
  if (phase < phaseStep) {
    const double t = phase / phaseStep;
    return t + t - t * t - 1.0;
  }
  if (phase > 1.0 - phaseStep) {
    const double t = (phase - 1.0) / phaseStep;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

double Oscillator::Next(double frequencyHz) {
  const double phaseStep = std::clamp(frequencyHz / kSampleRate, 0.0, 0.49);
  double value = 0.0;
  switch (waveform_) {
    case Waveform::kSine:
      value = std::sin(2.0 * kPi * phase_);
      break;
    case Waveform::kSaw:
      value = 2.0 * phase_ - 1.0 - PolyBlep(phase_, phaseStep);
      break;
    case Waveform::kSquare: {
      value = phase_ < 0.5 ? 1.0 : -1.0;
      value += PolyBlep(phase_, phaseStep);
      double falling = phase_ + 0.5;
      if (falling >= 1.0) falling -= 1.0;
      value -= PolyBlep(falling, phaseStep);
      break;
    }
  }
  phase_ += phaseStep;
  if (phase_ >= 1.0) phase_ -= 1.0;
  return value;
}

void StateVariableFilter::Set(double cutoffHz, double resonance) {
  const double cutoff = std::clamp(cutoffHz, 10.0, 0.45 * kSampleRate);
  const double g = std::tan(kPi * cutoff / kSampleRate);
  damping_ = 1.0 / std::max(resonance, 0.1);
  a1_ = 1.0 / (1.0 + g * (g + damping_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

StateVariableFilter::Outputs StateVariableFilter::Process(double input) {
  const double v3 = input - state2_;
  const double v1 = a1_ * state1_ + a2_ * v3;
  const double v2 = state2_ + a2_ * state1_ + a3_ * v3;
  state1_ = 2.0 * v1 - state1_;
  state2_ = 2.0 * v2 - state2_;
  return {v2, v1, input - damping_ * v1 - v2};
}

OnePole::OnePole(double cutoffHz) : coefficient_(1.0 - std::exp(-2.0 * kPi * cutoffHz / kSampleRate)) {}

double OnePole::Low(double input) {
  state_ += coefficient_ * (input - state_);
  return state_;
}

double Adsr::Level(double secondsSinceStart, double gateSeconds) const {
  auto gatedLevel = [this](double t) {
    if (t < attackSeconds) return t / attackSeconds;
    return sustainLevel + (1.0 - sustainLevel) * std::exp(-(t - attackSeconds) / decaySeconds);
  };
  if (secondsSinceStart < 0.0) return 0.0;
  if (secondsSinceStart < gateSeconds) return gatedLevel(secondsSinceStart);
  return gatedLevel(gateSeconds) * std::exp(-(secondsSinceStart - gateSeconds) / releaseSeconds);
}

double Adsr::AudibleSeconds(double gateSeconds) const {
  static const double kTimeConstantsTo80Db = std::log(1e4);
  return gateSeconds + releaseSeconds * kTimeConstantsTo80Db;
}

}  // namespace soundtrack
