#!/usr/bin/env bash
# Checks that every C++ file in src/, tools/, bench/, tests/ and fuzz/ is laid
# out as .clang-format says (part of the test command). To fix the files it
# names, run clang-format -i on them.
set -euo pipefail
cd "$(dirname "$0")/../.."
mapfile -t files < <(find src tools bench tests fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort)
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    grep -E "error:" <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/    /' >&2 || echo "$report" >&2
    echo "check-format.sh: these files are not laid out as .clang-format says; run clang-format -i on them" >&2
    exit 1
fi
echo "check-format.sh: every file is laid out as .clang-format says"
