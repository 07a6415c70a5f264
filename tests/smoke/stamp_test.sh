#!/usr/bin/env bash
# Stamping a PDF in a real window: a page written by the script (a black bar across it) opened
# through ﾌｧｲﾙ → PDFを開いて押印..., the new name seal chosen in the stamping panel, a click on the
# page at 100 %, ﾌｧｲﾙ → 上書き保存 (Ctrl+S) into the name proposed; then the written file starts with
# the original's bytes and pdftoppm shows the red ink centred where the click was, the bar under
# it still black.
#   stamp_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
for tool in convert pdftoppm qpdf python3 rsvg-convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
start_session
start_program_beside_velmor "$program"
files="$root/files"
mkdir -p "$files"

# An A4 page, 595 × 842 points, a black bar 6 points high from 220 points below the top (the seal
# is placed across it) under a heading, made into a PDF by another program (librsvg's cairo).
cat >"$files/invoice.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="595pt" height="842pt" viewBox="0 0 595 842">
  <text x="60" y="120" font-size="24" font-family="IPAGothic">御請求書</text>
  <rect x="60" y="220" width="475" height="6" fill="black"/>
</svg>
SVG
rsvg-convert -f pdf -o "$files/invoice.pdf" "$files/invoice.svg" || fail "rsvg-convert wrote no PDF"
qpdf --check "$files/invoice.pdf" >/dev/null || fail "the page written is not a sound PDF"

# A new name seal to stamp with, minimized out of the way (still offered).
main_keys alt+f n Return
sleep 1
main_keys alt+w m
sleep 0.5

# ﾌｧｲﾙ → PDFを開いて押印... (the item after 開く), the file typed into the dialog.
main_keys alt+f Down Down
sleep 0.4
import -window root "$shots/stamp-file-menu.png"
xdotool key Return
dialog_type "$files/invoice.pdf"
sleep 1
[[ "$(panel_size)" == 173x474 ]] || fail "the panel shows no stamping page ($(panel_size))"

# The page fits the window's width; it is the large white area left of the editing panel (eroded
# first, so that white texts and fields elsewhere drop out, then grown back).
import -window root "$shots/stamp-open.png"
eval "$(geometry "$panel_id" | sed 's/^/PANEL_/')"
read -r page_w page_x page_y <<<"$(convert "$shots/stamp-open.png" -crop "${PANEL_X}x800+0+0" \
    +repage -fill black +opaque white -morphology Erode Square:12 -trim \
    -format '%[fx:w+24] %[fx:page.x-12] %[fx:page.y-12]' info:)"
# Pixels a millimetre on the screen: the page is 595 points wide.
read -r click_x click_y mm_x mm_y <<<"$(python3 -c "
w, x, y = $page_w, $page_x, $page_y
per_mm = w / (595 * 25.4 / 72)
cx, cy = x + round(70 * per_mm), y + round(223 * 25.4 / 72 * per_mm)
print(cx, cy, (cx - x + 0.5) / per_mm, (cy - y + 0.5) / per_mm)")"
xdotool mousemove "$click_x" "$click_y" click 1
sleep 0.8
import -window root "$shots/stamp-placed.png"

# Saved with Ctrl+S into the name proposed (the dialog's own, confirmed with Return).
xdotool key ctrl+s
id="$(dialog_window)" || fail "no save dialog appeared"
sleep 0.5
import -window root "$shots/stamp-save-dialog.png"
xdotool windowfocus --sync "$id"
xdotool key Return
wait_closed "$id"
sleep 1
out="$files/invoice_押印.pdf"
[[ -f "$out" ]] || fail "no invoice_押印.pdf was written: $(ls "$files")"
import -window root "$shots/stamp-saved.png"

size="$(stat -c %s "$files/invoice.pdf")"
cmp -n "$size" "$files/invoice.pdf" "$out" || fail "the written file does not start with the original"

# The red ink's box (the pure red of ink multiplied into white paper), centred where the click was
# (±0.5 mm), at 200 dpi.
pdftoppm -r 200 -png -singlefile "$out" "$root/stamped"
read -r ink_w ink_h ink_x ink_y <<<"$(convert "$root/stamped.png" -fuzz 25% -fill black +opaque red \
    -trim -format '%w %h %X %Y' info:)"
python3 - "$ink_w" "$ink_h" "${ink_x#+}" "${ink_y#+}" "$mm_x" "$mm_y" <<'PY' || fail "the ink is not where the click was"
import sys
w, h, x, y, mx, my = map(float, sys.argv[1:])
per_mm = 200 / 25.4
cx, cy = (x + w / 2) / per_mm, (y + h / 2) / per_mm
print(f"ink {w / per_mm:.2f} x {h / per_mm:.2f} mm centred at {cx:.2f}, {cy:.2f} mm; clicked {mx:.2f}, {my:.2f} mm")
sys.exit(0 if abs(cx - mx) <= 0.5 and abs(cy - my) <= 0.5 and w > 40 else 1)
PY
# The bar across the seal stays black from edge to edge of the ink: multiplied, not covered.
dark="$(convert "$root/stamped.png" -crop "${ink_w}x4${ink_x}+$(python3 -c "print(round(223 * 200 / 72) - 2)")" \
    -format '%[fx:int(255*maxima)]' info:)"
[[ "$dark" -lt 60 ]] || fail "the bar under the ink is not dark ($dark)"

end_program
echo "screenshots in $shots"
echo "1 passed, 0 failed"
