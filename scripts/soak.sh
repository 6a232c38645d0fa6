#!/usr/bin/env bash
# The soak: builds flashloader-cli and modemsim with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs 1000 seeded flashes with random faults,
# two at a time. Exit status 0 only when no run ended in a false success, a
# crash, a hang or a leak. Options go to flash_soak, e.g.
#   scripts/soak.sh --runs 200 --seed 7
#   scripts/soak.sh --seed 7 --first 42 --runs 1     (repeats run 42)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/asan -DFLASHLOADER_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build/asan -j"$(nproc)" --target flash_soak
exec build/asan/tests/soak/flash_soak --cli build/asan/bin/flashloader-cli --modemsim build/asan/bin/modemsim \
  --fd-audit build/asan/tests/soak/libfd_audit.so --runs 1000 --jobs 2 "$@"
