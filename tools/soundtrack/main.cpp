// vantrel-soundtrack: renders the show's music from source and encodes it.
//
// To remake the committed track, from the repository root:
//   cmake -S . -B build-sound && cmake --build build-sound -j2 --target vantrel-soundtrack
//   build-sound/tools/soundtrack/vantrel-soundtrack sound/slide2.mp3
//
// Usage:
//   vantrel-soundtrack OUTPUT.mp3        render, then encode with LAME (Debian's `lame`,
//                                        256 kbit/s CBR, with its gapless info tag)
//   vantrel-soundtrack --wav OUTPUT.wav  render and write only the 16-bit PCM
// The PCM is the same on every run of the same source; it prints a hash of it
// so two runs can be compared. The MP3 bytes may still change with LAME's version.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/render.h"
#include "tools/soundtrack/timeline.h"
#include "tools/soundtrack/wav.h"

extern char** environ;

namespace {

constexpr const char* kUsage =
    "usage: vantrel-soundtrack OUTPUT.mp3\n"
    "       vantrel-soundtrack --wav OUTPUT.wav\n";

// FNV-1a over the samples' bytes in file order: a cheap fingerprint to compare runs.
uint64_t Fingerprint(const std::vector<int16_t>& pcm) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (int16_t sample : pcm) {
    const uint16_t bits = static_cast<uint16_t>(sample);
    for (int byte = 0; byte < 2; ++byte) {
      hash ^= (bits >> (8 * byte)) & 0xFF;
      hash *= 0x100000001B3ull;
    }
  }
  return hash;
}

// Runs lame directly (no shell), so paths need no quoting.
bool EncodeMp3(const std::string& wavPath, const std::string& mp3Path) {
  std::vector<std::string> arguments = {"lame", "--quiet", "-b", "256", "-q", "2", wavPath, mp3Path};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "lame", nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    std::fprintf(stderr, "vantrel-soundtrack: cannot run lame: %s\n", std::strerror(spawned));
    return false;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "vantrel-soundtrack: lame failed\n");
    return false;
  }
  return true;
}

// A private temporary WAV for LAME to read; removed again by the caller.
std::string MakeTemporaryWavPath() {
  std::string pattern = "/tmp/vantrel-soundtrack-XXXXXX.wav";
  const int descriptor = mkstemps(pattern.data(), 4);
  if (descriptor < 0) return {};
  close(descriptor);
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  const bool wavOnly = argc == 3 && std::strcmp(argv[1], "--wav") == 0;
  if (!(argc == 2 && argv[1][0] != '-') && !wavOnly) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string outputPath = argv[argc - 1];

  soundtrack::MasterReport report;
  const std::vector<int16_t> pcm = soundtrack::RenderSoundtrack(report);
  std::printf("rendered %.3f s: %.2f LUFS integrated, true peak %.2f dBTP, drive %+.2f dB, deepest limiting %.2f dB\n",
              static_cast<double>(pcm.size() / 2) / soundtrack::kSampleRate, report.loudness,
              soundtrack::GainToDb(report.truePeak), report.driveDb, report.largestReductionDb);
  std::printf("pcm fingerprint %016llx\n", static_cast<unsigned long long>(Fingerprint(pcm)));

  const std::string wavPath = wavOnly ? outputPath : MakeTemporaryWavPath();
  if (wavPath.empty()) {
    std::fprintf(stderr, "vantrel-soundtrack: cannot create a temporary file: %s\n", std::strerror(errno));
    return 1;
  }
  std::string error;
  if (!soundtrack::WriteWav(wavPath, pcm, 2, soundtrack::kSampleRate, error)) {
    std::fprintf(stderr, "vantrel-soundtrack: %s: %s\n", wavPath.c_str(), error.c_str());
    return 1;
  }
  if (wavOnly) return 0;
  const bool encoded = EncodeMp3(wavPath, outputPath);
  std::remove(wavPath.c_str());
  if (!encoded) return 1;
  std::printf("wrote %s\n", outputPath.c_str());
  return 0;
}
