#!/usr/bin/env bash
# deb_arm64.sh DIR PACKAGE LICENSE - unpacks the arm64 package as deb.sh
# does, or records why its programs cannot run here: no cross compiler made
# it, or no qemu-aarch64 can start them.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
dir=$1 package=$2
rm -rf "$dir"
mkdir -p "$dir"
unavailable() {
	echo "$*" >"$dir/unavailable"
	skip "$*"
}
command -v aarch64-linux-gnu-g++ >/dev/null ||
	unavailable "aarch64-linux-gnu-g++ is not installed (Debian package g++-aarch64-linux-gnu): no arm64 package"
command -v qemu-aarch64 >/dev/null || unavailable "qemu-aarch64 is not installed (Debian package qemu-user)"
[ -e "$package" ] || fail "no $package"
[ "$(dpkg-deb -f "$package" Architecture)" = arm64 ] || fail "$package is not for arm64"
bash "$(dirname "$0")/deb.sh" "$dir" extract "$package" "$3"
file=$(file -b "$dir/root/usr/bin/value_table" 2>/dev/null || true)
echo "value_table: $file"
