#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless
# (SDL's offscreen video driver on Mesa, its dummy audio driver).
# With --sanitize, the same in a separate build with AddressSanitizer and
# UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
build_dir=build
CMAKE_EXTRA_ARGS=(-DVANTREL_SANITIZE=OFF)
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  CMAKE_EXTRA_ARGS=(-DVANTREL_SANITIZE=ON)
  # The GL driver's own allocations outlive the process on purpose.
  export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fi
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build_targets "$build_dir"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)" --timeout 600
