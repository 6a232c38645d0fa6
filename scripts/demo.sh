#!/usr/bin/env bash
# From a fresh Debian 12 machine to the program's main job: installs the
# dependencies, builds, and runs the flasher.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLASHLOADER_TESTS=OFF
cmake --build build/release -j"$(nproc)"
if [ -x build/release/src/app/flashloader-cli ]; then
  exec build/release/src/app/flashloader-cli --simulate "$@"
fi
echo "flashloader-cli is not built yet; the core library is: build/release/src/libflashcore.a"
