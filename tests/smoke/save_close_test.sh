#!/usr/bin/env bash
# Saving and closing in a real window: Save as asks before it writes over the file that the typed
# name becomes (seal1 → seal1.mkn), and closing a changed seal or ending the program asks whether
# to save it.
#   save_close_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_session
start_program_beside_velmor "$program"
files="$root/files"
mkdir -p "$files"

# A question box of the program: waits for it and prints its id.
question() {
    local id
    id="$(dialog_window)" || fail "no question appeared ($1)"
    xdotool windowfocus --sync "$id"
    sleep 0.5
    echo "$id"
}

# Counts the seal's red pixels on the screen.
red_pixels() {
    import -window root "$root/now.png"
    count_colour "$root/now.png" '#FF0000'
}

# A new name seal saved as "seal1".
main_keys alt+f n Return
sleep 1
main_keys alt+f s
dialog_type "$files/seal1"
[[ -f "$files/seal1.mkn" ]] || fail "saving the new name seal did not write seal1.mkn"
before="$(stat -c '%i %s %Y' "$files/seal1.mkn") $(md5sum <"$files/seal1.mkn")"

# Another name seal, Save as "seal1" again: the question comes, Escape answers Cancel.
main_keys alt+f n Return
sleep 1
main_keys alt+f a
dialog_type "$files/seal1"
id="$(question "overwrite")"
import -window root "$shots/save-close-overwrite-question.png"
xdotool key Escape
wait_closed "$id"
[[ "$(stat -c '%i %s %Y' "$files/seal1.mkn") $(md5sum <"$files/seal1.mkn")" == "$before" ]] ||
    fail "seal1.mkn changed although the overwrite was cancelled"

# A change through the panel's first text box, then ﾌｧｲﾙ → 閉じる asks; キャンセル keeps it.
xdotool windowfocus --sync "$panel_id"
xdotool mousemove --window "$panel_id" 45 45 click 1
xdotool type --delay 80 'x'
sleep 0.5
main_keys alt+f c
id="$(question "close")"
import -window root "$shots/save-close-question.png"
xdotool key Escape
wait_closed "$id"
[[ "$(panel_size)" == 173x560 ]] || fail "the changed seal was closed although キャンセル was chosen"
red="$(red_pixels)"
[[ "$red" -gt 500 ]] || fail "no seal is shown after キャンセル ($red red pixels)"

# Ending the program asks too; 保存しない (the button after 保存) ends it without saving.
main_keys alt+f x
id="$(question "exit")"
import -window root "$shots/save-close-exit-question.png"
xdotool key Tab space
wait_program_end
[[ "$(stat -c '%i %s %Y' "$files/seal1.mkn") $(md5sum <"$files/seal1.mkn")" == "$before" ]] ||
    fail "seal1.mkn changed"
[[ "$(ls "$files")" == seal1.mkn ]] || fail "a file was saved: $(ls "$files")"
echo "screenshots in $shots"
echo "1 passed, 0 failed"
