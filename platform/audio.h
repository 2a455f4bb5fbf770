// audio: one soundtrack stream and its playing position, over SDL2's audio
// device and libmpg123.
//
// What it does: AudioStreamCreateFile decodes the whole MP3 at once (a full
// scan, so every position is exact from the first sample); AudioChannelPlay
// starts it; AudioChannelGetPosition says how far it has played, in bytes of
// 16-bit stereo frames at the file's rate (4 bytes a frame): what was handed
// to the device minus what still waits in the device's buffer, never what was
// decoded ahead. The stream plays once and stops at its end.
// Three clocks can drive the position:
//  - the audio device (AudioInit succeeded);
//  - wall time, with no device (AudioInitSilent): the position advances
//    exactly as if the stream played;
//  - the caller (AudioInitManual, then AudioSetManualPosition): for rendering
//    frame by frame at a fixed rate.
// What it does not: mix several streams, loop, seek, or resample (the device
// is opened at the file's rate).
// Lifetime: AudioInit* once, then one stream at a time; AudioFree stops the
// output and frees the stream and everything else.
#pragma once

#include <cstdint>

#include "platform/window.h"

using AudioStream = uint32_t;  // 0: no stream

constexpr uint32_t AudioStreamPrescan = 0x20000;  // accepted; every stream is scanned fully anyway
constexpr uint64_t AudioPositionInvalid = ~uint64_t{0};

// device -1 is the default output. Returns false when no audio device can be
// opened; nothing is left open then.
bool AudioInit(int32_t device, uint32_t frequency, uint32_t flags, WindowHandle window);
// Plays on a real-time clock with no device: never fails.
void AudioInitSilent();
// The caller sets the position: never fails.
void AudioInitManual();

// Returns 0 when the file cannot be opened or decoded; AudioLastError() then
// gives the reason (without the path). offset and length in bytes of the
// file; 0 and 0 for the whole file, the only form supported.
AudioStream AudioStreamCreateFile(bool fromMemory, const char* path, uint32_t offset, uint32_t length, uint32_t flags);
const char* AudioLastError();

bool AudioChannelPlay(AudioStream stream, bool restart);
// AudioPositionInvalid for an unknown stream.
uint64_t AudioChannelGetPosition(AudioStream stream);
// seconds = bytes / (rate x 4); a negative value for an unknown stream.
double AudioChannelBytes2Seconds(AudioStream stream, uint64_t bytes);
bool AudioFree();

// Manual clock only: the position the next AudioChannelGetPosition reports,
// in seconds of the stream (to the nearest frame, kept within the stream's
// length).
void AudioSetManualPosition(double seconds);
// The decoded stream's length in seconds; 0 without a stream.
double AudioStreamLengthSeconds(AudioStream stream);
