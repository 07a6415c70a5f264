#!/usr/bin/env bash
# "枠に合わせる" in a real window: a new name seal gets 勅使河原 one character a line (Edit1 to
# Edit4, typed), the fit button is clicked, and the preview's text ink stays inside the frame's
# inner edge with a margin, centred. Screenshots before and after the fit.
#   fit_test.sh <program> <screenshot folder>
set -euo pipefail
command -v xclip >/dev/null || { echo "SKIP: xclip is not installed"; exit 77; }
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_session
start_program_beside_velmor "$program"

main_keys alt+f n Return
sleep 1
[[ "$(panel_size)" == 173x560 ]] || fail "no name seal page in the panel ($(panel_size))"

# Edit1 and Edit2 side by side on the first row of edits, Edit3 and Edit4 on the second.
xdotool windowfocus --sync "$panel_id"
# Each character goes in through the X clipboard and Ctrl+V: typing characters that are not on
# the keyboard map is not reliable with xdotool.
type_into() {
    printf '%s' "$3" | xclip -selection clipboard -i
    xdotool mousemove --window "$panel_id" "$1" "$2" click 1
    xdotool key --delay 50 ctrl+a BackSpace ctrl+v
    sleep 0.3
}
type_into 45 45 '勅'
type_into 127 45 '使'
type_into 45 65 '河'
type_into 127 65 '原'
sleep 0.5
import -window root "$shots/fit-before.png"
xdotool mousemove --window "$panel_id" 127 87 click 1
sleep 0.8
import -window "$main_id" "$shots/fit-after.png"

# The frame is the pure red ring; every reddish pixel inside it lies well inside its inner edge.
/usr/bin/convert "$shots/fit-after.png" -depth 8 ppm:- | python3 -c '
import sys, math
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
w, h = int(parts[1]), int(parts[2])
px = parts[4]
red = lambda x, y: px[3 * (y * w + x)] > 200 and px[3 * (y * w + x) + 1] < 150
pure = [(x, y) for y in range(h) for x in range(w)
        if px[3 * (y * w + x)] == 255 and px[3 * (y * w + x) + 1] == 0]
if not pure:
    sys.exit("no seal in the screenshot")
xs = [p[0] for p in pure]; ys = [p[1] for p in pure]
cx, cy = (min(xs) + max(xs) + 1) / 2, (min(ys) + max(ys) + 1) / 2
outer = (max(xs) + 1 - min(xs)) / 2
inner = outer - 4  # the frame pen of a new name seal
close, text = 0, []
for y in range(h):
    for x in range(w):
        if red(x, y):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if inner - 3 <= d < inner - 1:
                close += 1
            elif d < inner - 3:
                text.append((x, y))
print(f"frame radius {outer}, text pixels {len(text)}, next to the inner edge {close}")
if len(text) < 1000:
    sys.exit("the text is hardly there")
if close:
    sys.exit("the text reaches the frame")
tx = (min(p[0] for p in text) + max(p[0] for p in text) + 1) / 2
ty = (min(p[1] for p in text) + max(p[1] for p in text) + 1) / 2
print(f"text centre off by {tx - cx:.1f}, {ty - cy:.1f}")
tw = max(p[0] for p in text) + 1 - min(p[0] for p in text)
th = max(p[1] for p in text) + 1 - min(p[1] for p in text)
print(f"text block {tw} x {th}")
if th < 3.4 * tw:
    sys.exit("the four characters are not all there")
if abs(tx - cx) > 2 or abs(ty - cy) > 2:
    sys.exit("the text is not centred")
' || fail "the fitted text is not inside the frame"

# Ending asks whether to save the changed seal: 保存しない (the button after 保存).
main_keys alt+f x
id="$(dialog_window)" || fail "no question on ending"
xdotool windowfocus --sync "$id"
xdotool key Tab space
wait_program_end
echo "fit test passed"
