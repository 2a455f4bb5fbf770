#include "platform/mp3_decode.h"

#include <mpg123.h>

#include <cerrno>
#include <cstring>
#include <cstdio>

namespace {

// libmpg123 wants one process-wide init; it is cheap and idempotent since 1.27.
bool EnsureLibraryReady() {
  static const bool ready = mpg123_init() == MPG123_OK;
  return ready;
}

}  // namespace

bool DecodeMp3File(const char* path, DecodedSound& sound, std::string& error) {
  sound = DecodedSound{};
  if (!EnsureLibraryReady()) {
    error = "the MP3 decoder cannot start";
    return false;
  }
  // mpg123 reports a missing file only as a generic open failure: ask the
  // file system first so the message names the real cause.
  if (FILE* probe = std::fopen(path, "rb")) {
    std::fclose(probe);
  } else {
    error = std::strerror(errno);
    return false;
  }
  int status = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &status);
  if (!handle) {
    error = mpg123_plain_strerror(status);
    return false;
  }
  // Gapless decoding trims the encoder delay so sample 0 is the first sample
  // the composer wrote; the full scan makes the length exact before decoding.
  mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_QUIET, 0.0);
  bool ok = false;
  if (mpg123_open(handle, path) != MPG123_OK) {
    error = mpg123_strerror(handle);
  } else {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_scan(handle) != MPG123_OK || mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
      error = mpg123_strerror(handle);
    } else {
      // Fix the output format to the file's rate, stereo, signed 16 bit.
      mpg123_format_none(handle);
      mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
      const off_t frames = mpg123_length(handle);
      if (frames > 0) sound.samples.reserve(static_cast<size_t>(frames) * 2);
      unsigned char chunk[16384];
      for (;;) {
        size_t got = 0;
        const int result = mpg123_read(handle, chunk, sizeof chunk, &got);
        const size_t count = got / sizeof(int16_t);
        const size_t old = sound.samples.size();
        sound.samples.resize(old + count);
        std::memcpy(sound.samples.data() + old, chunk, count * sizeof(int16_t));
        if (result == MPG123_DONE) {
          ok = true;
          break;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
          error = mpg123_strerror(handle);
          break;
        }
      }
      sound.sampleRate = rate;
      if (ok && sound.samples.empty()) {
        ok = false;
        error = "no audio frames in the file";
      }
    }
    mpg123_close(handle);
  }
  mpg123_delete(handle);
  if (!ok) sound = DecodedSound{};
  return ok;
}
