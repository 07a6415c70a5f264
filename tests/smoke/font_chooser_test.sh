#!/usr/bin/env bash
# The font chooser in a real window (under a Japanese locale where there is one): a new name seal
# is saved, the name panel's "フォント変更" opens the chooser, a screenshot of it is written, OK is
# pressed without changing anything, and saving again writes exactly the same bytes.
#   font_chooser_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_session

# The program under a Japanese locale where the system has one (without it the C library keeps
# the "C" locale and the window titles no longer reach xdotool as text).
launcher="$program"
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    launcher="$root/velmrmgr-ja"
    printf '#!/bin/sh\nLANG=ja_JP.UTF-8 LC_ALL= exec "%s"\n' "$program" >"$launcher"
    chmod +x "$launcher"
else
    echo "note: no ja_JP.UTF-8 locale here; the chooser runs under the session's locale"
fi
start_program_beside_velmor "$launcher"

# ﾌｧｲﾙ(&F) → 新規作成(&N) → 認印の作成, then ﾌｧｲﾙ(&F) → 名前を付けて保存 through the dialog.
files="$root/files"
mkdir -p "$files"
main_keys alt+f n Return
sleep 1
[[ "$(panel_size)" == 173x560 ]] || fail "no name seal page in the panel ($(panel_size))"
main_keys alt+f s
dialog_type "$files/seal1"
[[ -f "$files/seal1.mkn" ]] || fail "saving the new name seal did not write seal1.mkn"
cp "$files/seal1.mkn" "$files/first.mkn"

# "フォント変更" (Button1) at the top of the name panel.
xdotool windowfocus --sync "$panel_id"
xdotool mousemove --window "$panel_id" 38 88 click 1
chooser="$(dialog_window)" || fail "the font chooser did not open"
[[ "$(xdotool getwindowname "$chooser")" == "フォント" ]] ||
    fail "the window that opened is not the font chooser: $(xdotool getwindowname "$chooser")"
sleep 0.5
import -window root "$shots/font-chooser.png"
xdotool windowfocus --sync "$chooser"
xdotool key Return
wait_closed "$chooser"

main_keys alt+f s
sleep 1
cmp "$files/first.mkn" "$files/seal1.mkn" ||
    fail "OK without a change altered the saved seal"

end_program
echo "screenshot in $shots/font-chooser.png"
echo "1 passed, 0 failed"
