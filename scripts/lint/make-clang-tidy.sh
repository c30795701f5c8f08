#!/usr/bin/env bash
# Writes .clang-tidy from scripts/lint/clang-tidy.template and the names in
# scripts/lint/system-names.txt: every @SYSTEM_NAMES@ in the template becomes
# one anchored regexp that accepts those names, the system's event handlers
# (Control_Click, Timer_Timer) and QTest data functions (name_data).
#   scripts/lint/make-clang-tidy.sh        writes .clang-tidy
#   scripts/lint/make-clang-tidy.sh -      writes to standard output (check-names.sh compares)
set -euo pipefail
cd "$(dirname "$0")/../.."
template=scripts/lint/clang-tidy.template
list=scripts/lint/system-names.txt

names=$(grep -v -e '^#' -e '^[[:space:]]*$' "$list")
if bad=$(grep -v -x '[A-Za-z][A-Za-z0-9_]*' <<<"$names"); then
    echo "make-clang-tidy.sh: not a plain name in $list:" >&2
    echo "$bad" >&2
    exit 2
fi
if ! LC_ALL=C sort -u -c <<<"$names"; then
    echo "make-clang-tidy.sh: $list must be sorted (LC_ALL=C sort) without repeats" >&2
    exit 2
fi
regexp="^($(paste -s -d '|' <<<"$names")|[A-Za-z][A-Za-z0-9]*_(Click|Timer)|[a-z][A-Za-z0-9]*_data)\$"

shopt -u patsub_replacement 2>/dev/null || true
text=$(<"$template")
text=${text//@SYSTEM_NAMES@/$regexp}
if [ "${1:-}" = - ]; then
    printf '%s\n' "$text"
else
    printf '%s\n' "$text" > .clang-tidy
fi
