#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the libFuzzer targets with clang and runs each one for the given
# number of seconds (default 30) on a scratch copy of its seed corpus; the
# repository is never written. Fails on the first target that crashes or
# breaks an invariant and leaves the crashing input in the scratch folder.
#
#   scripts/fuzz.sh [seconds-per-target]
#
# Environment: KTR_FUZZ_TARGETS (space-separated names, default all),
# KTR_FUZZ_BUILD_DIR (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-30}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds-per-target]" >&2
    exit 2
fi
build=${KTR_FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=${KTR_FUZZ_TARGETS:-"receivestream weatherreport binarypackets sbdmessage options packetscanner"}

for tool in clang clang++; do
    command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is needed" >&2; exit 2; }
done

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKTR_FUZZ=ON -DKTR_BUILD_TESTS=OFF -DKTR_BUILD_BENCH=OFF \
    -DKTR_WERROR=ON >/dev/null
build_targets=()
for name in $targets; do
    build_targets+=("fuzz_$name")
done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"

# Largest input per target: the stream and the scanner need room for several
# packets and the receive buffer's bound.
max_len() {
    case "$1" in
    receivestream | packetscanner) echo 20000 ;;
    binarypackets) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ktr-fuzz.XXXXXX")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen

failed=0
summary=()
total=0
for name in $targets; do
    work=$scratch/$name
    mkdir -p "$work/corpus"
    cp -r "$root/fuzz/corpus/$name/." "$work/corpus/"
    seeds=$(find "$work/corpus" -type f | wc -l)
    dict=()
    case "$name" in
    receivestream | weatherreport | packetscanner) dict=(-dict="$root/fuzz/station.dict") ;;
    esac

    echo "== fuzz_$name: ${seconds} s"
    start=$(date +%s)
    status=0
    (cd "$work" && "$build/fuzz/fuzz_$name" "$work/corpus" "${dict[@]}" -max_total_time="$seconds" \
        -max_len="$(max_len "$name")" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/") >"$work/log" 2>&1 || status=$?
    elapsed=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
    runs=${runs:-0}
    total=$(( total + runs ))
    corpus=$(find "$work/corpus" -type f | wc -l)
    if [ "$status" -ne 0 ]; then
        failed=1
        artifact=$(find "$work" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
            -o -name 'oom-*' \) | head -1)
        echo "--- fuzz_$name failed (exit $status); last lines of $work/log:"
        tail -40 "$work/log"
        summary+=("fuzz_$name: FAILED after $runs inputs in ${elapsed} s; input: ${artifact:-none saved}")
    else
        summary+=("fuzz_$name: $runs inputs in ${elapsed} s, corpus $seeds -> $corpus, no findings")
    fi
done

echo
echo "== fuzzing summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
echo "total: $total inputs fuzzed"
if [ "$failed" -ne 0 ]; then
    echo "scratch folder with logs and crashing inputs: $scratch"
    exit 1
fi
rm -rf "$scratch"
