#!/usr/bin/env bash
# desktop_install_test.sh <build folder>: the installed tree tells the desktop about seal files,
# and the Debian package holds the same tree under /usr. Skipped (77) without the desktop's tools.
set -euo pipefail
build="$(cd "$1" && pwd)"
for tool in update-mime-database xdg-mime mimetype; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
export ASAN_OPTIONS=detect_leaks=0 HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share"
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
fail() { echo "FAIL: $*"; exit 1; }

prefix="$root/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/velmrmgr bin/velmrseal share/applications/velmrmgr.desktop \
    share/mime/packages/velmrmgr.xml share/thumbnailers/velmrseal.thumbnailer; do
    [[ -f "$prefix/$file" ]] || fail "$file is not installed"
done
desktop="$prefix/share/applications/velmrmgr.desktop"
grep -qx 'Exec=velmrmgr %F' "$desktop" || fail "the desktop entry does not pass the files"
grep -q '^MimeType=.*application/x-velmr-name-seal;' "$desktop" || fail "no MimeType= in $desktop"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

# The types as a system that has them installed sees them: the system's own database and ours
# together, where ours wins over Markdown's rarely used .mkd.
mime="$root/data/mime"
mkdir -p "$mime/packages"
cp /usr/share/mime/packages/*.xml "$mime/packages/" 2>/dev/null || true
cp "$prefix/share/mime/packages/velmrmgr.xml" "$mime/packages/"
update-mime-database "$mime" >/dev/null 2>&1
touch "$root/x.mkn" "$root/x.mkd"
for pair in x.mkn:application/x-velmr-name-seal x.mkd:application/x-velmr-date-seal; do
    type="$(XDG_DATA_DIRS="$root/data" xdg-mime query filetype "$root/${pair%%:*}")"
    [[ "$type" == "${pair#*:}" ]] || fail "${pair%%:*} is $type"
done
if XDG_DATA_DIRS="$root/data" mimetype --describe --language=ja \
    "$root/x.mkn" 2>/dev/null | grep -q '認印書式ファイル'; then :; else
    fail "the type has no Japanese name"
fi

# The thumbnailer entry's command, run as a file manager runs it.
# 山 in a red circle: the name seal record's bytes, the file's extension record zero.
{
    printf '\x8e\x52'; head -c 78 /dev/zero
    printf '\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9'; head -c 35 /dev/zero # ＭＳ 明朝
    printf '\x28\0\0\0\x75\0\0\0\0\0\0\0\xff\0\0\0\x04\0\0\0\x64\0\0\0' # 40 pt, 117, red, 4, circle
    head -c $((1312 - 148)) /dev/zero
} >"$root/seal.mkn"
exec_line="$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/velmrseal.thumbnailer")"
command="${exec_line//%i/$root/seal.mkn}"
command="${command//%o/$root/thumb.png}"
command="${command//%s/128}"
PATH="$prefix/bin:$PATH" $command || fail "the thumbnailer failed: $command"
file "$root/thumb.png" | grep -q 'PNG image data, 128 x 128' || fail "no 128 × 128 thumbnail"

# The Debian package: the same tree under /usr, its libraries found by dpkg-shlibdeps.
if ! command -v dpkg-deb >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
    echo "the Debian package is not checked: dpkg-deb or dpkg-shlibdeps is missing"
    exit 0
fi
(cd "$root" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$root/package" >/dev/null) ||
    fail "cpack -G DEB"
deb="$(ls "$root"/package/velmrmgr_*.deb)"
info="$(dpkg-deb --field "$deb" Package Depends)"
grep -q '^Package: velmrmgr$' <<<"$info" || fail "package name: $info"
grep -q 'libqt6widgets6' <<<"$info" || fail "no Qt dependency: $info"
contents="$(dpkg-deb --contents "$deb")"
for file in ./usr/bin/velmrmgr ./usr/bin/velmrseal ./usr/share/applications/velmrmgr.desktop \
    ./usr/share/mime/packages/velmrmgr.xml ./usr/share/thumbnailers/velmrseal.thumbnailer \
    ./usr/share/velmrmgr/velmrmgr.qhc; do
    grep -q " $file\$" <<<"$contents" || fail "$file is not in the package"
done
echo "installed tree and package as expected"
