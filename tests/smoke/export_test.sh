#!/usr/bin/env bash
# Seals leaving the program in a real window: a new name seal written as PNG through ﾌｧｲﾙ →
# 書き出し, the options form and Qt's file dialog (transparent, 600 dpi in its pHYs); a new date seal
# written as SVG; 透過画像としてコピー read back from the real X clipboard with xclip (alpha present).
#   export_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
for tool in xclip identify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
start_session
# A folder holding velmor.exe: the Velmor check asks nothing at start.
start_program_beside_velmor "$program"
files="$root/files"
mkdir -p "$files"

# Opens the export options form through the file menu (the menu shot first) and prints its id.
open_export_form() {
    main_keys alt+f
    sleep 0.5
    import -window root "$shots/export-file-menu.png"
    xdotool key e
    local id
    id="$(dialog_window)" || fail "no export options form appeared"
    [[ "$(xdotool getwindowname "$id")" == 書き出し ]] ||
        fail "the form is titled $(xdotool getwindowname "$id")"
    xdotool windowfocus --sync "$id"
    sleep 0.5
    echo "$id"
}

# A new name seal as PNG with the form's defaults: 600 dpi, transparent.
main_keys alt+f n Return
sleep 1
id="$(open_export_form)"
import -window root "$shots/export-form-name.png"
xdotool key Return
wait_closed "$id"
dialog_type "$files/name"
[[ -f "$files/name.png" ]] || fail "no name.png was written: $(ls "$files")"
read -r channels x y <<<"$(convert "$files/name.png" -units PixelsPerInch -format '%[channels] %x %y' info:)"
[[ "$channels" == *a ]] || fail "name.png has no alpha: $channels"
[[ "${x%%.*}" == 600 || "${x%%.*}" == 599 ]] || fail "name.png is not 600 dpi: $x $y"

# A new date seal as SVG: alt+s picks SVG in the form; the day stays today.
main_keys alt+f n Down Return
sleep 1
id="$(open_export_form)"
xdotool key alt+s
sleep 0.3
import -window root "$shots/export-form-date.png"
xdotool key Return
wait_closed "$id"
dialog_type "$files/date"
[[ -f "$files/date.svg" ]] || fail "no date.svg was written: $(ls "$files")"
grep -q 'width="[0-9.]*mm"' "$files/date.svg" || fail "date.svg has no width in mm"

# 透過画像としてコピー (the edit menu's second item while a date seal is active), read back as PNG.
main_keys alt+e
sleep 0.5
import -window root "$shots/export-edit-menu.png"
xdotool key Return
sleep 1
xclip -selection clipboard -t TARGETS -o >"$root/targets" || fail "nothing on the clipboard"
grep -qx 'image/svg+xml' "$root/targets" || fail "no SVG on the clipboard: $(cat "$root/targets")"
xclip -selection clipboard -t image/png -o >"$root/x.png" || fail "no PNG on the clipboard"
channels="$(identify -format '%[channels]' "$root/x.png")"
[[ "$channels" == *a ]] || fail "the copied picture has no alpha: $channels"
opaque="$(convert "$root/x.png" -alpha extract -format '%[fx:minima]' info:)"
[[ "$opaque" == 0 ]] || fail "the copied picture has no transparent pixel"

end_program
echo "screenshots in $shots"
echo "1 passed, 0 failed"
