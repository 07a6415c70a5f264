#!/usr/bin/env bash
# The Velmor program inside a Wine prefix, chosen without WINEPREFIX: the real program in a real X
# window answers the setup-folder search with a velmor.exe that lies in a throw-away prefix
# outside Program Files, registers a new name seal through the menu, and Wine's own regedit then
# finds the seal and SetupRoot (in Windows form) in that prefix. A second start, still without
# WINEPREFIX, uses the remembered prefix without asking.
#   wine_prefix_test.sh <program> <screenshot folder>
set -euo pipefail
program="$1"
shots="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
for tool in wine wineserver iconv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$here/session.sh"
start_session

prefix="$root/prefix"
in_prefix() { env -u DISPLAY WINEPREFIX="$prefix" WINEDEBUG=-all "$@"; }
stop_wine() { in_prefix wineserver -k 2>/dev/null || true; in_prefix wineserver -w 2>/dev/null || true; }
trap 'stop_wine; cleanup' EXIT

bash "$here/../../scripts/make-velmor-prefix.sh" "$prefix" --bare >"$root/prefix.log" 2>&1 ||
    fail "the prefix could not be made: $(cat "$root/prefix.log")"
mkdir -p "$prefix/drive_c/Velmor"
printf 'MZ\0placeholder for the Velmor program\n' >"$prefix/drive_c/Velmor/velmor.exe"

# The window titled <title>, waited for.
window_titled() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1; }
# Closes the message box titled 瑠環印影MGR with Return.
answer_message() {
    local id
    id="$(window_titled '瑠環印影MGR')" || fail "no message box: $1"
    xdotool windowfocus --sync "$id"
    xdotool key Return
    wait_closed "$id"
}

# First start, in a folder without velmor.exe and without WINEPREFIX: the program asks.
(cd "$root" && exec "$program") >"$root/program.log" 2>&1 &
program_pid=$!
main_id="$(window_titled '瑠環印影マネージャー')" || fail "no main window"
panel_id=none
answer_message "the setup folder search was not announced"
dialog_type "$prefix/drive_c/Velmor/velmor.exe"
panel_id="$(window_titled '印影編集')" || fail "no editing panel after the search"
sleep 0.5
[[ -f "${XDG_CONFIG_HOME}/velmrmgr/velmrmgr.conf" ]] || fail "the prefix was not remembered"

# ﾌｧｲﾙ(&F) → 新規作成(&N) → 認印の作成, then 瑠環印鑑(&M) → この印鑑を瑠環印鑑へ登録する(&R).
main_keys alt+f n Return
sleep 1
main_keys alt+m r
answer_message "registering told nothing"
import -window root "$shots/wine-prefix-registered.png"
end_program

own="$XDG_DATA_HOME/velmrmgr/user.reg"
if [[ -f "$own" ]] && grep -q 'NameStamp\|SetupRoot' "$own"; then
    fail "the program's own store got Velmor values: $(cat "$own")"
fi

# What Wine reads of the prefix's Velmor key.
in_prefix wine regedit /E 'C:\velmor.reg' 'HKEY_CURRENT_USER\Software\Zeb\Velmor' >/dev/null 2>&1 ||
    fail "wine regedit /E failed"
exported="$(iconv -f UTF-16LE -t UTF-8 "$prefix/drive_c/velmor.reg" | tr -d '\r')"
stop_wine
grep -qxF '"SetupRoot"="C:\\Velmor"' <<<"$exported" || fail "SetupRoot is not C:\\Velmor: $exported"
grep -qxF '[HKEY_CURRENT_USER\Software\Zeb\Velmor\NameStamp]' <<<"$exported" ||
    fail "no NameStamp key: $exported"
for line in '"Text1"="名"' '"Text2"="字"' '"Text3"="_"' '"FontName"="ＭＳ 明朝"' \
    '"StampSize"="117"' '"StampColor"="255"' '"FontStyleBold"="1"'; do
    grep -qxF "$line" <<<"$exported" || fail "Wine does not read $line: $exported"
done
echo "Wine reads the registered name seal and SetupRoot=C:\\Velmor"

# Second start, still without WINEPREFIX: no question, the main window and the panel come up.
start_program "$program"
import -window root "$shots/wine-prefix-second-start.png"
xdotool search --onlyvisible --name '^瑠環印影MGR$' >/dev/null 2>&1 && fail "the second start asked"
end_program
echo "1 passed, 0 failed"
