#!/usr/bin/env bash
# Sets up and runs the whole test suite: installs what is missing, checks the
# layout of the sources (clang-format), builds, runs the tests, runs the lint
# (naming scheme and bug-finding checks), builds and checks the Debian package,
# then builds and runs the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and fuzzes briefly. Fails on any test failure,
# layout, lint or package problem, or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
scripts/lint/check-format.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure
scripts/check-names.sh build
scripts/package-check.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DMERLAX_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
    ctest --test-dir build-sanitize --output-on-failure

# A short run of every fuzz target (about 20 s each); scripts/fuzz.sh SECONDS for longer campaigns.
scripts/fuzz.sh 20
