#!/usr/bin/env bash
# Makes a throw-away Wine prefix that looks like one in which the Velmor program has been set up
# and used: the Velmor key with SetupRoot, an install folder C:\Program Files\Velmor holding a
# placeholder velmor.exe, and a current name seal and date seal. Every value is written by Wine's
# own tools (reg add for the Velmor key's own values, regedit /S with a UTF-16LE .reg file for
# the seals), never by velmrmgr, so that tests can check what velmrmgr reads of them.
#
#   scripts/make-velmor-prefix.sh <prefix folder> [--bare] [--keys N]
#
#   --bare     only boot the prefix: no Velmor key, no install folder
#   --keys N   also import N unrelated keys (Software\Vendor<i>\App\Settings), a prefix in long use
#
# The date seal is written as an older Velmor program leaves it, without Text3 ... DateNZ.
# Exit status 77 when wine is not installed. Leaves no Wine server running.
set -euo pipefail

usage() { echo "usage: $0 <prefix folder> [--bare] [--keys N]" >&2; exit 2; }
[[ $# -ge 1 ]] || usage
prefix="$(realpath -m "$1")"
shift
bare=0 keys=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --bare) bare=1 ;;
    --keys) keys="${2:?}"; shift ;;
    *) usage ;;
    esac
    shift
done

for tool in wine wineserver iconv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$prefix"

wine wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
wineserver -w

# A .reg file for regedit: the UTF-8 text given on stdin as UTF-16LE with a byte order mark and
# CRLF line ends, imported at once.
import_reg() {
    local name="$1"
    local file="$prefix/drive_c/windows/temp/$name.reg"
    {
        printf '\xff\xfe'
        sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
    } >"$file"
    wine regedit /S "C:\\windows\\temp\\$name.reg"
    rm -f "$file"
}

if ((bare == 0)); then
    install="$prefix/drive_c/Program Files/Velmor"
    mkdir -p "$install"
    printf 'MZ\0placeholder for the Velmor program\n' >"$install/velmor.exe"

    add() { wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null; }
    velmor='HKCU\Software\Zeb\Velmor'
    add "$velmor" SetupRoot 'C:\Program Files\Velmor'
    add "$velmor" Bitmap1 0
    add "$velmor" adm 0

    # The current seals, as the Velmor program keeps them.
    import_reg velmor-seals <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Zeb\Velmor\NameStamp]
"Text1"="山"
"Text2"="田"
"Text3"="_"
"Text4"="_"
"FontName"="ＭＳ 明朝"
"FontSize"="60"
"StampSize"="104"
"TextSpace"="-5"
"StampColor"="16711680"
"LineWidth"="6"
"CircleParameter"="80"
"OffsetX"="3"
"OffsetY"="-15"
"Resolution"="1"
"FontStyleBold"="1"
"FontStyleItalic"="0"
"UseNameEX"="1"
"ExText1"="鈴"
"ExText2"="_"
"ExText3"="_"
"ExText4"="_"
"ExFontName"="ＭＳ ゴシック"
"ExFontSize"="40"
"ExTextSpace"="0"
"ExOffsetX"="50"
"ExOffsetY"="-4"
"ExFontStyleBold"="0"
"ExFontStyleItalic"="1"

[HKEY_CURRENT_USER\Software\Zeb\Velmor\DateStamp]
"Text1"="総務"
"Text2"="佐藤"
"FontNameU"="ＭＳ 明朝"
"FontNameM"="ＭＳ ゴシック"
"FontNameL"="ＭＳ Ｐ明朝"
"FontSizeU"="40"
"FontSizeM"="30"
"FontSizeL"="44"
"StampSize"="120"
"StampColor"="255"
"LineWidth"="3"
"SpaceM"="2"
"PositionU"="4"
"PositionL"="-3"
"Years"="1"
"TwinRing"="2"
"Header"="No."
"FontStyleUBold"="1"
"FontStyleUItalic"="0"
"FontStyleMBold"="0"
"FontStyleMItalic"="0"
"FontStyleLBold"="1"
"FontStyleLItalic"="1"

EOF
fi

if ((keys > 0)); then
    {
        echo 'Windows Registry Editor Version 5.00'
        for ((i = 0; i < keys; i++)); do
            printf '\n[HKEY_CURRENT_USER\\Software\\Vendor%d\\App\\Settings]\n' "$i"
            printf '"InstallPath"="C:\\\\Program Files\\\\Vendor%d"\n' "$i"
            printf '"Title"="設定 %d"\n' "$i"
            printf '"Count"=dword:%08x\n' "$i"
        done
        echo
    } | import_reg vendor-keys
fi

wineserver -w
echo "prefix ready: $prefix"
