#include "platform/audio.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>

#include "platform/mp3_decode.h"

namespace {

enum class ClockSource { None, Device, WallTime, Manual };

constexpr AudioStream TheStream = 1;
constexpr uint32_t BytesPerFrame = 4;     // 16-bit stereo
constexpr uint16_t DeviceBufferFrames = 1024;

using Clock = std::chrono::steady_clock;

ClockSource clockSource = ClockSource::None;
SDL_AudioDeviceID audioDevice = 0;
uint32_t deviceBufferBytes = 0;
DecodedSound sound;
bool haveStream = false;
bool playing = false;
std::string lastError;

// Written by the audio thread: bytes handed to the device so far, and when
// the last hand-over happened.
std::atomic<uint64_t> handedBytes{0};
std::atomic<int64_t> lastHandOverNanoseconds{0};

Clock::time_point wallStart;
uint64_t manualBytes = 0;

uint64_t StreamBytes() { return uint64_t{sound.samples.size()} * sizeof(int16_t); }

int64_t NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void FeedDevice(void* userData, Uint8* out, int length) {
  (void)userData;
  const uint64_t handed = handedBytes.load(std::memory_order_relaxed);
  const uint64_t total = StreamBytes();
  const uint64_t available = handed < total ? total - handed : 0;
  const uint64_t count = std::min<uint64_t>(available, static_cast<uint64_t>(length));
  const auto* bytes = reinterpret_cast<const Uint8*>(sound.samples.data());
  SDL_memcpy(out, bytes + handed, count);
  SDL_memset(out + count, 0, static_cast<size_t>(length) - count);
  lastHandOverNanoseconds.store(NowNanoseconds(), std::memory_order_relaxed);
  handedBytes.store(handed + count, std::memory_order_release);
}

// What the device has played: the bytes handed over, less the buffer that
// still waits, plus what has drained of it since the last hand-over.
uint64_t DevicePlayedBytes() {
  SDL_LockAudioDevice(audioDevice);
  const uint64_t handed = handedBytes.load(std::memory_order_acquire);
  const int64_t handOver = lastHandOverNanoseconds.load(std::memory_order_relaxed);
  SDL_UnlockAudioDevice(audioDevice);
  if (handed == 0) return 0;
  const double sinceHandOver = (NowNanoseconds() - handOver) * 1e-9;
  const double drained = std::clamp(sinceHandOver * sound.sampleRate * BytesPerFrame, 0.0, double(deviceBufferBytes));
  const double waiting = double(deviceBufferBytes) - drained;
  const double played = std::max(0.0, double(handed) - waiting);
  return uint64_t(played) / BytesPerFrame * BytesPerFrame;
}

// Opens the default output at a rate, 16-bit stereo, fed by FeedDevice.
SDL_AudioDeviceID OpenOutput(int rate) {
  SDL_AudioSpec wanted{};
  wanted.freq = rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = DeviceBufferFrames;
  wanted.callback = FeedDevice;
  return SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
}

void CloseDevice() {
  if (audioDevice) SDL_CloseAudioDevice(audioDevice);
  audioDevice = 0;
  if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

bool AudioInit(int32_t device, uint32_t frequency, uint32_t flags, WindowHandle window) {
  (void)device;  // the default output is the only one offered
  (void)flags;
  (void)window;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    lastError = SDL_GetError();
    return false;
  }
  // Open once now so "no device" is known at start-up; the stream reopens
  // it at its own rate.
  audioDevice = OpenOutput(static_cast<int>(frequency));
  if (!audioDevice) {
    lastError = SDL_GetError();
    CloseDevice();
    return false;
  }
  clockSource = ClockSource::Device;
  return true;
}

void AudioInitSilent() { clockSource = ClockSource::WallTime; }
void AudioInitManual() { clockSource = ClockSource::Manual; }

AudioStream AudioStreamCreateFile(bool fromMemory, const char* path, uint32_t offset, uint32_t length,
                                  uint32_t flags) {
  (void)flags;
  if (clockSource == ClockSource::None) {
    lastError = "the audio output is not started";
    return 0;
  }
  if (fromMemory || offset != 0 || length != 0) {
    lastError = "only whole files can be streamed";
    return 0;
  }
  if (haveStream) {
    lastError = "a stream is already open";
    return 0;
  }
  std::string error;
  DecodedSound decoded;
  if (!DecodeMp3File(path, decoded, error)) {
    lastError = error;
    return 0;
  }
  sound = std::move(decoded);
  if (clockSource == ClockSource::Device) {
    // Reopen at the file's own rate so positions count the file's frames.
    SDL_CloseAudioDevice(audioDevice);
    audioDevice = OpenOutput(static_cast<int>(sound.sampleRate));
    if (!audioDevice) {
      lastError = SDL_GetError();
      sound = DecodedSound{};
      return 0;
    }
    deviceBufferBytes = uint32_t{DeviceBufferFrames} * BytesPerFrame;
  }
  handedBytes = 0;
  manualBytes = 0;
  haveStream = true;
  return TheStream;
}

const char* AudioLastError() { return lastError.c_str(); }

bool AudioChannelPlay(AudioStream stream, bool restart) {
  if (stream != TheStream || !haveStream) return false;
  if (restart) handedBytes = 0;
  if (!playing || restart) wallStart = Clock::now();
  playing = true;
  if (clockSource == ClockSource::Device) SDL_PauseAudioDevice(audioDevice, 0);
  return true;
}

uint64_t AudioChannelGetPosition(AudioStream stream) {
  if (stream != TheStream || !haveStream) return AudioPositionInvalid;
  if (!playing) return 0;
  uint64_t bytes = 0;
  switch (clockSource) {
    case ClockSource::Device: bytes = DevicePlayedBytes(); break;
    case ClockSource::WallTime: {
      const double seconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
      bytes = uint64_t(seconds * sound.sampleRate) * BytesPerFrame;
      break;
    }
    case ClockSource::Manual: bytes = manualBytes; break;
    case ClockSource::None: break;
  }
  return std::min(bytes, StreamBytes());
}

double AudioChannelBytes2Seconds(AudioStream stream, uint64_t bytes) {
  if (stream != TheStream || !haveStream) return -1.0;
  return double(bytes) / (double(sound.sampleRate) * BytesPerFrame);
}

bool AudioFree() {
  CloseDevice();
  sound = DecodedSound{};
  haveStream = false;
  playing = false;
  handedBytes = 0;
  manualBytes = 0;
  clockSource = ClockSource::None;
  return true;
}

void AudioSetManualPosition(double seconds) {
  if (!haveStream) return;
  // The nearest frame: 34.23 s is frame 1 509 543 even though 34.23 x 44100
  // comes out a hair below it in floating point.
  const uint64_t frames = static_cast<uint64_t>(std::llround(std::max(0.0, seconds) * sound.sampleRate));
  manualBytes = std::min(frames * BytesPerFrame, StreamBytes());
}

double AudioStreamLengthSeconds(AudioStream stream) {
  if (stream != TheStream || !haveStream) return 0.0;
  return double(StreamBytes()) / (double(sound.sampleRate) * BytesPerFrame);
}
