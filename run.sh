#!/usr/bin/env bash
# Builds Tavrix and runs it with an emulated PVR: tavrix-pvrd serves a demo disk
# under the user's data folder (filled on the first run) on a private socket,
# and stops when the application ends. Without a display the application runs
# under Xvfb, saves a picture of its main window once the PVR is attached,
# prints the picture's path and ends.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default --target tavrix tavrix-pvrd -j "$(nproc)"

data="${XDG_DATA_HOME:-$HOME/.local/share}/tavrix"
disk="$data/pvr-disk"
mkdir -p "$disk"
rundir=$(mktemp -d "${TMPDIR:-/tmp}/tavrix-run-XXXXXX")
export TAVRIX_PVR_SOCKET="$rundir/pvr.sock"

build/emulator/tavrix-pvrd --demo --disk "$disk" --socket "$TAVRIX_PVR_SOCKET" \
    >"$rundir/pvrd.log" 2>&1 &
pvrd=$!
cleanup() {
    kill "$pvrd" 2>/dev/null || true
    wait "$pvrd" 2>/dev/null || true
    rm -rf "$rundir"
}
trap cleanup EXIT

# Filling a fresh demo disk takes a while; the socket appears when it is done.
for _ in $(seq 1 1200); do
    [ -S "$TAVRIX_PVR_SOCKET" ] && break
    if ! kill -0 "$pvrd" 2>/dev/null; then
        echo "run.sh: the PVR emulator did not start:" >&2
        cat "$rundir/pvrd.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -S "$TAVRIX_PVR_SOCKET" ]; then
    echo "run.sh: the PVR emulator did not come up in time" >&2
    exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    shot="$data/screenshot.png"
    rm -f "$shot"
    status=0
    TAVRIX_SCREENSHOT="$shot" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1280x800x24" build/app/tavrix "$@" || status=$?
    if [ "$status" -ne 0 ] || [ ! -f "$shot" ]; then
        echo "run.sh: no screenshot (exit status $status)" >&2
        exit 1
    fi
    echo "$shot"
else
    build/app/tavrix "$@"
fi
