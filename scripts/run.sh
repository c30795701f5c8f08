#!/usr/bin/env bash
# Starts the tool against the virtual module, no hardware needed: installs
# what is missing, builds, captures a sample firmware file from a second
# virtual module into ~/Firmware/merlax-sample.fw, starts the virtual module on
# a pseudo-terminal that COM10 stands for, and starts the tool. Arguments go to
# the tool (--admin).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target merlax-bootloader merlax-virtual-module \
    merlax-sample-firmware

mkdir -p "$HOME/Firmware"
sample="$HOME/Firmware/merlax-sample.fw"
build/tools/samplefirmware/merlax-sample-firmware "$sample" --system 1 --subsystem 10
echo "Sample firmware: $sample (\"Load Firmware File\", then \"Program Firmware\")"

link="${XDG_RUNTIME_DIR:-/tmp}/merlax-virtual-com10.$$"
build/tools/virtualmodule/merlax-virtual-module --link "$link" \
    --system 1 --subsystem 10 --serial 4660 --bl-version 1.5 --app-version 2.7 --cpu-id 30,149,15,2 &
module=$!
trap 'kill $module 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

echo "Virtual module on $link (COM10)"
build/src/app/merlax-bootloader --port "$link" "$@"
