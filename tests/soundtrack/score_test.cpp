#include "tools/soundtrack/score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {
namespace {

// Where every event of every part begins, in beats.
std::vector<double> AllStartBeats(const Score& score) {
  std::vector<double> beats;
  for (const auto* hits : {&score.kicks, &score.claps, &score.snares, &score.closedHats, &score.openHats,
                           &score.crashes, &score.impacts}) {
    for (const Hit& hit : *hits) beats.push_back(hit.beat);
  }
  for (const auto* notes : {&score.bass, &score.arp, &score.lead, &score.stabs}) {
    for (const Note& note : *notes) beats.push_back(note.beat);
  }
  for (const Chord& chord : score.pads) beats.push_back(chord.beat);
  for (const auto* swells : {&score.risers, &score.water}) {
    for (const Swell& swell : *swells) beats.push_back(swell.beginBeat);
  }
  return beats;
}

// The pad chord sounding at `beat` (the last one that started by then).
const Chord* PadAt(const Score& score, double beat) {
  const Chord* sounding = nullptr;
  for (const Chord& chord : score.pads) {
    if (chord.beat <= beat && (!sounding || chord.beat >= sounding->beat)) sounding = &chord;
  }
  return sounding;
}

std::set<int> PitchClasses(const std::vector<int>& midiNotes) {
  std::set<int> classes;
  for (int note : midiNotes) classes.insert(note % 12);
  return classes;
}

class SoundtrackScore : public ::testing::Test {
 protected:
  const Score score = ComposeSoundtrack();
};

TEST_F(SoundtrackScore, SecondPartStartsOnItsDownbeatAfterAStop) {
  EXPECT_EQ(score.breakEndBeat, 0.0);
  EXPECT_LT(score.breakBeginBeat, 0.0);
  for (double beat : AllStartBeats(score)) {
    EXPECT_FALSE(beat >= score.breakBeginBeat && beat < score.breakEndBeat) << "event starts in the stop at " << beat;
  }
  for (const auto* downbeat : {&score.kicks, &score.crashes}) {
    EXPECT_TRUE(std::any_of(downbeat->begin(), downbeat->end(), [](const Hit& hit) { return hit.beat == 0.0; }));
  }
}

TEST_F(SoundtrackScore, TunnelAccentsLandWhereThePicturePulsesAndRiseIntoTheFlash) {
  std::set<double> expected;
  for (double phrase = BeatAtUnit(9); phrase < BeatAtUnit(13); phrase += 8.0) {
    for (double offset : {0.0, 1.5, 3.0}) expected.insert(phrase + offset);
  }
  std::set<double> stabBeats;
  for (const Note& stab : score.stabs) stabBeats.insert(stab.beat);
  EXPECT_EQ(stabBeats, expected);

  const double flashBegin = BeatAtUnit(12.9), flashEnd = BeatAtUnit(13);
  EXPECT_TRUE(std::any_of(score.risers.begin(), score.risers.end(), [&](const Swell& riser) {
    return riser.beginBeat < flashBegin && riser.endBeat == flashEnd;
  })) << "no riser ends on the flash";
  EXPECT_TRUE(std::any_of(score.impacts.begin(), score.impacts.end(),
                          [&](const Hit& hit) { return hit.beat == flashEnd; }))
      << "no impact out of the flash";
}

TEST_F(SoundtrackScore, BassPlaysTheRootsOfTheSoundingChords) {
  ASSERT_FALSE(score.bass.empty());
  for (const Note& note : score.bass) {
    const Chord* pad = PadAt(score, note.beat);
    ASSERT_NE(pad, nullptr) << "bass at beat " << note.beat << " has no chord";
    EXPECT_TRUE(PitchClasses(pad->midiNotes).count(note.midiNote % 12)) << "bass at beat " << note.beat;
  }
}

// Melodic parts use A natural minor plus whatever the sounding chord adds
// (the G sharp of the dominant before the second part).
TEST_F(SoundtrackScore, MelodiesStayInKey) {
  const std::set<int> aMinor = {9, 11, 0, 2, 4, 5, 7};
  for (const auto* part : {&score.lead, &score.arp, &score.stabs}) {
    for (const Note& note : *part) {
      const Chord* pad = PadAt(score, note.beat);
      ASSERT_NE(pad, nullptr);
      const int pitchClass = note.midiNote % 12;
      EXPECT_TRUE(aMinor.count(pitchClass) || PitchClasses(pad->midiNotes).count(pitchClass))
          << "MIDI " << note.midiNote << " at beat " << note.beat;
    }
  }
}

TEST_F(SoundtrackScore, EverythingHappensWhileTheShowRuns) {
  const double trackStart = BeatAtFrame(0);
  for (double beat : AllStartBeats(score)) {
    EXPECT_GE(beat, trackStart - 1e-9);
    EXPECT_LT(beat, score.fadeEndBeat);
  }
  EXPECT_EQ(score.fadeBeginBeat, BeatAtUnit(16.75)) << "the music fades with the picture";
  EXPECT_LE(score.fadeEndBeat, BeatAtUnit(kShowEndUnit)) << "still sounding when the show ends";
}

}  // namespace
}  // namespace soundtrack
