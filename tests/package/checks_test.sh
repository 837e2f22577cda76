#!/usr/bin/env bash
# Debian's and freedesktop.org's checkers on the built package: lintian with
# no error and no warning, the desktop entries, the AppStream metadata, the
# manuals, the icons, and what the package's build must not lose.
# Arguments: the .deb, the source folder.
set -euo pipefail
source "$(dirname "$0")/common.sh"
deb=$1
top=$2
for tool in lintian desktop-file-validate appstreamcli man identify; do
    command -v $tool >/dev/null || skip "no $tool (scripts/install-deps installs it)"
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
check() { "$@" || { echo "FAILED: $*" >&2; failures=$((failures + 1)); }; }

echo "--- lintian $(basename "$deb")"
check lintian --info --display-info --show-overrides --fail-on error,warning "$deb"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
app=$root/usr/lib/vek

check desktop-file-validate "$root/usr/share/applications/vek.desktop"
check desktop-file-validate "$root/usr/share/doc/vek/examples/vek-autostart.desktop"
check appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

# Every program on the PATH has a manual, and each renders without a warning.
for program in "$root"/usr/bin/*; do
    manual=$root/usr/share/man/man1/$(basename "$program").1.gz
    check test -f "$manual"
done
for manual in "$root"/usr/share/man/man1/*; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>"$tmp/man.err" >/dev/null
    check test ! -s "$tmp/man.err" || cat "$tmp/man.err" >&2
done

# Each icon has its folder's size; the drawing is there too.
for size in 16 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/vek.png
    check test "$(identify -format %wx%h "$icon")" = "${size}x${size}"
done
check test -f "$root/usr/share/icons/hicolor/scalable/apps/vek.svg"

# The version is the resources' one; the dependencies were computed.
version=$(sed -n 's/^ *version \([0-9]*\) \([0-9]*\) \([0-9]*\) .*/\1.\2.\3/p' "$top/resources/VEK.rdef" | head -n 1)
check test "$(dpkg-deb -f "$deb" Version)" = "$version"
check grep -q "libsdl2-2.0-0 (>=" <(dpkg-deb -f "$deb" Depends)

# Stripping the client must not lose its resources: launch flags, icons, version.
check grep -q "'APPF'" <("$app/listres" "$app/VEK_BeOS")
check grep -q "'ICON'" <("$app/listres" "$app/VEK_BeOS")
check grep -q "'APPV'" <("$app/listres" "$app/VEK_BeOS")

[ $failures = 0 ] || fail "$failures checks failed"
echo "package checks: lintian, desktop entries, metadata, manuals, icons and resources all clean"
