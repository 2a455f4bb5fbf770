#!/usr/bin/env bash
# Installs what is missing, builds, and plays the windowed show from the
# folder that holds fx/, textures/ and sound/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
CMAKE_EXTRA_ARGS=()
ensure_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev
build_targets build --target vantrel-window
exec build/bin/vantrel-window
