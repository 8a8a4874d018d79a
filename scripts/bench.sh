#!/usr/bin/env bash
# Builds the benchmark in Release and runs it: list, totals, scan and clear of a synthetic
# trash of 10,000 and 100,000 items beside trash-list, trash-empty and rm -rf. Prints
# figures and ratios; never fails on a missed target. Arguments go to the benchmark, e.g.
#   scripts/bench.sh --items 100000 --runs 3
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target varnelo_bench
QT_QPA_PLATFORM=offscreen exec build/bench/bench/varnelo_bench "$@"
