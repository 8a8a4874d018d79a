#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time on top of the committed corpus.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# FUZZ_JOBS=2 runs two targets at once. The corpus is copied to a temporary directory, so
# runs never write into the tree; that directory is kept when something is found.
# Exits non-zero when any target finds a crash, a broken property, a leak or a timeout.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
jobs=${FUZZ_JOBS:-1}
build=${FUZZ_BUILD_DIR:-build/fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(trash_info directory_sizes size_text integer_text date_text)
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNELO_FUZZ=ON -DVARNELO_CORE_ONLY=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/varnelo-fuzz.XXXXXX")

run_one() {
    local name=$1 dir="$work/$1"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp -- fuzz/corpus/"$name"/* "$dir/corpus/" 2>/dev/null || true
    local seeds rc=0
    seeds=$(find "$dir/corpus" -type f | wc -l)
    "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus" \
        >"$dir/log" 2>&1 || rc=$?
    local runs found
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
    found=$(find "$dir/artifacts" -type f | head -n 1)
    if ((rc == 0)) && [[ -z $found ]]; then
        printf '%-20s ok     %ss, %s runs, corpus %s -> %s inputs\n' "$name" "$seconds" \
            "${runs:-?}" "$seeds" "$(find "$dir/corpus" -type f | wc -l)" >"$dir/summary"
    else
        printf '%-20s FOUND  exit %s, input %s, log %s\n' "$name" "$rc" "${found:-none}" \
            "$dir/log" >"$dir/summary"
        touch "$dir/failed"
    fi
}

for name in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
    run_one "$name" &
done
wait

status=0
for name in "${targets[@]}"; do
    if [[ -e $work/$name/summary ]]; then
        cat "$work/$name/summary"
    else
        printf '%-20s FAILED to run, see %s\n' "$name" "$work/$name"
        status=1
    fi
    [[ -e $work/$name/failed ]] && status=1
done
if ((status == 0)); then
    rm -rf -- "$work"
else
    echo "findings kept in $work"
fi
exit "$status"
