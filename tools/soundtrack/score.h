// score: what is played and when, in beats of the track's grid (timeline.h).
//
// What it does: ComposeSoundtrack writes the whole arrangement as plain
// events per instrument. Beat 0 is the second part's downbeat at 34.23 s;
// the first part runs on the same grid at negative beats. The sections follow
// the show: a calm, building first part; from beat 0 (unit 5) the groove;
// from beat 64 (unit 9) the energetic middle with its accents every 8 beats
// (on the beat, 1.5 and 3 beats after) and a riser into beat 128; from beat
// 128 (unit 13) a breakdown that thins out and fades to silence before the
// show ends at beat 204.8 (unit 17.8).
// What it does not: produce sound; instruments.h renders these events.
// Lifetime: plain values, owned by whoever holds the Score.
#pragma once

#include <vector>

namespace soundtrack {

// A drum or effect hit.
struct Hit {
  double beat = 0.0;
  float velocity = 1.0f;  // 0..1
};

// A pitched note of a monophonic part.
struct Note {
  double beat = 0.0;
  double lengthBeats = 1.0;  // how long the key is held
  int midiNote = 60;
  float velocity = 1.0f;     // 0..1
  float brightness = 0.5f;   // 0..1, opens the instrument's filter
  float pan = 0.0f;          // -1 left .. +1 right
};

// A held chord on the pad.
struct Chord {
  double beat = 0.0;
  double lengthBeats = 8.0;
  std::vector<int> midiNotes;
  float velocity = 0.7f;
  float brightness = 0.5f;
  double attackSeconds = 0.3;
  double releaseSeconds = 0.8;  // time constant after the chord is let go
};

// Something that grows or flows over a span: a riser, the water wash.
struct Swell {
  double beginBeat = 0.0;
  double endBeat = 0.0;
  float level = 1.0f;  // 0..1
};

struct Score {
  std::vector<Hit> kicks, claps, snares, closedHats, openHats, crashes, impacts;
  std::vector<Note> bass, arp, lead, stabs;
  std::vector<Chord> pads;
  std::vector<Swell> risers, water;
  // Master automation, in beats: a hard stop just before the second part's
  // downbeat, and the closing fade to silence.
  double breakBeginBeat = 0.0;
  double breakEndBeat = 0.0;
  double fadeBeginBeat = 0.0;
  double fadeEndBeat = 0.0;
};

Score ComposeSoundtrack();

}  // namespace soundtrack
