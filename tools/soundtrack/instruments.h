// instruments: the synthesiser voices that turn score events into sound.
//
// What it does: each Render* function adds every event of one part into the
// given buffer at the event's frame (FrameAtBeat), dry and at roughly full
// scale for velocity 1, so the mixer sets the balance. Drums are synthesised
// from sine sweeps and filtered noise; pitched parts from band-limited saw and
// square oscillators through state-variable filters with ADSR envelopes.
// Noise comes from a generator seeded per part, so every run is identical.
// What it does not: mix, pan whole parts, add reverb or delay, or clip;
// events that fall partly outside the buffer are cut at its ends.
// Lifetime: stateless functions; the buffer belongs to the caller.
#pragma once

#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/score.h"

namespace soundtrack {

void RenderKicks(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderClaps(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderSnares(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderClosedHats(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderOpenHats(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderCrashes(const std::vector<Hit>& hits, StereoBuffer& out);
void RenderImpacts(const std::vector<Hit>& hits, StereoBuffer& out);

void RenderBass(const std::vector<Note>& notes, StereoBuffer& out);
void RenderArp(const std::vector<Note>& notes, StereoBuffer& out);
void RenderLead(const std::vector<Note>& notes, StereoBuffer& out);
void RenderStabs(const std::vector<Note>& notes, StereoBuffer& out);
void RenderPads(const std::vector<Chord>& chords, StereoBuffer& out);

void RenderRisers(const std::vector<Swell>& swells, StereoBuffer& out);
void RenderWater(const std::vector<Swell>& swells, StereoBuffer& out);

}  // namespace soundtrack
