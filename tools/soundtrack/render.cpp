#include "tools/soundtrack/render.h"

#include <algorithm>
#include <cmath>

#include "tools/soundtrack/effects.h"
#include "tools/soundtrack/instruments.h"
#include "tools/soundtrack/limiter.h"
#include "tools/soundtrack/loudness.h"
#include "tools/soundtrack/score.h"
#include "tools/soundtrack/timeline.h"

namespace soundtrack {

namespace {

// One line of the mixing desk.
struct Part {
  void (*render)(const Score& score, StereoBuffer& out);
  double gainDb;
  double reverbSend;  // 0..1, share of the part's level sent to the room
  double delaySend;   // 0..1, share sent to the echo
  double duckDepth;   // 0..1, how far each kick pushes the part down
};

const std::vector<Part>& Desk() {
  static const std::vector<Part> parts = {
      {[](const Score& s, StereoBuffer& b) { RenderKicks(s.kicks, b); }, 0.0, 0.0, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderClaps(s.claps, b); }, -4.0, 0.25, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderSnares(s.snares, b); }, -8.0, 0.2, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderClosedHats(s.closedHats, b); }, -4.0, 0.05, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderOpenHats(s.openHats, b); }, -8.0, 0.1, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderCrashes(s.crashes, b); }, -15.0, 0.25, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderImpacts(s.impacts, b); }, -3.0, 0.3, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderBass(s.bass, b); }, -2.0, 0.0, 0.0, 0.55},
      {[](const Score& s, StereoBuffer& b) { RenderPads(s.pads, b); }, -9.0, 0.45, 0.0, 0.5},
      {[](const Score& s, StereoBuffer& b) { RenderArp(s.arp, b); }, -8.0, 0.2, 0.35, 0.35},
      {[](const Score& s, StereoBuffer& b) { RenderLead(s.lead, b); }, -7.0, 0.25, 0.25, 0.2},
      {[](const Score& s, StereoBuffer& b) { RenderStabs(s.stabs, b); }, -8.0, 0.35, 0.15, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderRisers(s.risers, b); }, -14.0, 0.3, 0.0, 0.0},
      {[](const Score& s, StereoBuffer& b) { RenderWater(s.water, b); }, -8.0, 0.2, 0.0, 0.0},
  };
  return parts;
}

constexpr double kEchoReturnDb = -6.0;
constexpr double kEchoIntoRoom = 0.3;  // echoes also sit in the room, not in front of it
constexpr double kRoomReturnDb = 0.0;
constexpr double kEchoBeats = 0.75;     // dotted eighth against the 16th-note grid
constexpr int kMaxMasterPasses = 6;
constexpr double kLoudnessToleranceLu = 0.05;

// Events starting before `beat` go to `before`, the others to `after`.
template <typename Event, typename StartOf>
void SplitEvents(const std::vector<Event>& events, double beat, StartOf startOf, std::vector<Event>& before,
                 std::vector<Event>& after) {
  for (const Event& event : events) (startOf(event) < beat ? before : after).push_back(event);
}

// The first part is cut at the break; splitting the score lets its tails be
// silenced without touching what the second part starts on its downbeat.
void SplitScore(const Score& score, double beat, Score& before, Score& after) {
  const auto hitStart = [](const Hit& e) { return e.beat; };
  const auto noteStart = [](const Note& e) { return e.beat; };
  const auto chordStart = [](const Chord& e) { return e.beat; };
  const auto swellStart = [](const Swell& e) { return e.beginBeat; };
  for (auto member : {&Score::kicks, &Score::claps, &Score::snares, &Score::closedHats, &Score::openHats,
                      &Score::crashes, &Score::impacts}) {
    SplitEvents(score.*member, beat, hitStart, before.*member, after.*member);
  }
  for (auto member : {&Score::bass, &Score::arp, &Score::lead, &Score::stabs}) {
    SplitEvents(score.*member, beat, noteStart, before.*member, after.*member);
  }
  SplitEvents(score.pads, beat, chordStart, before.pads, after.pads);
  for (auto member : {&Score::risers, &Score::water}) {
    SplitEvents(score.*member, beat, swellStart, before.*member, after.*member);
  }
}

// Silences everything from the break on, over a short ramp so it does not click.
void CutAtBreak(StereoBuffer& audio, double breakBeat) {
  constexpr double kRampSeconds = 0.01;
  const int64_t begin = FrameAtBeat(breakBeat);
  const int64_t rampFrames = static_cast<int64_t>(kRampSeconds * kSampleRate);
  for (int64_t frame = std::max<int64_t>(begin, 0); frame < static_cast<int64_t>(audio.Frames()); ++frame) {
    const float gain = std::max(0.0f, 1.0f - static_cast<float>(frame - begin) / rampFrames);
    audio.left[frame] *= gain;
    audio.right[frame] *= gain;
  }
}

// Per frame, 0..1: how hard the kicks are pressing the sustained parts down.
std::vector<float> KickPressure(const std::vector<Hit>& kicks, size_t frames) {
  constexpr double kAttackSeconds = 0.004, kRecoverySeconds = 0.09, kLengthSeconds = 0.5;
  std::vector<float> pressure(frames, 0.0f);
  for (const Hit& kick : kicks) {
    const int64_t start = FrameAtBeat(kick.beat);
    const int64_t end = std::min<int64_t>(start + static_cast<int64_t>(kLengthSeconds * kSampleRate), frames);
    for (int64_t frame = std::max<int64_t>(start, 0); frame < end; ++frame) {
      const double t = static_cast<double>(frame - start) / kSampleRate;
      const double shape = t < kAttackSeconds ? t / kAttackSeconds : std::exp(-(t - kAttackSeconds) / kRecoverySeconds);
      pressure[frame] = std::max(pressure[frame], static_cast<float>(kick.velocity * shape));
    }
  }
  return pressure;
}

// Raised-cosine fade from 1 at fadeBegin to 0 at fadeEnd, silence after.
void ApplyClosingFade(StereoBuffer& audio, double fadeBeginBeat, double fadeEndBeat) {
  const int64_t begin = FrameAtBeat(fadeBeginBeat);
  const int64_t end = FrameAtBeat(fadeEndBeat);
  for (int64_t frame = std::max<int64_t>(begin, 0); frame < static_cast<int64_t>(audio.Frames()); ++frame) {
    const double progress = std::min(1.0, static_cast<double>(frame - begin) / static_cast<double>(end - begin));
    const float gain = static_cast<float>(0.5 + 0.5 * std::cos(kPi * progress));
    audio.left[frame] *= gain;
    audio.right[frame] *= gain;
  }
}

}  // namespace

StereoBuffer RenderMix() {
  const Score score = ComposeSoundtrack();
  Score firstPart, secondPart;
  SplitScore(score, score.breakEndBeat, firstPart, secondPart);
  const size_t frames = static_cast<size_t>(kTrackFrames);
  const std::vector<float> pressure = KickPressure(score.kicks, frames);

  StereoBuffer dry(frames), roomSend(frames), echoSend(frames), part(frames);
  for (const Part& line : Desk()) {
    part.Clear();
    line.render(firstPart, part);
    CutAtBreak(part, score.breakBeginBeat);
    line.render(secondPart, part);
    const double gain = DbToGain(line.gainDb);
    for (size_t i = 0; i < frames; ++i) {
      const double level = gain * (1.0 - line.duckDepth * pressure[i]);
      const double left = part.left[i] * level;
      const double right = part.right[i] * level;
      dry.left[i] += static_cast<float>(left);
      dry.right[i] += static_cast<float>(right);
      roomSend.left[i] += static_cast<float>(left * line.reverbSend);
      roomSend.right[i] += static_cast<float>(right * line.reverbSend);
      echoSend.left[i] += static_cast<float>(left * line.delaySend);
      echoSend.right[i] += static_cast<float>(right * line.delaySend);
    }
  }

  const StereoBuffer echoes = PingPongDelay({kEchoBeats * kSecondsPerBeat, 0.38, 3500.0}).Process(echoSend);
  for (size_t i = 0; i < frames; ++i) {
    roomSend.left[i] += static_cast<float>(kEchoIntoRoom * echoes.left[i]);
    roomSend.right[i] += static_cast<float>(kEchoIntoRoom * echoes.right[i]);
  }
  const StereoBuffer room = StereoReverb(ReverbSettings{}).Process(roomSend);

  const double echoReturn = DbToGain(kEchoReturnDb);
  const double roomReturn = DbToGain(kRoomReturnDb);
  StereoBuffer mix(frames);
  for (size_t i = 0; i < frames; ++i) {
    mix.left[i] = static_cast<float>(dry.left[i] + echoReturn * echoes.left[i] + roomReturn * room.left[i]);
    mix.right[i] = static_cast<float>(dry.right[i] + echoReturn * echoes.right[i] + roomReturn * room.right[i]);
  }
  ApplyClosingFade(mix, score.fadeBeginBeat, score.fadeEndBeat);
  return mix;
}

StereoBuffer MasterMix(const StereoBuffer& mix, const MasterSettings& settings, MasterReport& report) {
  report = MasterReport{};
  const double mixLoudness = IntegratedLoudness(mix);
  if (mixLoudness <= kSilentLoudness) {
    report.loudness = mixLoudness;
    return mix;  // nothing to steer by; driving silence up would only raise the noise
  }
  const std::vector<float> peaks = TruePeakEnvelope(mix);
  LimiterSettings limiter;
  limiter.ceiling = settings.ceiling;
  // Limiting takes back part of each gain step, so a few passes settle the loudness.
  double drive = DbToGain(settings.targetLoudness - mixLoudness);
  StereoBuffer out(mix.Frames());
  std::vector<float> gain;
  for (int pass = 0; pass < kMaxMasterPasses; ++pass) {
    gain = LimiterGain(peaks, drive, limiter);
    for (size_t i = 0; i < mix.Frames(); ++i) {
      out.left[i] = static_cast<float>(mix.left[i] * drive * gain[i]);
      out.right[i] = static_cast<float>(mix.right[i] * drive * gain[i]);
    }
    report.loudness = IntegratedLoudness(out);
    if (std::abs(settings.targetLoudness - report.loudness) < kLoudnessToleranceLu) break;
    drive *= DbToGain(settings.targetLoudness - report.loudness);
  }
  report.driveDb = GainToDb(drive);
  report.largestReductionDb = gain.empty() ? 0.0 : -GainToDb(*std::min_element(gain.begin(), gain.end()));
  report.truePeak = TruePeak(out);
  return out;
}

std::vector<int16_t> ToPcm16(const StereoBuffer& audio) {
  std::vector<int16_t> pcm(audio.Frames() * 2);
  auto convert = [](float value) {
    return static_cast<int16_t>(std::clamp(std::lround(value * 32767.0), -32768L, 32767L));
  };
  for (size_t i = 0; i < audio.Frames(); ++i) {
    pcm[2 * i] = convert(audio.left[i]);
    pcm[2 * i + 1] = convert(audio.right[i]);
  }
  return pcm;
}

std::vector<int16_t> RenderSoundtrack(MasterReport& report) {
  return ToPcm16(MasterMix(RenderMix(), MasterSettings{}, report));
}

}  // namespace soundtrack
