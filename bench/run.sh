#!/usr/bin/env bash
# Benchmark: builds flashloader-cli and modemsim (Release, no sanitizers) into
# build/bench, then flashes modemsim on a pseudo-terminal with generated
# images of 64 KiB, 256 KiB and 1 MiB, answered at once (instant) and paced at
# 11,520 characters per second each way with a 10 s erase (paced), and prints
# a Markdown table. Not part of the tests; it asserts nothing.
#   bench/run.sh            all six runs (the paced 1 MiB takes ~4 minutes)
#   bench/run.sh --quick    without the paced 1 MiB run
# Other options go to bench/flashbench.py (--erase-ms N, --keep).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASHLOADER_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target flashloader-cli modemsim >/dev/null
cc -O2 -shared -fPIC -o "$build/io_timing.so" bench/io_timing.c -ldl

exec python3 bench/flashbench.py --bin "$PWD/$build/bin" --shim "$PWD/$build/io_timing.so" "$@"
