#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and fuzzes each for a bounded time from its seed
# corpus (FUZZ_SECONDS each, default 45). New inputs go to a scratch directory, so the
# checked-in corpus never changes here; a crash fails the run and leaves its reproducer in
# build-fuzz/findings/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-45}
targets=(construct_fuzz profile_fuzz scan_fuzz index_fuzz reply_fuzz terminal_fuzz)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
cmake --build build-fuzz --target "${targets[@]}"

corpus() {
    case "$1" in
    construct_fuzz) echo "tests/fuzz/corpus/construct tests/config/data data" ;;
    *) echo "tests/fuzz/corpus/${1%_fuzz}" ;;
    esac
}

for t in "${targets[@]}"; do
    scratch=build-fuzz/findings/$t
    rm -rf "$scratch" && mkdir -p "$scratch/new"
    dict=()
    [ "$t" = construct_fuzz ] && dict=(-dict=tests/fuzz/construct.dict)
    echo "fuzz: $t for ${seconds}s"
    # shellcheck disable=SC2046
    build-fuzz/bin/$t "${dict[@]}" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$scratch/" -print_final_stats=1 \
        "$scratch/new" $(corpus "$t") 2>"$scratch/log" || {
        tail -40 "$scratch/log"
        echo "fuzz: $t FAILED; reproducer in $scratch" >&2
        exit 1
    }
    grep -E "stat::number_of_executed_units|cov:" "$scratch/log" | tail -2
done
echo "fuzz: OK"
