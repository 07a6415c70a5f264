#!/usr/bin/env bash
# Pictures through the real X clipboard (Xvfb) between the image library and another program,
# xclip: a PNG put there by xclip is read by the library, a picture the library puts there is read
# by xclip as PNG, both with the same pixels; with only text there the library sees no picture.
#   clipboard_xclip_test.sh <ClipboardTool>
set -euo pipefail
tool="$1"
for needed in Xvfb xclip; do
    command -v "$needed" >/dev/null || { echo "SKIP: $needed is not installed"; exit 77; }
done

root="$(mktemp -d "${TMPDIR:-/tmp}/velmr-xclip-XXXXXX")"
export HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

xvfb_pid="" server_pid=""
cleanup() {
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

exec 3>"$root/display"
Xvfb -displayfd 3 -screen 0 320x240x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$root/display" ]] && break; sleep 0.1; done
[[ -s "$root/display" ]] || fail "Xvfb did not start: $(cat "$root/xvfb.log")"
export DISPLAY=":$(head -n1 "$root/display")"

"$tool" sample "$root/sample.png" "$root/sample.bmp" || fail "cannot write the sample pictures"

# xclip → the library. xclip stays in the background serving the selection until it is taken.
xclip -selection clipboard -t image/png -i "$root/sample.png" >/dev/null 2>&1
"$tool" has || fail "the library sees no picture after xclip put a PNG"
"$tool" get "$root/from-xclip.bmp" || fail "the library could not take xclip's PNG"
"$tool" same "$root/sample.png" "$root/from-xclip.bmp" || fail "the PNG from xclip changed"
echo "ok: xclip → library"

# The library → xclip.
coproc SERVER { exec "$tool" put "$root/sample.bmp" 60; }
server_pid=$SERVER_PID
read -r -t 20 ready <&"${SERVER[0]}" || fail "the library did not put the picture up"
[[ "$ready" == ready ]] || fail "unexpected answer: $ready"
xclip -selection clipboard -t TARGETS -o | grep -qx 'image/png' ||
    fail "the library's clipboard offers no image/png"
xclip -selection clipboard -t image/png -o >"$root/from-library.png" ||
    fail "xclip could not take the library's picture"
"$tool" same "$root/sample.bmp" "$root/from-library.png" || fail "the picture xclip got changed"
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=""
echo "ok: library → xclip"

# Only text on the clipboard.
printf "only words" | xclip -selection clipboard -i >/dev/null 2>&1
if "$tool" has; then fail "text counted as a picture"; fi
status=0
"$tool" get "$root/none.bmp" || status=$?
[[ "$status" -eq 3 ]] || fail "get with only text on the clipboard ended with $status, not 3"
[[ ! -e "$root/none.bmp" ]] || fail "get wrote a file without a picture"
echo "ok: text is no picture"
