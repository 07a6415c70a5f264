#!/usr/bin/env bash
# The real program in a real X window (Xvfb, no window manager): the main window and the editing
# panel appear where they belong, a new name seal is made through the menu, a screenshot is
# written for people to look at, and the program ends with status 0 through its exit command.
#   smoke_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_session

# Started in a folder that holds velmor.exe, the program takes that folder as the Velmor program's
# install folder without asking.
start_program_beside_velmor "$program"

eval "$(geometry "$main_id" | sed 's/^/MAIN_/')"
eval "$(geometry "$panel_id" | sed 's/^/PANEL_/')"
echo "main ${MAIN_WIDTH}x${MAIN_HEIGHT}+${MAIN_X}+${MAIN_Y}; panel ${PANEL_WIDTH}x${PANEL_HEIGHT}+${PANEL_X}+${PANEL_Y}"
[[ "$PANEL_WIDTH" -eq 173 && "$PANEL_HEIGHT" -eq 2 ]] || fail "the panel is not collapsed to 173 x 2"
[[ "$PANEL_Y" -eq $((MAIN_Y + 75)) ]] || fail "the panel is not 75 pixels below the main window's top"
[[ $((PANEL_X + PANEL_WIDTH)) -eq $((MAIN_X + MAIN_WIDTH - 7)) ]] ||
    fail "the panel's right edge is not 7 pixels inside the main window's"
import -window root "$shots/startup.png"

# ﾌｧｲﾙ(&F) → 新規作成(&N) → 認印の作成
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f n Return
sleep 1
eval "$(geometry "$panel_id" | sed 's/^/PANEL_/')"
[[ "$PANEL_WIDTH" -eq 173 && "$PANEL_HEIGHT" -eq 560 ]] ||
    fail "the panel did not open its name seal page (${PANEL_WIDTH}x${PANEL_HEIGHT})"
import -window root "$shots/new-name-seal.png"

# ﾌｧｲﾙ(&F) → 新規作成(&N) → 日付印の作成
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f n Down Return
sleep 1
eval "$(geometry "$panel_id" | sed 's/^/PANEL_/')"
[[ "$PANEL_WIDTH" -eq 173 && "$PANEL_HEIGHT" -eq 649 ]] ||
    fail "the panel did not open its date seal page (${PANEL_WIDTH}x${PANEL_HEIGHT})"
import -window root "$shots/new-date-seal.png"

# The date seal is active: close it, then save the name seal through the dialog, close it and
# open it again.
files="$root/files"
mkdir -p "$files"
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f c
sleep 0.5
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f s
dialog_type "$files/seal1"
[[ -f "$files/seal1.mkn" ]] || fail "saving the new name seal did not write seal1.mkn"
[[ "$(stat -c %s "$files/seal1.mkn")" -eq 1312 ]] || fail "seal1.mkn is not 1312 bytes"
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f c
sleep 0.5
[[ "$(panel_size)" == 173x2 ]] || fail "closing the last document did not collapse the panel"
xdotool key --delay 150 alt+f o
dialog_type "$files/seal1.mkn"
[[ "$(panel_size)" == 173x560 ]] || fail "seal1.mkn did not open again as a name seal ($(panel_size))"
import -window root "$shots/reopened-name-seal.png"

# The editing panel edits the seal live: a Japanese name typed into Edit1, "楕円60%" and "青"
# clicked (positions inside the panel's client area), then Save writes them to the same file.
xdotool windowfocus --sync "$panel_id"
xdotool mousemove --window "$panel_id" 45 45 click 1
xdotool key --delay 50 ctrl+a BackSpace
xdotool type --delay 80 '山田'
xdotool mousemove --window "$panel_id" 48 386 click 1
xdotool mousemove --window "$panel_id" 79 337 click 1
sleep 0.8
import -window root "$shots/name-seal-edited.png"
blue="$(count_colour "$shots/name-seal-edited.png" '#0000FF')"
red="$(count_colour "$shots/name-seal-edited.png" '#FF0000')"
echo "edited seal: $blue blue pixels, $red red pixels"
[[ "$blue" -gt 500 && "$red" -lt 50 ]] || fail "the preview is not a blue seal ($blue blue, $red red)"
xdotool windowfocus --sync "$main_id"
xdotool key --delay 150 alt+f s
sleep 1
# Text1 at 0 is "山田" in Shift-JIS, StampColor at 136 is blue, CircleParameter at 144 is 60.
[[ "$(od -An -tx1 -N5 "$files/seal1.mkn" | tr -d ' \n')" == 8e52936300 ]] ||
    fail "Edit1 did not store 山田 ($(od -An -tx1 -N5 "$files/seal1.mkn"))"
[[ "$(od -An -tx1 -j136 -N4 "$files/seal1.mkn" | tr -d ' \n')" == 0000ff00 ]] ||
    fail "青 did not store a blue StampColor"
[[ "$(od -An -tx1 -j144 -N4 "$files/seal1.mkn" | tr -d ' \n')" == 3c000000 ]] ||
    fail "楕円60% did not store CircleParameter 60"

# A picture file opens as a bitmap seal with its crop square.
if [[ -x /usr/bin/convert ]]; then
    /usr/bin/convert -size 320x240 gradient:red-yellow -fill blue -draw "circle 160,120 160,40" \
        "bmp3:$files/picture.bmp"
    xdotool windowfocus --sync "$main_id"
    xdotool key --delay 150 alt+f o
    dialog_type "$files/picture.bmp"
    [[ "$(panel_size)" == 173x274 ]] || fail "picture.bmp did not open as a bitmap seal ($(panel_size))"
    import -window root "$shots/bitmap-seal.png"
fi

# ﾌｧｲﾙ(&F) → 終了(&X)
end_program
[[ -f "$HOME/.local/share/velmrmgr/user.reg" ]] || fail "the first start did not create the store"
grep -q '^\[Software\\\\Zeb\\\\Velmor\] ' "$HOME/.local/share/velmrmgr/user.reg" ||
    fail "the store lacks Software\\Zeb\\Velmor"
echo "screenshots in $shots"
echo "1 passed, 0 failed"
