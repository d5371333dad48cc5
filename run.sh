#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 KTR Control developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Installs what is missing, builds KTR Control and starts it.
#   ./run.sh                 with the station simulator attached (live data within seconds)
#   ./run.sh --demo          replays the shipped Demo/ folder, no station needed
#   ./run.sh --port /dev/ttyUSB0   with a real station on that port
# Further arguments go to ktr-control.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target ktr-control ktr-station-sim

mode=simulator
for argument in "$@"; do
    case "$argument" in
        --demo | --port | --port=*) mode=direct ;;
        --help | -h | --version | -v) mode=direct ;;
    esac
done

if [ "$mode" = direct ]; then
    exec build/app/ktr-control "$@"
fi

# The simulator prints the pseudo-terminal it serves on its first line.
log=$(mktemp)
build/tools/ktr-station-sim/ktr-station-sim --interval 10 --mode 3 >"$log" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do
    [ -s "$log" ] && break
    sleep 0.1
done
port=$(head -n 1 "$log" | awk '{print $NF}')
if [ -z "$port" ]; then
    echo "The station simulator did not start." >&2
    exit 1
fi
echo "Station simulator on $port"
build/app/ktr-control --port "$port" "$@"
