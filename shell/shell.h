// shell: the program's entry, window and main loop, the demo clock driven by
// the soundtrack's playing position, and the timeline director that draws
// one frame.
//
// What it does: RunDemo is the whole program (main only calls it). The clock
// has no time of its own: DemoTime follows the soundtrack, in timeline units
// of 16 beats at 115 beats per minute, with a jump to unit 5 at 34.23 s of
// track; it moves only when a frame is drawn.
// What it does not: read a command line or any configuration.
// Lifetime: one run per process; RunDemo's start-up, loop and shut-down are
// also callable one by one for tests.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/audio.h"
#include "platform/window.h"

// ---------------------------------------------------------------- entry and loop

constexpr float DemoEndTime = 17.8f;  // timeline units
inline constexpr char WindowClassName[] = "Quorvel";
inline constexpr char WindowTitle[] = "Tiny little wrapper thingie";

intptr_t MainWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The whole program; returns the process's exit code: 0 for every normal way
// out (the end of the show, Escape, the close box), 1 when the device, the
// content or the soundtrack cannot be had (after a one-line reason on stderr).
int RunDemo();

// The pieces of RunDemo. StartUp returns false after printing the reason;
// ShutDown then releases whatever was made (every step may run twice).
bool StartUp(WindowHandle* window);
void RunMainLoop();
void ShutDown();
// True while the loop must go on: DemoTime below the end time (a NaN ends it).
bool ShowIsRunning();

// ---------------------------------------------------------------- clock

// One timeline unit: 16 beats at 115 beats per minute, 960/115 s.
constexpr float UnitSeconds = std::bit_cast<float>(0x410590B2u);      // 8.347826 s
// The track position where timeline unit 5 begins.
constexpr float SecondPartStart = std::bit_cast<float>(0x4208EB85u);  // 34.23 s

extern AudioStream SoundtrackStream;
extern float SoundtrackSeconds;  // track position at the last clock update, seconds
extern float PreviousSeconds;    // SoundtrackSeconds before that update, seconds
extern float FrameDelta;         // seconds of track between the last two updates
extern float DemoTime;           // timeline units

// How the soundtrack's position is driven: by the audio device (falling back
// to wall time with no device), or by the caller through
// AudioSetManualPosition (the capture program).
enum class SoundtrackClock { Device, Manual };
extern SoundtrackClock SoundtrackClockSource;

void InitSharedState();
// Returns false, after saying why on stderr, when the soundtrack cannot be
// opened: the show would never move.
bool StartSoundtrack();
void UpdateDemoClock();
void ReleaseSharedState();

// ---------------------------------------------------------------- director

extern uint64_t FramesDrawn;  // frames the director has drawn since start-up
void TimelineDirector();
