#include "tools/soundtrack/instruments.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

namespace {

struct StereoSample {
  double left = 0.0;
  double right = 0.0;
};

StereoSample Panned(double value, double pan) {
  const PanGains gains = PanLaw(pan);
  return {value * gains.left, value * gains.right};
}

StereoSample Centred(double value) { return Panned(value, 0.0); }

// Filter coefficients need tan(); refreshing them every 16 frames (0.36 ms)
// is far faster than any sweep here and saves most of the cost.
constexpr int kControlFrames = 16;

// Calls voice(secondsSinceStart) once per frame, in order, for
// durationSeconds from startFrame, adding what it returns into out. The last
// few milliseconds fade out, so whatever is left of a tail stops without a click.
template <typename Voice>
void AddVoice(StereoBuffer& out, int64_t startFrame, double durationSeconds, Voice&& voice) {
  constexpr double kEndFadeFrames = 0.005 * kSampleRate;
  const int64_t length = static_cast<int64_t>(std::ceil(durationSeconds * kSampleRate));
  const int64_t end = std::min<int64_t>(startFrame + length, static_cast<int64_t>(out.Frames()));
  for (int64_t frame = std::max<int64_t>(startFrame, 0); frame < end; ++frame) {
    const StereoSample sample = voice(static_cast<double>(frame - startFrame) / kSampleRate);
    const double fade = std::min(1.0, static_cast<double>(startFrame + length - frame) / kEndFadeFrames);
    out.left[frame] += static_cast<float>(sample.left * fade);
    out.right[frame] += static_cast<float>(sample.right * fade);
  }
}

double CentsToRatio(double cents) { return std::exp2(cents / 1200.0); }

double GateSeconds(const Note& note) { return note.lengthBeats * kSecondsPerBeat; }

// Each part has its own noise stream so adding a hit to one part leaves the others unchanged.
enum class NoiseSeed : uint64_t {
  kKick = 11, kClap, kSnare, kClosedHat, kOpenHat, kCrash, kImpact,
  kBass, kArp, kLead, kStab, kPad, kRiser, kWater,
};

Random NoiseFor(NoiseSeed seed) { return Random(static_cast<uint64_t>(seed) * 0x2545F4914F6CDD1Dull); }

// Filtered noise with an envelope: the shared body of the hats and the crash.
template <typename Envelope>
void RenderNoiseHits(const std::vector<Hit>& hits, NoiseSeed seed, double highPassHz, double durationSeconds,
                     double pan, double width, Envelope&& envelope, StereoBuffer& out) {
  Random random = NoiseFor(seed);
  for (const Hit& hit : hits) {
    StateVariableFilter left, right;
    left.Set(highPassHz, 0.8);
    right.Set(highPassHz, 0.8);
    const PanGains gains = PanLaw(pan);
    AddVoice(out, FrameAtBeat(hit.beat), durationSeconds, [&](double t) {
      const double common = random.Bipolar();
      const double side = random.Bipolar() * width;
      const double level = hit.velocity * envelope(t);
      return StereoSample{left.Process(common + side).high * level * gains.left,
                          right.Process(common - side).high * level * gains.right};
    });
  }
}

}  // namespace

void RenderKicks(const std::vector<Hit>& hits, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kKick);
  constexpr double kStartHz = 165.0, kEndHz = 46.0, kSweepSeconds = 0.03;  // pitch drop of the skin
  constexpr double kDrive = 1.8;                                             // tanh saturation for punch
  for (const Hit& hit : hits) {
    const double velocity = hit.velocity;
    const double clickLevel = 0.35 * velocity * velocity;  // soft kicks come out duller, not just quieter
    OnePole clickTone(1500.0);
    AddVoice(out, FrameAtBeat(hit.beat), 0.8, [&](double t) {
      const double phaseRadians =
          2.0 * kPi * (kEndHz * t + (kStartHz - kEndHz) * kSweepSeconds * (1.0 - std::exp(-t / kSweepSeconds)));
      const double body = t < 0.05 ? 1.0 : std::exp(-(t - 0.05) / 0.11);
      const double tone = std::tanh(kDrive * std::sin(phaseRadians) * body) / std::tanh(kDrive);
      const double click = clickTone.High(random.Bipolar()) * std::exp(-t / 0.0015) * clickLevel;
      return Centred(velocity * (tone + click));
    });
  }
}

void RenderClaps(const std::vector<Hit>& hits, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kClap);
  constexpr std::array<double, 3> kBurstSeconds = {0.0, 0.011, 0.023};  // several hands, slightly apart
  constexpr double kTailStartSeconds = 0.03;
  for (const Hit& hit : hits) {
    StateVariableFilter left, right;
    left.Set(1200.0, 1.4);
    right.Set(1350.0, 1.4);
    AddVoice(out, FrameAtBeat(hit.beat), 1.0, [&](double t) {
      double envelope = 0.0;
      for (double burst : kBurstSeconds) {
        if (t >= burst) envelope += std::exp(-(t - burst) / 0.0045);
      }
      if (t >= kTailStartSeconds) envelope += 0.8 * std::exp(-(t - kTailStartSeconds) / 0.12);
      const double common = random.Bipolar();
      const double side = 0.5 * random.Bipolar();
      const double level = 2.5 * hit.velocity * envelope;
      return StereoSample{left.Process(common + side).band * level, right.Process(common - side).band * level};
    });
  }
}

void RenderSnares(const std::vector<Hit>& hits, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kSnare);
  for (const Hit& hit : hits) {
    Oscillator body(Waveform::kSine);
    StateVariableFilter left, right;
    left.Set(1800.0, 0.7);
    right.Set(1900.0, 0.7);
    AddVoice(out, FrameAtBeat(hit.beat), 0.9, [&](double t) {
      const double tone = body.Next(180.0 + 60.0 * std::exp(-t / 0.02)) * std::exp(-t / 0.06) * 0.6;
      const double rattle = std::exp(-t / 0.12) * 0.75;
      const double common = random.Bipolar();
      const double side = 0.3 * random.Bipolar();
      const double velocity = hit.velocity;
      return StereoSample{velocity * (0.707 * tone + rattle * left.Process(common + side).high),
                          velocity * (0.707 * tone + rattle * right.Process(common - side).high)};
    });
  }
}

void RenderClosedHats(const std::vector<Hit>& hits, StereoBuffer& out) {
  RenderNoiseHits(hits, NoiseSeed::kClosedHat, 7500.0, 0.25, 0.25, 0.2,
                  [](double t) { return std::exp(-t / 0.025); }, out);
}

void RenderOpenHats(const std::vector<Hit>& hits, StereoBuffer& out) {
  RenderNoiseHits(hits, NoiseSeed::kOpenHat, 6500.0, 1.2, -0.2, 0.3,
                  [](double t) { return std::min(1.0, t / 0.001) * std::exp(-t / 0.17); }, out);
}

void RenderCrashes(const std::vector<Hit>& hits, StereoBuffer& out) {
  RenderNoiseHits(hits, NoiseSeed::kCrash, 3000.0, 7.5, 0.0, 1.0,
                  [](double t) { return std::min(1.0, t / 0.001) * (std::exp(-t / 1.1) + 0.5 * std::exp(-t / 0.08)); },
                  out);
}

void RenderImpacts(const std::vector<Hit>& hits, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kImpact);
  for (const Hit& hit : hits) {
    Oscillator boom(Waveform::kSine);
    StateVariableFilter thump;
    thump.Set(250.0, 0.7);
    AddVoice(out, FrameAtBeat(hit.beat), 6.5, [&](double t) {
      const double tone = boom.Next(32.0 + 45.0 * std::exp(-t / 0.25)) * std::exp(-t / 0.9);
      const double noise = thump.Process(random.Bipolar()).low * std::exp(-t / 0.12) * 2.0;
      return Centred(hit.velocity * std::tanh(1.5 * (tone + noise)));
    });
  }
}

void RenderBass(const std::vector<Note>& notes, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kBass);
  const Adsr amplitude{0.003, 0.15, 0.7, 0.05};
  for (const Note& note : notes) {
    const double hz = MidiToHz(note.midiNote);
    const double gate = GateSeconds(note);
    Oscillator saw(Waveform::kSaw, random.Uniform());
    Oscillator sub(Waveform::kSine);
    StateVariableFilter filter;
    int frame = 0;
    AddVoice(out, FrameAtBeat(note.beat), amplitude.AudibleSeconds(gate), [&](double t) {
      if (frame++ % kControlFrames == 0) {
        // The filter snaps open on the attack and settles: the pluck of a bass synth.
        const double sweep = 0.35 + 0.65 * std::exp(-t / 0.08);
        filter.Set(90.0 + (200.0 + 2200.0 * note.brightness) * sweep * (0.6 + 0.4 * note.velocity), 0.9);
      }
      const double value = 0.6 * filter.Process(saw.Next(hz)).low + 0.7 * sub.Next(hz / 2.0);
      return Centred(value * amplitude.Level(t, gate) * note.velocity);
    });
  }
}

void RenderArp(const std::vector<Note>& notes, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kArp);
  const Adsr amplitude{0.002, 0.2, 0.0, 0.06};
  for (const Note& note : notes) {
    const double hz = MidiToHz(note.midiNote);
    const double gate = GateSeconds(note);
    Oscillator saw(Waveform::kSaw, random.Uniform());
    Oscillator square(Waveform::kSquare, random.Uniform());
    StateVariableFilter filter;
    int frame = 0;
    AddVoice(out, FrameAtBeat(note.beat), amplitude.AudibleSeconds(gate), [&](double t) {
      if (frame++ % kControlFrames == 0) {
        filter.Set(250.0 + note.brightness * (400.0 + 6500.0 * std::exp(-t / 0.09)), 1.2);
      }
      const double value = filter.Process(0.6 * saw.Next(hz) + 0.35 * square.Next(hz)).low;
      return Panned(value * amplitude.Level(t, gate) * note.velocity, note.pan);
    });
  }
}

void RenderLead(const std::vector<Note>& notes, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kLead);
  const Adsr amplitude{0.01, 0.4, 0.75, 0.15};
  constexpr double kDetuneCents = 7.0;
  constexpr double kVibratoHz = 5.4, kVibratoCents = 14.0, kVibratoDelaySeconds = 0.25, kVibratoRiseSeconds = 0.3;
  for (const Note& note : notes) {
    const double hz = MidiToHz(note.midiNote);
    const double gate = GateSeconds(note);
    // Two detuned saws, one per side, over a quieter square an octave down.
    Oscillator sawLeft(Waveform::kSaw, random.Uniform());
    Oscillator sawRight(Waveform::kSaw, random.Uniform());
    Oscillator subSquare(Waveform::kSquare, random.Uniform());
    StateVariableFilter left, right;
    int frame = 0;
    AddVoice(out, FrameAtBeat(note.beat), amplitude.AudibleSeconds(gate), [&](double t) {
      if (frame++ % kControlFrames == 0) {
        const double cutoff = 700.0 + note.brightness * 5500.0 * (0.5 + 0.5 * std::exp(-t / 0.3));
        left.Set(cutoff, 1.0);
        right.Set(cutoff, 1.0);
      }
      // Vibrato creeps in once the note has sounded, as a player would do it.
      const double depth = kVibratoCents * std::clamp((t - kVibratoDelaySeconds) / kVibratoRiseSeconds, 0.0, 1.0);
      const double bentHz = hz * CentsToRatio(depth * std::sin(2.0 * kPi * kVibratoHz * t));
      const double sub = 0.3 * subSquare.Next(bentHz / 2.0);
      const double l = left.Process(sawLeft.Next(bentHz * CentsToRatio(-kDetuneCents)) + sub).low;
      const double r = right.Process(sawRight.Next(bentHz * CentsToRatio(kDetuneCents)) + sub).low;
      const double level = 0.6 * amplitude.Level(t, gate) * note.velocity;
      return StereoSample{level * (0.85 * l + 0.15 * r), level * (0.85 * r + 0.15 * l)};
    });
  }
}

void RenderStabs(const std::vector<Note>& notes, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kStab);
  const Adsr amplitude{0.002, 0.12, 0.35, 0.07};
  for (const Note& note : notes) {
    const double hz = MidiToHz(note.midiNote);
    const double gate = GateSeconds(note);
    // Three saws spread left, centre, right, a little out of tune with each other.
    std::array<Oscillator, 3> saws = {Oscillator(Waveform::kSaw, random.Uniform()),
                                      Oscillator(Waveform::kSaw, random.Uniform()),
                                      Oscillator(Waveform::kSaw, random.Uniform())};
    constexpr std::array<double, 3> kDetuneCents = {-10.0, 0.0, 10.0};
    StateVariableFilter left, right;
    int frame = 0;
    AddVoice(out, FrameAtBeat(note.beat), amplitude.AudibleSeconds(gate), [&](double t) {
      if (frame++ % kControlFrames == 0) {
        const double cutoff = 900.0 + note.brightness * 7500.0 * std::exp(-t / 0.07);
        left.Set(cutoff, 1.5);
        right.Set(cutoff, 1.5);
      }
      std::array<double, 3> value{};
      for (size_t i = 0; i < saws.size(); ++i) value[i] = saws[i].Next(hz * CentsToRatio(kDetuneCents[i]));
      const double level = 0.4 * amplitude.Level(t, gate) * note.velocity;
      return StereoSample{level * left.Process(value[0] + 0.5 * value[1]).low,
                          level * right.Process(value[2] + 0.5 * value[1]).low};
    });
  }
}

void RenderPads(const std::vector<Chord>& chords, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kPad);
  // Each side gets its own pair of detuned saws per note: the chorus that makes the pad wide.
  constexpr std::array<double, 2> kLeftDetuneCents = {-9.0, 4.0};
  constexpr std::array<double, 2> kRightDetuneCents = {-4.0, 9.0};
  constexpr double kDriftHz = 0.11;  // slow filter movement so held chords breathe
  for (const Chord& chord : chords) {
    const Adsr amplitude{chord.attackSeconds, 1.2, 0.85, chord.releaseSeconds};
    const double gate = chord.lengthBeats * kSecondsPerBeat;
    std::vector<Oscillator> leftSaws, rightSaws;
    std::vector<double> leftHz, rightHz;
    for (int midiNote : chord.midiNotes) {
      const double hz = MidiToHz(midiNote);
      for (size_t i = 0; i < kLeftDetuneCents.size(); ++i) {
        leftSaws.emplace_back(Waveform::kSaw, random.Uniform());
        leftHz.push_back(hz * CentsToRatio(kLeftDetuneCents[i]));
        rightSaws.emplace_back(Waveform::kSaw, random.Uniform());
        rightHz.push_back(hz * CentsToRatio(kRightDetuneCents[i]));
      }
    }
    const double noteLevel = 0.5 / std::sqrt(static_cast<double>(chord.midiNotes.size()));
    StateVariableFilter left, right;
    int frame = 0;
    AddVoice(out, FrameAtBeat(chord.beat), amplitude.AudibleSeconds(gate), [&](double t) {
      if (frame++ % kControlFrames == 0) {
        const double drift = 1.0 + 0.12 * std::sin(2.0 * kPi * kDriftHz * t);
        left.Set((200.0 + chord.brightness * 3000.0) * drift, 0.7);
        right.Set((200.0 + chord.brightness * 3000.0) / drift, 0.7);
      }
      double l = 0.0, r = 0.0;
      for (size_t i = 0; i < leftSaws.size(); ++i) {
        l += leftSaws[i].Next(leftHz[i]);
        r += rightSaws[i].Next(rightHz[i]);
      }
      const double level = noteLevel * amplitude.Level(t, gate) * chord.velocity;
      return StereoSample{level * left.Process(l).low, level * right.Process(r).low};
    });
  }
}

void RenderRisers(const std::vector<Swell>& swells, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kRiser);
  constexpr double kFromHz = 250.0, kToHz = 9000.0;   // the noise band's sweep
  constexpr double kFromNote = 45.0, kToNote = 81.0;  // MIDI; the tone climbs three octaves
  for (const Swell& swell : swells) {
    const double seconds = (swell.endBeat - swell.beginBeat) * kSecondsPerBeat;
    StateVariableFilter left, right, toneFilter;
    Oscillator tone(Waveform::kSaw, random.Uniform());
    int frame = 0;
    AddVoice(out, FrameAtBeat(swell.beginBeat), seconds, [&](double t) {
      const double progress = t / seconds;
      const double bandHz = kFromHz * std::pow(kToHz / kFromHz, progress);
      if (frame++ % kControlFrames == 0) {
        left.Set(bandHz, 2.5);
        right.Set(bandHz * 1.06, 2.5);
        toneFilter.Set(bandHz, 0.8);
      }
      const double level = swell.level * progress * progress;
      const double toneHz = MidiToHz(kFromNote + (kToNote - kFromNote) * std::pow(progress, 1.5));
      const double toneValue = 0.25 * toneFilter.Process(tone.Next(toneHz)).low;
      return StereoSample{level * (left.Process(random.Bipolar()).band + toneValue),
                          level * (right.Process(random.Bipolar()).band + toneValue)};
    });
  }
}

void RenderWater(const std::vector<Swell>& swells, StereoBuffer& out) {
  Random random = NoiseFor(NoiseSeed::kWater);
  constexpr double kFadeInSeconds = 4.0, kFadeOutSeconds = 1.5;
  constexpr double kSurgeHz = 0.07, kWaveHz = 0.09, kRippleHz = 0.137;  // slow, unrelated rates so it never loops
  constexpr double kRightPhaseRadians = 1.7;
  for (const Swell& swell : swells) {
    const double seconds = (swell.endBeat - swell.beginBeat) * kSecondsPerBeat;
    StateVariableFilter left, right;
    OnePole rumbleLeft(120.0), rumbleRight(120.0);
    int frame = 0;
    AddVoice(out, FrameAtBeat(swell.beginBeat), seconds, [&](double t) {
      if (frame++ % kControlFrames == 0) {
        left.Set(500.0 + 700.0 * (0.5 + 0.5 * std::sin(2.0 * kPi * kSurgeHz * t)), 0.7);
        right.Set(500.0 + 700.0 * (0.5 + 0.5 * std::sin(2.0 * kPi * kSurgeHz * t + kRightPhaseRadians)), 0.7);
      }
      const double fade = std::max(0.0, std::min({1.0, t / kFadeInSeconds, (seconds - t) / kFadeOutSeconds}));
      const double ripple = 0.15 * std::sin(2.0 * kPi * kRippleHz * t);
      const double wavesLeft = 0.55 + 0.3 * std::sin(2.0 * kPi * kWaveHz * t) + ripple;
      const double wavesRight = 0.55 + 0.3 * std::sin(2.0 * kPi * kWaveHz * t + kRightPhaseRadians) + ripple;
      const double level = swell.level * fade;
      return StereoSample{level * wavesLeft * rumbleLeft.High(left.Process(random.Bipolar()).low),
                          level * wavesRight * rumbleRight.High(right.Process(random.Bipolar()).low)};
    });
  }
}

}  // namespace soundtrack
