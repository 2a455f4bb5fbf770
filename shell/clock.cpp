// The demo clock: the soundtrack's playing position, turned into DemoTime.
#include <cstdio>

#include "engine/engine.h"
#include "shell/shell.h"

AudioStream SoundtrackStream = 0;
float SoundtrackSeconds = 0;
float PreviousSeconds = 0;
float FrameDelta = 0;
float DemoTime = 0;
SoundtrackClock SoundtrackClockSource = SoundtrackClock::Device;

void InitSharedState() {
  MatrixIdentity(&IdentityMatrix);
  ResetTransforms();
  PreviousSeconds = 0;
  FrameDelta = 0;
  // The program's own reference keeps the shared effect for the whole run.
  SharedEffect = *LookupEffect(SharedEffectPath);
  if (SharedEffect) SharedEffect->AddRef();
  DemoTime = 0;
}

bool StartSoundtrack() {
  if (SoundtrackClockSource == SoundtrackClock::Manual) {
    AudioInitManual();
  } else if (!AudioInit(-1, 44100, 0, GetForegroundWindow())) {
    // Without a device the show still runs, on a clock that advances as if
    // the track played.
    std::fprintf(stderr, "vantrel: no audio device, playing silently\n");
    AudioInitSilent();
  }
  SoundtrackStream = AudioStreamCreateFile(false, SoundtrackPath, 0, 0, AudioStreamPrescan);
  if (!SoundtrackStream) {
    std::fprintf(stderr, "vantrel: cannot open %s: %s\n", SoundtrackPath, AudioLastError());
    return false;
  }
  AudioChannelPlay(SoundtrackStream, false);
  UpdateDemoClock();
  return true;
}

void UpdateDemoClock() {
  PreviousSeconds = SoundtrackSeconds;
  const uint64_t position = AudioChannelGetPosition(SoundtrackStream);
  SoundtrackSeconds = static_cast<float>(AudioChannelBytes2Seconds(SoundtrackStream, position));
  FrameDelta = SoundtrackSeconds - PreviousSeconds;
  // Not continuous: just before 34.23 s the time is just over 4.1, at 34.23 s
  // it is exactly 5. A NaN takes the second branch.
  if (SoundtrackSeconds < SecondPartStart)
    DemoTime = SoundtrackSeconds / UnitSeconds;
  else
    DemoTime = (SoundtrackSeconds - SecondPartStart) / UnitSeconds + 5;
}

void ReleaseSharedState() {
  AudioFree();
  SoundtrackStream = 0;
  if (SharedEffect) {
    SharedEffect->Release();
    SharedEffect = nullptr;
  }
}
