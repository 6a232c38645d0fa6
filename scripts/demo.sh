#!/usr/bin/env bash
# From a fresh Debian 12 machine to the program's main job: installs the
# dependencies, builds the terminal program and the simulated modem, and
# flashes the simulated modem from probe to "Programming Successfully
# Completed.". Extra arguments go to flashloader-cli (e.g. -v for the log).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLASHLOADER_TESTS=OFF
cmake --build build/release -j"$(nproc)" --target flashloader-cli modemsim
exec build/release/bin/flashloader-cli --simulate "$@"
