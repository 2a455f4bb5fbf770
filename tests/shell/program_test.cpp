// The windowed program run as a process: every way it refuses to start says
// why in one line on stderr and exits 1; without an audio device it plays on.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_directory.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exitCode = -1;
  std::string errors;  // stderr
};

// Runs the program from `directory` with the given environment prefix,
// stopping it after timeoutSeconds (exit code 124 then).
Outcome RunProgram(const fs::path& directory, const std::string& environment, int timeoutSeconds) {
  const fs::path errorsFile = directory / "stderr.txt";
  const std::string command = "cd '" + directory.string() + "' && env " + environment + " timeout " +
                              std::to_string(timeoutSeconds) + " '" + VANTREL_WINDOW_PROGRAM + "' 2> '" +
                              errorsFile.string() + "' > /dev/null";
  const int status = std::system(command.c_str());
  Outcome outcome;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errorsFile);
  outcome.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return outcome;
}

// A directory holding the show's content, with parts left out or replaced.
class ShellProgram : public testing::Test {
 protected:
  void SetUp() override {
    const fs::path source = VANTREL_SOURCE_DIR;
    fs::copy(source / "fx", directory / "fx");
    fs::copy(source / "textures", directory / "textures");
    fs::copy(source / "sound", directory / "sound");
  }
  TempDirectory temporary;
  const fs::path directory{temporary.path()};
};

const char* const Headless = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy";

TEST_F(ShellProgram, NoDisplayIsOneLineAndExitOne) {
  const Outcome outcome = RunProgram(directory, "-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy", 20);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.errors.rfind("vantrel: cannot create the graphics device: no display", 0), 0u) << outcome.errors;
  EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1) << outcome.errors;
}

TEST_F(ShellProgram, MissingSoundtrackIsNamedAndExitOne) {
  fs::remove(directory / "sound" / "slide2.mp3");
  const Outcome outcome = RunProgram(directory, Headless, 20);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.errors, "vantrel: cannot open sound/slide2.mp3: No such file or directory\n");
}

TEST_F(ShellProgram, UnreadableSoundtrackIsNamedAndExitOne) {
  std::ofstream(directory / "sound" / "slide2.mp3", std::ios::trunc) << "not an mp3 at all";
  const Outcome outcome = RunProgram(directory, Headless, 20);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.errors.rfind("vantrel: cannot open sound/slide2.mp3: ", 0), 0u) << outcome.errors;
}

TEST_F(ShellProgram, BrokenEffectStopsWithItsFileAndLine) {
  // Append a pass naming a shader that does not exist, on a known line.
  std::string text;
  {
    std::ifstream in(directory / "fx" / "water.fx");
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const long line = std::count(text.begin(), text.end(), '\n') + 1;
  std::ofstream(directory / "fx" / "water.fx", std::ios::app) << "technique Broken { pass P0 { vertex = NoSuchShader; } }\n";
  const Outcome outcome = RunProgram(directory, Headless, 20);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.errors.rfind("vantrel: fx/water.fx:" + std::to_string(line) + ": ", 0), 0u) << outcome.errors;
}

TEST_F(ShellProgram, MissingTextureIsNamedAndExitOne) {
  fs::remove(directory / "textures" / "mosaic.dds");
  const Outcome outcome = RunProgram(directory, Headless, 20);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.errors.find("vantrel: cannot read textures/mosaic.dds: "), std::string::npos) << outcome.errors;
}

TEST_F(ShellProgram, NoAudioDevicePlaysSilentlyAndATerminateSignalEndsIt) {
  // It keeps running after saying so once, until the timeout's terminate
  // signal closes it.
  const auto start = std::chrono::steady_clock::now();
  const Outcome outcome = RunProgram(directory, "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=no-such-driver", 3);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(outcome.exitCode, 124) << "timeout's code: the program was still running after 3 s";
  EXPECT_EQ(outcome.errors, "vantrel: no audio device, playing silently\n");
  EXPECT_LT(seconds, 10.0) << "the terminate signal must end the program";
}

}  // namespace
