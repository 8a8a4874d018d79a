#!/usr/bin/env bash
# Installs what is missing, builds Varnelo and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELO_BENCH=OFF >/dev/null
cmake --build build/release --target varnelo
exec build/release/ui/varnelo
