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

# The fuzzers (clang, libFuzzer with ASan and UBSan): a short run of each over
# its checked-in seeds; README.md tells how to run them longer.
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++
cmake --build build/fuzz -j"$(nproc)"
for target in replies image_header line_framing; do
  mkdir -p "build/fuzz/corpus/$target" "build/fuzz/artifacts/$target"
  build/fuzz/fuzz_$target -max_total_time=20 -timeout=10 -print_final_stats=0 \
    -artifact_prefix="build/fuzz/artifacts/$target/" "build/fuzz/corpus/$target" "fuzz/corpus/$target"
done

# The Windows program, cross-built with MinGW-w64. The 64-bit build runs its
# unit tests under Wine, and whole jobs of flashloader.exe under Wine and Xvfb
# against the simulator built above; the 32-bit build (the program as shipped)
# is checked for its imports.
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Debug \
  -DFLASHLOADER_MODEMSIM="$PWD/build/asan/bin/modemsim"
cmake --build build/win64 -j"$(nproc)"
ctest --test-dir build/win64 --output-on-failure -j"$(nproc)" --timeout 300
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/win32 -j"$(nproc)" --target flashloader
ctest --test-dir build/win32 --output-on-failure

# The Debian package built, installed with apt, run and removed; the Windows
# zip packed from the 32-bit build and listed.
scripts/package-check.sh
