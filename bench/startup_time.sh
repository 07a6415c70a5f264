#!/usr/bin/env bash
# startup_time.sh <program> [runs]: milliseconds from starting the program until its main window
# is mapped on a private Xvfb display, one line a run (polling every 5 ms, so ±5 ms).
set -euo pipefail
program="$1"; runs="${2:-10}"
root="$(mktemp -d)"
export HOME="$root/home" XDG_RUNTIME_DIR="$root/rt"; mkdir -p "$HOME" "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WINEPREFIX
exec 3>"$root/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
for _ in $(seq 100); do [[ -s "$root/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$root/display")"
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    "$program" >/dev/null 2>&1 & pid=$!
    until xdotool search --onlyvisible --name '^瑠環印影マネージャー$' >/dev/null 2>&1; do sleep 0.005; done
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
    kill $pid; wait $pid 2>/dev/null || true
done
kill $xvfb; rm -rf "$root"
