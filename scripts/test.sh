#!/usr/bin/env bash
# Installs what is missing, builds Varnelo and runs every test: the core alone without Qt,
# the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, a minute of fuzzing
# for each parser of outside input, and the normal build last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== core without Qt"
cmake -S . -B build/core-only -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNELO_CORE_ONLY=ON \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build/core-only -j"$jobs"
ctest --test-dir build/core-only --output-on-failure -j"$jobs"

echo "== sanitizers"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNELO_SANITIZE=ON \
      -DVARNELO_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== fuzzing"
FUZZ_JOBS=2 bash scripts/fuzz.sh 60

echo "== full build"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"
