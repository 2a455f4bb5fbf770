# Sourced by play.sh and test.sh: installs the Debian packages that are
# missing, and says nothing when all are there.
# Usage: ensure_packages package...
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing ${missing[*]} ..."
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building and running the show needs: compiler and build tools, SDL2,
# OpenGL through libepoxy with Mesa's drivers (llvmpipe without a GPU, EGL
# for headless runs), libmpg123.
BUILD_PACKAGES=(g++ cmake make pkg-config libsdl2-dev libepoxy-dev libmpg123-dev
                libgl1-mesa-dri libegl-mesa0 libglx-mesa0)
# What the tests need besides: GoogleTest, a GLSL validator, LAME and ffmpeg
# for the soundtrack's checks, Xvfb and xdotool to drive the real window.
TEST_PACKAGES=(googletest libgtest-dev glslang-tools lame ffmpeg xvfb xdotool xauth)

# Configures (once) and builds the given targets quietly; prints the build's
# output only when it fails.
build_targets() {
  local build_dir="$1"
  shift
  local log
  log="$(mktemp)"
  if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CMAKE_EXTRA_ARGS[@]}" &&
         cmake --build "$build_dir" -j"$(nproc)" "$@"; } >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    echo "Build failed." >&2
    return 1
  fi
  rm -f "$log"
}
