#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine to a full test run: installs the
# dependencies, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/asan -DFLASHLOADER_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build/asan -j"$(nproc)"
ctest --test-dir build/asan --output-on-failure -j"$(nproc)" --timeout 300
