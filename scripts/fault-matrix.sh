#!/usr/bin/env bash
# Prints the fault matrix as the README shows it: the fault-matrix test run
# once, its results laid out as faults by operations, each cell the status text
# the operator reads. Every cell of the test also checks the time, the CPU and
# the files it leaves. Build first (scripts/test.sh, or cmake --build build).
set -euo pipefail
cd "$(dirname "$0")/.."
results=$(mktemp)
trap 'rm -f "$results"' EXIT
MERLAX_FAULT_MATRIX="$results" QT_QPA_PLATFORM=offscreen build/tests/tst_FaultMatrix >/dev/null
awk -F' \\| ' '
    NR > 2 {
        op = $1; sub(/^\| /, "", op); fault = $2; status = $3; time = $4 + 0; cpu = $5 + 0; files = $6
        if (!(op in seenOp)) { seenOp[op] = 1; ops[++nOps] = op }
        if (!(fault in seenFault)) { seenFault[fault] = 1; faults[++nFaults] = fault }
        cell[fault, op] = status
        if (time > maxTime) maxTime = time
        if (cpu > maxCpu) maxCpu = cpu
        if (files !~ /whole/) broken++
    }
    END {
        printf "| fault |"; for (o = 1; o <= nOps; o++) printf " %s |", ops[o]; print ""
        printf "|---|"; for (o = 1; o <= nOps; o++) printf "---|"; print ""
        for (f = 1; f <= nFaults; f++) {
            printf "| %s |", faults[f]
            for (o = 1; o <= nOps; o++) printf " %s |", cell[faults[f], ops[o]]
            print ""
        }
        printf "\nLongest cell: %d ms; most CPU in a cell: %d ms; files left broken: %d.\n", maxTime, maxCpu, broken
    }' "$results"
