#!/usr/bin/env bash
# A seal taken out of a photo in a real window: a photo-like PNG (a red seal and black print on
# paper that darkens downwards) opened through ﾌｧｲﾙ → 開く, "印影抽出" clicked on the panel, the
# result written through ﾌｧｲﾙ → 書き出し as a PNG with transparent corners and opaque red ink, then
# 元に戻す brings the photo back into the window.
#   extract_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
command -v convert >/dev/null || { echo "SKIP: convert is not installed"; exit 77; }
mincho=/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf
[[ -f "$mincho" ]] || { echo "SKIP: no IPA Mincho font"; exit 77; }
start_session
start_program_beside_velmor "$program"
files="$root/files"
mkdir -p "$files"

# The paper's top row is exactly #F4F0E6: the window shows the photo while that colour is there.
paper='#F4F0E6'
convert -size 480x360 "gradient:$paper-#D4CCBC" \
    -fill none -stroke '#C43A30' -strokewidth 9 -draw "circle 240,175 240,85" \
    -stroke none -fill '#C43A30' -font "$mincho" -pointsize 64 \
    -draw "text 176,160 '山'" -draw "text 176,236 '田'" \
    -fill '#202020' -pointsize 20 -draw "text 30,340 '請求書 No.2026-1209'" \
    "PNG24:$files/photo.png"
paper_shown() {
    import -window root "$root/screen.png"
    count_colour "$root/screen.png" "$paper"
}
photo_shown() { (($(paper_shown) >= 480)); }
photo_gone() { (($(paper_shown) == 0)); }

main_keys alt+f o
dialog_type "$files/photo.png"
[[ "$(panel_size)" == 173x274 ]] || fail "photo.png did not open as a bitmap seal ($(panel_size))"
photo_shown || fail "the photo is not shown"
import -window root "$shots/extract-photo.png"

# "印影抽出", the last button of the bitmap panel, with the measured ink.
xdotool mousemove --window "$panel_id" 86 205 click 1
wait_until 10 photo_gone || fail "印影抽出 left the photo's paper in the window"
import -window root "$shots/extract-seal.png"

# ﾌｧｲﾙ → 書き出し: a bitmap seal is written as PNG at its own resolution.
main_keys alt+f e
id="$(dialog_window)" || fail "no export options form appeared"
xdotool windowfocus --sync "$id"
sleep 0.5
xdotool key Return
wait_closed "$id"
dialog_type "$files/seal"
[[ -f "$files/seal.png" ]] || fail "no seal.png was written: $(ls "$files")"
read -r width height channels <<<"$(identify -format '%w %h %[channels]' "$files/seal.png")"
[[ "$channels" == *a ]] || fail "seal.png has no alpha: $channels"
((width == height)) || fail "seal.png is not square: ${width}x$height"
corners="$(convert "$files/seal.png" -format \
    '%[fx:p{0,0}.a+p{w-1,0}.a+p{0,h-1}.a+p{w-1,h-1}.a]' info:)"
[[ "$corners" == 0 ]] || fail "the corners of seal.png are not transparent ($corners)"
red="$(convert "$files/seal.png" -fx 'a>0.99 && r>0.6 && g<0.4 && b<0.4' \
    -format '%[fx:int(mean*w*h)]' info:)"
((red > 2000)) || fail "seal.png has only $red opaque red pixels"
other="$(convert "$files/seal.png" -fx 'a>0.5 && (r<0.6 || g>0.4 || b>0.4)' \
    -format '%[fx:int(mean*w*h)]' info:)"
((other == 0)) || fail "seal.png has $other inked pixels off the ink's colour"

# 元に戻す (Ctrl+Z) puts the photo back.
main_keys ctrl+z
wait_until 10 photo_shown || fail "元に戻す did not bring the photo back"
import -window root "$shots/extract-undone.png"

# The photo went through an operation: ending asks about saving; 保存しない (after 保存) ends it.
main_keys alt+f x
id="$(dialog_window)" || fail "ending did not ask about the changed seal"
xdotool windowfocus --sync "$id"
sleep 0.5
xdotool key Tab space
wait_program_end
echo "screenshots in $shots"
echo "1 passed, 0 failed"
