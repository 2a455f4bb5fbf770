#include "tools/soundtrack/score.h"

#include <algorithm>
#include <array>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

namespace {

// A chord of the progression: its root for the bass and its voicing for the pad.
struct Harmony {
  int bassNote;              // MIDI
  std::vector<int> voicing;  // MIDI, low to high
};

// A minor, voiced close around middle C so neighbouring chords share notes.
const Harmony kAMinor9{45, {57, 60, 64, 71}};
const Harmony kFMajor7{41, {53, 57, 60, 64}};
const Harmony kCAdd9{48, {55, 60, 64, 74}};
const Harmony kGMajor{43, {55, 59, 62, 67}};
const Harmony kEMinor7{40, {55, 59, 62, 64}};
const Harmony kEDominant7{40, {56, 59, 62, 64}};  // the first part's last chord pulls hard into A minor

struct ChordSpan {
  double beginBeat;
  const Harmony* harmony;  // lasts until the next span begins
};

const std::vector<ChordSpan>& Progression() {
  static const std::vector<ChordSpan> spans = {
      // First part: two bars a chord, ending on the dominant.
      {-64, &kAMinor9}, {-56, &kFMajor7}, {-48, &kCAdd9}, {-40, &kGMajor},
      {-32, &kAMinor9}, {-24, &kFMajor7}, {-16, &kGMajor}, {-8, &kEDominant7},
      // Groove.
      {0, &kAMinor9}, {8, &kFMajor7}, {16, &kCAdd9}, {24, &kGMajor},
      {32, &kAMinor9}, {40, &kFMajor7}, {48, &kCAdd9}, {56, &kGMajor},
      // Tunnel: starting away from home lifts it.
      {64, &kFMajor7}, {72, &kGMajor}, {80, &kEMinor7}, {88, &kAMinor9},
      {96, &kFMajor7}, {104, &kGMajor}, {112, &kEMinor7}, {120, &kAMinor9},
      // Breakdown, coming home for good at beat 176.
      {128, &kFMajor7}, {136, &kCAdd9}, {144, &kGMajor}, {152, &kAMinor9},
      {160, &kFMajor7}, {168, &kGMajor}, {176, &kAMinor9},
  };
  return spans;
}

const Harmony& HarmonyAt(double beat) {
  const std::vector<ChordSpan>& spans = Progression();
  const Harmony* current = spans.front().harmony;
  for (const ChordSpan& span : spans) {
    if (span.beginBeat <= beat) current = span.harmony;
  }
  return *current;
}

// Linear from `from` at fromBeat to `to` at toBeat, held outside that span.
float Ramp(double beat, double fromBeat, double toBeat, double from, double to) {
  const double progress = std::clamp((beat - fromBeat) / (toBeat - fromBeat), 0.0, 1.0);
  return static_cast<float>(from + (to - from) * progress);
}

// The beat the track's first frame falls on: the first part's pads start there.
double TrackStartBeat() { return BeatAtFrame(0); }

// Arpeggio over the chord sounding at each step, an octave above the pad.
// The shape climbs and folds back so consecutive bars do not repeat exactly.
void AddArpeggio(Score& score, double fromBeat, double toBeat, double stepBeats, float fromVelocity,
                 float toVelocity, float fromBrightness, float toBrightness) {
  static constexpr std::array<int, 8> kShape = {0, 1, 2, 3, 4, 2, 3, 1};  // index into chord + octave
  int step = 0;
  for (double beat = fromBeat; beat < toBeat - 1e-9; beat += stepBeats, ++step) {
    const std::vector<int>& voicing = HarmonyAt(beat).voicing;
    const int index = kShape[step % kShape.size()];
    const int octaves = index / static_cast<int>(voicing.size());
    const int note = voicing[index % voicing.size()] + 12 * (1 + octaves);
    score.arp.push_back({beat, stepBeats * 0.8, note, Ramp(beat, fromBeat, toBeat, fromVelocity, toVelocity),
                         Ramp(beat, fromBeat, toBeat, fromBrightness, toBrightness),
                         (step % 2 == 0) ? -0.35f : 0.35f});
  }
}

// A roll that speeds up from eighths to sixteenths to thirty-seconds and
// swells towards endBeat.
void AddSnareRoll(Score& score, double fromBeat, double endBeat, float fromVelocity, float toVelocity) {
  const double length = endBeat - fromBeat;
  for (double beat = fromBeat; beat < endBeat - 1e-9;) {
    score.snares.push_back({beat, Ramp(beat, fromBeat, endBeat, fromVelocity, toVelocity)});
    const double progress = (beat - fromBeat) / length;
    beat += progress < 0.5 ? 0.5 : (progress < 0.75 ? 0.25 : 0.125);
  }
}

void AddPadChords(Score& score, double fromBeat, double toBeat, float velocity, float fromBrightness,
                  float toBrightness, double attackSeconds, double releaseSeconds) {
  for (const ChordSpan& span : Progression()) {
    if (span.beginBeat < fromBeat || span.beginBeat >= toBeat) continue;
    score.pads.push_back({span.beginBeat, 8.0, span.harmony->voicing, velocity,
                          Ramp(span.beginBeat, fromBeat, toBeat, fromBrightness, toBrightness), attackSeconds,
                          releaseSeconds});
  }
}

// First part: water, pads opening up, then a slow pulse, an arpeggio and a
// build that stops dead half a beat before the downbeat.
void ComposeFirstPart(Score& score) {
  const double start = TrackStartBeat();
  score.water.push_back({start, 0.0, 0.8f});
  // The opening chord starts with the track and fades in with the picture.
  score.pads.push_back({start, -56.0 - start, kAMinor9.voicing, 0.7f, 0.1f, 4.0, 1.8});
  AddPadChords(score, -56.0, 0.0, 0.7f, 0.15f, 0.55f, 1.5, 1.8);

  // Slow pulse: half-note bass from bar 5, quarter notes for the build.
  for (double beat = -48.0; beat < -16.0; beat += 2.0) {
    score.bass.push_back({beat, 1.8, HarmonyAt(beat).bassNote, Ramp(beat, -48, -16, 0.45, 0.6),
                          Ramp(beat, -48, -16, 0.08, 0.18), 0.0f});
  }
  for (double beat = -16.0; beat < -0.5; beat += 1.0) {
    score.bass.push_back({beat, 0.8, HarmonyAt(beat).bassNote, 0.7f, Ramp(beat, -16, 0, 0.2, 0.4), 0.0f});
  }
  // A soft heartbeat under it from bar 9, every beat for the build.
  for (double beat = -32.0; beat < -16.0; beat += 2.0) score.kicks.push_back({beat, 0.45f});
  for (double beat = -16.0; beat < -0.5; beat += 1.0) score.kicks.push_back({beat, Ramp(beat, -16, -1, 0.55, 0.75)});

  AddArpeggio(score, -32.0, -8.0, 0.5, 0.3f, 0.55f, 0.1f, 0.45f);
  AddArpeggio(score, -8.0, -0.5, 0.25, 0.55f, 0.7f, 0.45f, 0.6f);
  score.crashes.push_back({-32.0, 0.35f});

  for (double beat = -16.0; beat < -8.0; beat += 1.0) {
    score.closedHats.push_back({beat + 0.5, Ramp(beat, -16, -8, 0.2, 0.35)});
  }
  for (double beat = -8.0; beat < -0.5; beat += 0.25) {
    score.closedHats.push_back({beat, Ramp(beat, -8, -0.5, 0.2, 0.45)});
  }
  AddSnareRoll(score, -8.0, -0.5, 0.2f, 0.8f);
  score.risers.push_back({-16.0, -0.5, 0.8f});

  score.breakBeginBeat = -0.5;
  score.breakEndBeat = 0.0;
}

// Units 5 to 9: the groove arrives on the downbeat and fills in every four bars.
void ComposeGroove(Score& score) {
  score.crashes.push_back({0.0, 1.0f});
  score.impacts.push_back({0.0, 0.8f});
  score.crashes.push_back({32.0, 0.7f});
  score.water.push_back({0.0, 64.0, 0.3f});
  AddPadChords(score, 0.0, 64.0, 0.6f, 0.4f, 0.6f, 0.2, 0.5);

  for (int beat = 0; beat < 64; ++beat) {
    score.kicks.push_back({static_cast<double>(beat), 1.0f});
    score.openHats.push_back({beat + 0.5, 0.55f});
    if (beat >= 16 && beat % 2 == 1) score.claps.push_back({static_cast<double>(beat), 0.85f});
    if (beat >= 32) {
      score.closedHats.push_back({static_cast<double>(beat), 0.45f});
      score.closedHats.push_back({beat + 0.25, 0.22f});
      score.closedHats.push_back({beat + 0.75, 0.3f});
    }
    // Off-beat bass; every second bar ends with a jump up the octave.
    const bool lift = beat % 8 == 7;
    score.bass.push_back({beat + 0.5, 0.4, HarmonyAt(beat).bassNote + (lift ? 12 : 0), 0.85f,
                          beat < 32 ? 0.35f : 0.5f, 0.0f});
  }
  AddArpeggio(score, 32.0, 64.0, 0.25, 0.4f, 0.5f, 0.35f, 0.65f);
  for (double beat = 63.0; beat < 64.0; beat += 0.25) score.snares.push_back({beat, Ramp(beat, 63, 64, 0.4, 0.8)});
  score.risers.push_back({56.0, 64.0, 0.45f});
}

// Units 9 to 13: full drums, rolling bass, the lead, and the accents the
// picture pulses on; then the riser into the white flash at beat 128.
void ComposeTunnel(Score& score) {
  score.crashes.push_back({64.0, 1.0f});
  score.impacts.push_back({64.0, 0.7f});
  score.crashes.push_back({96.0, 0.85f});
  AddPadChords(score, 64.0, 128.0, 0.55f, 0.65f, 0.8f, 0.05, 0.4);

  // The accents: 8 beats apart, each followed by two more 1.5 and 3 beats later.
  for (double phrase = 64.0; phrase < 128.0; phrase += 8.0) {
    for (double offset : {0.0, 1.5, 3.0}) {
      const double beat = phrase + offset;
      const float velocity = offset == 0.0 ? 1.0f : 0.85f;
      for (int note : HarmonyAt(beat).voicing) score.stabs.push_back({beat, 0.45, note + 12, velocity, 0.8f, 0.0f});
    }
    if (phrase != 64.0 && phrase != 96.0) score.crashes.push_back({phrase, 0.55f});
  }

  const double drumsEnd = 124.0;  // the last bar is left to the roll and the riser
  for (int beat = 64; beat < drumsEnd; ++beat) {
    score.kicks.push_back({static_cast<double>(beat), 1.0f});
    score.openHats.push_back({beat + 0.5, 0.6f});
    if (beat % 2 == 1) {
      score.claps.push_back({static_cast<double>(beat), 0.95f});
      score.snares.push_back({static_cast<double>(beat), 0.5f});
    }
    score.closedHats.push_back({static_cast<double>(beat), 0.5f});
    score.closedHats.push_back({beat + 0.25, 0.28f});
    score.closedHats.push_back({beat + 0.75, 0.35f});
    // Rolling sixteenths that leave the downbeat to the kick.
    const int root = HarmonyAt(beat).bassNote;
    const bool lift = beat % 8 == 7;
    for (double offset : {0.25, 0.5, 0.75}) {
      const int note = root + (lift && offset > 0.25 ? 12 : 0);
      score.bass.push_back({beat + offset, 0.22, note, offset == 0.5 ? 0.95f : 0.8f, 0.6f, 0.0f});
    }
  }
  AddArpeggio(score, 64.0, 124.0, 0.25, 0.35f, 0.4f, 0.6f, 0.75f);

  // The lead, one phrase per chord, in the accents' own rhythm.
  struct Phrase {
    std::array<int, 6> notes;  // MIDI, at beats 0, 1.5, 3, 4, 5, 6 of the chord
  };
  static constexpr std::array<Phrase, 4> kFirstPass = {{
      {{81, 84, 81, 79, 77, 76}},  // over F
      {{79, 83, 86, 84, 83, 79}},  // over G
      {{83, 79, 76, 79, 81, 83}},  // over E minor
      {{84, 83, 81, 0, 0, 0}},     // over A minor: lands and holds
  }};
  static constexpr std::array<int, 3> kSecondEnding = {84, 86, 88};  // climbs into the riser instead
  static constexpr std::array<double, 6> kOffsets = {0.0, 1.5, 3.0, 4.0, 5.0, 6.0};
  static constexpr std::array<double, 6> kLengths = {1.4, 1.4, 0.9, 0.9, 0.9, 1.9};
  for (int pass = 0; pass < 2; ++pass) {
    for (int chord = 0; chord < 4; ++chord) {
      const double chordBeat = 64.0 + 32.0 * pass + 8.0 * chord;
      const bool holdsEnd = chord == 3;
      for (size_t i = 0; i < kOffsets.size(); ++i) {
        int note = kFirstPass[chord].notes[i];
        if (note == 0) break;
        if (holdsEnd && pass == 1) note = kSecondEnding[i];
        const double length = holdsEnd && i == 2 ? 4.5 : kLengths[i];
        score.lead.push_back({chordBeat + kOffsets[i], length, note, 0.8f, Ramp(chordBeat, 64, 128, 0.55, 0.8), 0.0f});
      }
    }
  }

  AddSnareRoll(score, 120.0, 128.0, 0.3f, 1.0f);
  score.risers.push_back({112.0, 128.0, 1.0f});
}

// Units 13 to 17.8: the impact out of the flash, then half-time, then only
// pads, arpeggio and an echo of the lead, fading before the show ends.
void ComposeBreakdown(Score& score) {
  score.crashes.push_back({128.0, 1.0f});
  score.impacts.push_back({128.0, 1.0f});
  AddPadChords(score, 128.0, 176.0, 0.7f, 0.5f, 0.25f, 0.5, 1.2);
  score.pads.push_back({176.0, 16.0, kAMinor9.voicing, 0.65f, 0.2f, 0.8, 2.5});

  for (double beat = 128.0; beat < 176.0; beat += 4.0) {
    score.bass.push_back({beat, 3.8, HarmonyAt(beat).bassNote, 0.65f, 0.2f, 0.0f});
  }
  score.bass.push_back({176.0, 12.0, kAMinor9.bassNote, 0.55f, 0.12f, 0.0f});

  for (double beat = 128.0; beat < 144.0; beat += 4.0) {
    score.kicks.push_back({beat, 0.75f});
    score.claps.push_back({beat + 2.0, 0.5f});
  }
  for (double beat = 128.0; beat < 160.0; beat += 0.5) {
    score.closedHats.push_back({beat + 0.5, Ramp(beat, 128, 160, 0.3, 0.08)});
  }
  AddArpeggio(score, 128.0, 176.0, 0.5, 0.45f, 0.2f, 0.5f, 0.2f);
  AddArpeggio(score, 176.0, 188.0, 1.0, 0.2f, 0.08f, 0.2f, 0.1f);

  // The lead's G and A minor phrases once more, softly, into the echoes.
  const std::array<Note, 9> echo = {{
      {144.0, 1.4, 79, 0.45f, 0.3f, 0.0f}, {145.5, 1.4, 83, 0.45f, 0.3f, 0.0f}, {147.0, 0.9, 86, 0.45f, 0.3f, 0.0f},
      {148.0, 0.9, 84, 0.4f, 0.3f, 0.0f},  {149.0, 0.9, 83, 0.4f, 0.3f, 0.0f},  {150.0, 1.9, 79, 0.4f, 0.3f, 0.0f},
      {152.0, 1.4, 84, 0.4f, 0.25f, 0.0f}, {153.5, 1.4, 83, 0.35f, 0.25f, 0.0f}, {155.0, 5.0, 81, 0.35f, 0.2f, 0.0f},
  }};
  score.lead.insert(score.lead.end(), echo.begin(), echo.end());

  // The picture fades to black from unit 16.75; the music is gone a little before the show ends.
  score.fadeBeginBeat = BeatAtUnit(16.75);
  score.fadeEndBeat = BeatAtUnit(kShowEndUnit) - 1.0;
}

}  // namespace

Score ComposeSoundtrack() {
  Score score;
  ComposeFirstPart(score);
  ComposeGroove(score);
  ComposeTunnel(score);
  ComposeBreakdown(score);
  return score;
}

}  // namespace soundtrack
