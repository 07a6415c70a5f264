#!/usr/bin/env bash
# The command keys in a real window: Ctrl+N, Ctrl+S typed while the editing panel has the focus,
# Ctrl+Z inside the panel's text box (the box's own undo), Ctrl+W and Ctrl+Q.
#   keys_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_session
start_program_beside_velmor "$program"

panel_height() { panel_size | cut -dx -f2; }
panel_open() { [[ "$(panel_height)" -gt 100 ]]; }
panel_collapsed() { [[ "$(panel_height)" -lt 50 ]]; }

main_keys ctrl+n
wait_until 10 panel_open || fail "Ctrl+N made no name seal (panel $(panel_size))"

# Typed into the panel's first text box and taken back there with Ctrl+Z: the seal is unchanged,
# so Ctrl+W closes it without a question.
xdotool windowfocus --sync "$panel_id"
xdotool mousemove --window "$panel_id" 45 45 click 1
xdotool type --delay 80 'ab'
sleep 0.5
xdotool key ctrl+z
sleep 0.8
import -window root "$shots/keys-text-box-undo.png"

# Ctrl+S from the panel: a new seal has no name yet, so the save dialog asks for one.
xdotool key ctrl+s
id="$(dialog_window)" || fail "Ctrl+S in the panel opened no save dialog"
xdotool key Escape
wait_closed "$id"

main_keys alt+e
sleep 0.5
import -window root "$shots/keys-edit-menu.png"
xdotool key Escape
sleep 0.3

main_keys ctrl+w
wait_until 10 panel_collapsed ||
    fail "Ctrl+W did not close the unchanged seal (panel $(panel_size))"

main_keys ctrl+q
wait_program_end
echo "screenshots in $shots"
echo "1 passed, 0 failed"
