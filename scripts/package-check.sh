#!/usr/bin/env bash
# Makes the Debian package from a configured and built folder and checks it:
# the desktop entries, the AppStream metainfo, lintian, the manual pages, what
# the package holds, and that the installed programs start. Prints a PASS/FAIL
# line per check and fails when any check fails.
#
#   scripts/package-check.sh [BUILD_FOLDER]     (default: build)
#
# scripts/install-deps.sh installs the tools it uses.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
if [ ! -f "$build/CPackConfig.cmake" ]; then
    echo "package-check: $build is not a configured build folder (no CPackConfig.cmake)" >&2
    exit 2
fi
missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man timeout; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "package-check: missing ${missing[*]}; run scripts/install-deps.sh" >&2
    exit 2
fi

scratch=$(mktemp -d)
module_pid=""
cleanup() {
    if [ -n "$module_pid" ]; then
        kill "$module_pid" 2>/dev/null || true
        wait "$module_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

results=()
passed=0
failed=0
pass() {
    results+=("PASS  $1")
    passed=$((passed + 1))
}
fail() {
    results+=("FAIL  $1")
    failed=$((failed + 1))
}
section() { printf '\n== %s\n' "$1"; }
summary() {
    section "Summary"
    printf '%s\n' "${results[@]}"
    echo "package-check: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# Runs a check whose output must be empty and whose exit status must be 0.
quiet_check() {
    local name=$1 output rc=0
    shift
    output=$("$@" 2>&1) || rc=$?
    [ -z "$output" ] || printf '%s\n' "$output"
    if [ "$rc" -eq 0 ] && [ -z "$output" ]; then pass "$name"; else fail "$name"; fi
}

section "cpack -G DEB in $build"
rm -f "$build"/merlax-bootloader_*.deb
if ! (cd "$build" && cpack -G DEB); then
    fail "cpack makes the package"
    summary
    exit 1
fi
debs=("$build"/merlax-bootloader_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack makes one package (found: ${debs[*]})"
    summary
    exit 1
fi
deb=${debs[0]}
pass "cpack makes $(basename "$deb")"

section "Control"
dpkg-deb --info "$deb"

section "Files"
dpkg-deb --contents "$deb"

root=$scratch/root
dpkg-deb --extract "$deb" "$root"
share=$root/usr/share

unwanted=$(find "$root" \( -name 'merlax-screenshots' -o -name 'merlax-sample-firmware' -o -name 'merlax-bench*' \
    -o -name 'bench_*' -o -name 'tst_*' -o -name '*.a' \) -print)
if [ -z "$unwanted" ]; then
    pass "no tools, tests or benchmarks in the package"
else
    printf 'Should not be in the package:\n%s\n' "$unwanted"
    fail "no tools, tests or benchmarks in the package"
fi

version=$(dpkg-deb --field "$deb" Version)
changelog_head=$(gzip -dc "$share/doc/merlax-bootloader/changelog.gz" | head -n 1)
if [[ "$changelog_head" == "merlax-bootloader ($version) "* ]]; then
    pass "changelog starts with version $version"
else
    echo "changelog starts with: $changelog_head"
    fail "changelog starts with version $version"
fi

section "desktop-file-validate"
for entry in "$share"/applications/*.desktop; do
    quiet_check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
done

section "appstreamcli validate"
# Exit status 0 allows only notes of the "info" and "pedantic" levels.
metainfo=("$share"/metainfo/*.metainfo.xml)
if appstreamcli validate --no-net "${metainfo[@]}" && appstreamcli validate-tree --no-net "$root"; then
    pass "appstreamcli validate $(basename "${metainfo[0]}")"
else
    fail "appstreamcli validate $(basename "${metainfo[0]}")"
fi

section "Manual pages (man --warnings)"
# As lintian runs it: the formatted page is thrown away, anything said on
# standard error is a warning.
for page in "$share"/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) ||
        warnings+=$'\n'"man failed"
    [ -z "$warnings" ] || printf '%s\n' "$warnings"
    if [ -z "$warnings" ]; then pass "man --warnings $(basename "$page")"; else fail "man --warnings $(basename "$page")"; fi
done

section "lintian $(lintian --version | cut -d' ' -f2)"
# Errors fail the check; warnings and notes are shown.
if lintian --allow-root --display-info --fail-on error "$deb"; then
    pass "lintian: no errors"
else
    fail "lintian: no errors"
fi

section "Starting the installed programs"
bin=$root/usr/bin
export QT_QPA_PLATFORM=offscreen
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

# Runs a program that must still be running after two seconds (timeout's 124).
keeps_running() {
    local name=$1 rc=0
    shift
    timeout 2 "$@" >"$scratch/out" 2>&1 || rc=$?
    if [ "$rc" -eq 124 ]; then
        pass "$name"
    else
        cat "$scratch/out"
        echo "exit status $rc"
        fail "$name"
    fi
}
# Runs a program that must finish in time with status 0 and print something.
answers() {
    local name=$1 rc=0
    shift
    timeout 10 "$@" >"$scratch/out" 2>&1 || rc=$?
    if [ "$rc" -eq 0 ] && [ -s "$scratch/out" ]; then
        pass "$name"
    else
        cat "$scratch/out"
        echo "exit status $rc"
        fail "$name"
    fi
}

answers "merlax-virtual-module --help" "$bin/merlax-virtual-module" --help

# COM10 goes to a device that is not there, never to a real adapter: the
# window program says so in a message box and keeps running.
keeps_running "merlax-bootloader starts (no module)" "$bin/merlax-bootloader" --port "$scratch/no-such-port"

keeps_running "merlax-bootloader --admin starts" "$bin/merlax-bootloader" --admin --port "$scratch/no-such-port"

# The installed virtual module and command line together: the module is
# reached by the path of its pseudo-terminal.
link=$scratch/module
"$bin/merlax-virtual-module" --link "$link" >"$scratch/module.out" 2>&1 &
module_pid=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
if [ -e "$link" ]; then
    pass "merlax-virtual-module makes its pseudo-terminal ($(head -n 1 "$scratch/module.out"))"
    answers "merlax-bootloader-cli identify reads the virtual module" \
        "$bin/merlax-bootloader-cli" --port "$link" identify
    kill -TERM "$module_pid"
    module_rc=0
    wait "$module_pid" || module_rc=$?
    module_pid=""
    if [ "$module_rc" -eq 0 ] && [ ! -e "$link" ]; then
        pass "merlax-virtual-module stops cleanly on SIGTERM"
    else
        cat "$scratch/module.out"
        echo "exit status $module_rc"
        fail "merlax-virtual-module stops cleanly on SIGTERM"
    fi
else
    cat "$scratch/module.out"
    fail "merlax-virtual-module makes its pseudo-terminal"
fi

answers "merlax-bootloader-cli --help" "$bin/merlax-bootloader-cli" --help
answers "merlax-bootloader-cli ports" "$bin/merlax-bootloader-cli" ports

summary
