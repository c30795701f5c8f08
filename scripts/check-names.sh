#!/usr/bin/env bash
# The lint: checks with clang-tidy that every name in src/, tools/, tests/ and
# bench/ follows the project's naming scheme, and that the bug-finding checks
# (bugprone-*, performance-*) find nothing (.clang-tidy, CONTRIBUTING.md).
# Needs a configured build folder with compile_commands.json:
# scripts/check-names.sh [BUILD_DIR].
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if ! scripts/lint/make-clang-tidy.sh - | cmp -s - .clang-tidy; then
    echo "check-names.sh: .clang-tidy is not what scripts/lint/make-clang-tidy.sh writes; edit" \
        "scripts/lint/clang-tidy.template or scripts/lint/system-names.txt, then run" \
        "scripts/lint/make-clang-tidy.sh and commit .clang-tidy" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "check-names.sh: no $build/compile_commands.json; configure the build first" >&2
    exit 2
fi
if ! run-clang-tidy -p "$build" -quiet -j "$(nproc)" "$PWD/(src|tools|tests|bench)/.*\\.cpp\$" \
        > "$build/check-names.log" 2>&1; then
    sed -E 's/\x1b\[[0-9;]*m//g' "$build/check-names.log" | grep -E "error:|warning:" | sort -u >&2 ||
        cat "$build/check-names.log" >&2
    echo "check-names.sh: names that do not follow the scheme, or bug-finding checks that fire" \
        "(CONTRIBUTING.md, Names and Lint)" >&2
    exit 1
fi
echo "check-names.sh: every name follows the scheme and the bug-finding checks find nothing"
