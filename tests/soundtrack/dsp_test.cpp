#include "tools/soundtrack/dsp.h"

#include <gtest/gtest.h>

#include "tests/soundtrack/signal_helpers.h"

namespace soundtrack {
namespace {

using testing::AmplitudeAt;
using testing::Rms;
using testing::Sine;

// A 3 kHz tone's harmonics 14 and 15 (42 and 45 kHz) fold back to 2.1 kHz
// and 900 Hz, well away from any true harmonic. A naive saw puts them only
// about 24 dB under the fundamental; the band-limited one must keep them far lower.
struct AliasCase {
  Waveform waveform;
  const char* name;
};

void PrintTo(const AliasCase& aliasCase, std::ostream* out) { *out << aliasCase.name; }

class OscillatorAliasing : public ::testing::TestWithParam<AliasCase> {};

TEST_P(OscillatorAliasing, FoldedHarmonicsStayFarBelowTheFundamental) {
  constexpr double kFundamentalHz = 3000.0;
  Oscillator oscillator(GetParam().waveform);
  std::vector<double> samples(kSampleRate);
  for (double& sample : samples) sample = oscillator.Next(kFundamentalHz);
  const double fundamental = AmplitudeAt(samples, kFundamentalHz);
  ASSERT_GT(fundamental, 0.5);
  for (double aliasHz : {900.0, 2100.0}) {
    EXPECT_LT(GainToDb(AmplitudeAt(samples, aliasHz) / fundamental), -45.0) << "alias at " << aliasHz << " Hz";
  }
}

INSTANTIATE_TEST_SUITE_P(SoundtrackWaveforms, OscillatorAliasing,
                         ::testing::Values(AliasCase{Waveform::kSaw, "Saw"}, AliasCase{Waveform::kSquare, "Square"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Steady-state gain of each filter output at a few frequencies around a 1 kHz cutoff.
TEST(SoundtrackFilter, OutputsHaveTheirTextbookResponse) {
  struct Case {
    double hz;
    double lowDb, bandDb, highDb;  // expected gain; below -30 only an upper bound is checked
  };
  const Case cases[] = {
      {100.0, 0.0, -20.0, -40.0},
      {1000.0, -3.0, -3.0, -3.0},  // Q 0.707: every output is 3 dB down at the cutoff
      {4000.0, -24.1, -12.0, 0.0},
  };
  for (const Case& c : cases) {
    StateVariableFilter filter;
    filter.Set(1000.0, 0.7071);
    const std::vector<double> input = Sine(c.hz, 1.0, 0.5);
    std::vector<double> low, band, high;
    for (double x : input) {
      const StateVariableFilter::Outputs y = filter.Process(x);
      low.push_back(y.low);
      band.push_back(y.band);
      high.push_back(y.high);
    }
    const size_t settled = input.size() / 2;
    const double inputRms = Rms(input, settled, input.size());
    const std::pair<const std::vector<double>*, double> outputs[] = {
        {&low, c.lowDb}, {&band, c.bandDb}, {&high, c.highDb}};
    for (const auto& [output, expectedDb] : outputs) {
      const double gainDb = GainToDb(Rms(*output, settled, output->size()) / inputRms);
      if (expectedDb < -30.0) {
        EXPECT_LT(gainDb, -30.0) << c.hz << " Hz";
      } else {
        EXPECT_NEAR(gainDb, expectedDb, 1.0) << c.hz << " Hz";
      }
    }
  }
}

// The envelope must never jump (a jump is a click) and must be gone by the
// time the renderer stops drawing the note.
TEST(SoundtrackEnvelope, IsContinuousAndSilentWhenTheNoteEnds) {
  const Adsr envelope{0.01, 0.1, 0.6, 0.2};
  for (double gateSeconds : {0.004, 0.01, 0.5}) {  // released mid-attack, at its peak, while sustaining
    double previous = 0.0;
    const double end = envelope.AudibleSeconds(gateSeconds);
    for (double t = 0.0; t < end; t += 1.0 / kSampleRate) {
      const double level = envelope.Level(t, gateSeconds);
      ASSERT_LE(std::abs(level - previous), 0.01) << "gate " << gateSeconds << " s, at " << t << " s";
      previous = level;
    }
    EXPECT_LE(envelope.Level(end, gateSeconds), DbToGain(-80.0) * (1.0 + 1e-9)) << "gate " << gateSeconds << " s";
  }
  EXPECT_NEAR(envelope.Level(0.5, 1.0), 0.6, 0.01) << "holds the sustain level";
}

}  // namespace
}  // namespace soundtrack
