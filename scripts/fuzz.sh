#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ and runs each for SECONDS
# (default 20): scripts/fuzz.sh [SECONDS] [TARGET...], all targets when none
# is named. Each target starts from its seeds in fuzz/corpus/<target>/, copied
# into build-fuzz/corpus/<target>/, where what it learns is kept for the next
# run; fuzz/corpus/ itself is never written. An input that crashes or breaks
# an invariant is saved in build-fuzz/findings/<target>/; the script exits
# non-zero when any target has one.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_reply_receiver fuzz_firmware_file fuzz_serial_file fuzz_unit_file fuzz_text_helpers)
fi
for target in "${targets[@]}"; do
    if [ ! -d "fuzz/corpus/$target" ]; then
        echo "fuzz.sh: no such target: $target (see fuzz/corpus/)" >&2
        exit 2
    fi
done

scripts/install-deps.sh --fuzz
# -O1 keeps the runs fast and the stack traces readable; Debug keeps Q_ASSERT.
cmake -S . -B build-fuzz -DMERLAX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export UBSAN_OPTIONS=print_stacktrace=1
failed=()
for target in "${targets[@]}"; do
    corpus="build-fuzz/corpus/$target"
    findings="build-fuzz/findings/$target"
    log="build-fuzz/logs/$target.log"
    mkdir -p "$corpus" "build-fuzz/logs"
    rm -rf "$findings"
    mkdir -p "$findings"
    cp fuzz/corpus/"$target"/* "$corpus"/

    status=0
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(find "$findings" -type f | sort)
    if [ "$status" -eq 0 ] && [ -z "$found" ]; then
        echo "$target: ${executions:-?} executions in ${seconds} s, no findings"
        continue
    fi
    failed+=("$target")
    echo "$target: FINDING after ${executions:-?} executions (exit status $status), from $log:"
    grep -E 'invariant broken|ERROR:|runtime error|SUMMARY' "$log" | head -n 10 | sed 's/^/    /'
    for input in $found; do
        echo "    input: $input (reproduce: build-fuzz/fuzz/$target $input)"
    done
done

[ ${#failed[@]} -eq 0 ] || echo "Findings in: ${failed[*]}"
echo "Fuzzing: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
