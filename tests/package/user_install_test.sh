#!/usr/bin/env bash
# make install PREFIX=~/.local as a user without root, then the client from
# there on the demo list; a second install keeps the user's list.
# Arguments: the build folder, the source folder.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=$1
top=$2

tmp=$(mktemp -d)
chmod 755 "$tmp"
client=
manifest=$build/install_manifest.txt
cleanup()
{
    [ -z "$client" ] || kill "$client" 2>/dev/null || true
    [ -z "$user" ] || rm -f "$manifest"
    rm -rf "$tmp"
}
trap cleanup EXIT

# As root, the user is nobody; the build folder stays root's, and the one
# file an install writes there, its manifest, is made the user's.
user=
if [ "$(id -u)" = 0 ]; then
    user=nobody
    runuser -u "$user" -- test -r "$build/cmake_install.cmake" ||
        { user=; skip "nobody cannot read $build"; }
    : >"$manifest"
    chown "$user" "$manifest"
fi
private_home "$user"
prefix=$home/.local
app=$prefix/lib/vek

# What make install runs once the build is done.
install_it() { as "$user" cmake --install "$build" --prefix "$prefix" >"$tmp/install.log"; }
install_it || { cat "$tmp/install.log"; fail "the install as $user failed"; }

# Everything lies under the prefix and belongs to the user.
outside=$(grep -v "^$prefix/" "$manifest" || true)
[ -z "$outside" ] || fail "installed outside $prefix: $outside"
[ -z "$user" ] || [ -z "$(find "$prefix" ! -user "$user")" ] || fail "files of another user in $prefix"

for program in vek:VEK_BeOS vek-reader:vek-reader vek-people:vek-people; do
    [ "$(readlink -f "$prefix/bin/${program%%:*}")" = "$app/${program#*:}" ] ||
        fail "$prefix/bin/${program%%:*} does not lead to $app/${program#*:}"
done
for file in rfid_avatar_list avatars/givecard2 avatars/none send-message listattr; do
    [ -e "$app/$file" ] || fail "no $app/$file"
done
[ -f "$prefix/share/systemd/user/vek-reader.service" ] || fail "no user unit"
grep -qx "ExecStart=$prefix/bin/vek-reader" "$prefix/share/systemd/user/vek-reader.service" ||
    fail "the user unit does not start $prefix/bin/vek-reader"
systemd-analyze verify --man=no "$prefix/share/systemd/user/vek-reader.service" ||
    fail "systemd-analyze verify finds fault with the user unit"
version=$(sed -n 's/^ *version \([0-9]*\) \([0-9]*\) \([0-9]*\) .*/\1.\2.\3/p' "$top/resources/VEK.rdef" | head -n 1)
[ "$("$app/send-message" --version)" = "send-message $version" ] ||
    fail "send-message --version is not the resources' version $version"

as "$user" "$prefix/bin/vek-people" check >"$tmp/check.out" ||
    fail "vek-people check on the first list: $(cat "$tmp/check.out")"

# The demo list and pictures, as the user lays them out.
as "$user" cp "$top/demo/rfid_avatar_list" "$app/rfid_avatar_list"
as "$user" cp "$top"/demo/avatars/* "$app/avatars/"

log=$tmp/client.log
as "$user" "$prefix/bin/vek" >"$log" 2>&1 &
client=$!
wait_for "$log" "^-- StartUp --"
as "$user" "$app/send-message" --timeout 10 application/VEK_BeOS RFID _time:int32=57 _tagstr=04C0FFEE
wait_for "$log" "^image: '$app/avatars/carol'"
wait_for "$log" "^ManageLogo end 'carol'"
as "$user" "$app/send-message" --timeout 10 application/VEK_BeOS _QRQ
wait_for "$log" "^-VEK end-"
wait "$client" || fail "the client ended with status $?"
client=

# Installing again keeps the user's list and pictures.
before=$(cat "$app/rfid_avatar_list" "$app/avatars/carol" | sha256sum)
install_it || { cat "$tmp/install.log"; fail "the second install failed"; }
[ "$(cat "$app/rfid_avatar_list" "$app/avatars/carol" | sha256sum)" = "$before" ] ||
    fail "the second install changed the user's list or pictures"
echo "user install: $(wc -l <"$manifest") files under $prefix; the client showed carol"
