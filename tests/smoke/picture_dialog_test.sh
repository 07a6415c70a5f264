#!/usr/bin/env bash
# The colour reduction dialog on a picture big enough that the reduction takes a visible moment:
# OK is double-clicked, as an impatient user does. The second click must not start a second
# reduction while the first runs: the program stays alive, the picture is reduced once (saved as
# 8 bits, and one UNDO brings back the 24-bit picture), and the program ends with status 0.
#   picture_dialog_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
[[ -x /usr/bin/convert ]] || { echo "SKIP: ImageMagick's convert is not installed"; exit 77; }
start_session

# Bits per pixel of a BMP file.
bmp_bits() { od -An -tu2 -j28 -N2 "$1" | tr -d ' '; }
# Clicks a point of the editing panel's client area.
panel_click() {
    xdotool windowfocus --sync "$panel_id"
    xdotool mousemove --window "$panel_id" "$1" "$2" click 1
}
alive() { kill -0 "$program_pid" 2>/dev/null || fail "the program died"; }

picture="$root/picture.bmp"
/usr/bin/convert -size 2400x1800 gradient:red-yellow -fill blue -draw "circle 1200,900 1200,300" \
    -attenuate 0.5 +noise Uniform "bmp3:$picture"
[[ "$(bmp_bits "$picture")" -eq 24 ]] || fail "convert did not write a 24-bit picture"

start_program_beside_velmor "$program"
main_keys alt+f o
dialog_type "$picture"
[[ "$(panel_size)" == 173x274 ]] || fail "the picture did not open as a bitmap seal ($(panel_size))"

# "減色処理" in the bitmap panel opens the dialog; its OK button is at (48, 216), 75 × 25.
panel_click 127 115
dither="$(timeout 20 xdotool search --sync --onlyvisible --name '^減色処理$' | head -n1)" ||
    fail "the colour reduction dialog did not open"
import -window root "$shots/colour-reduction-dialog.png"
xdotool windowfocus --sync "$dither"
# Both clicks reach the program together, so the second is waiting while the first one's work
# runs and lets the window system breathe.
started=$(date +%s%N)
xdotool mousemove --window "$dither" 85 228 click --repeat 2 --delay 1 1
sleep 0.4
import -window root "$shots/colour-reduction-running.png"
alive
wait_closed "$dither"
for _ in $(seq 300); do
    alive
    xdotool search --onlyvisible --name '^瑠環印影ＭＧＲ$' >/dev/null 2>&1 || break
    sleep 0.2
done
echo "the reduction took about $((($(date +%s%N) - started) / 1000000)) ms"
alive
import -window root "$shots/colour-reduction-done.png"

# Reduced once: saved as 8 bits; one UNDO gives back the 24-bit picture.
main_keys alt+f s
sleep 2
alive
[[ "$(bmp_bits "$picture")" -eq 8 ]] || fail "the picture was not reduced to 8 bits ($(bmp_bits "$picture"))"
panel_click 127 134
sleep 1
main_keys alt+f s
sleep 2
alive
[[ "$(bmp_bits "$picture")" -eq 24 ]] ||
    fail "UNDO did not bring back the 24-bit picture: reduced more than once? ($(bmp_bits "$picture"))"

end_program
echo "1 passed, 0 failed"
