#!/usr/bin/env bash
# Builds the tool and takes the user guide's screenshots of the main and admin
# windows under Xvfb on a 1366x768 screen, connected to a virtual module.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target merlax-screenshots
mkdir -p docs/pictures
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24" build/tools/screenshots/merlax-screenshots docs/pictures
