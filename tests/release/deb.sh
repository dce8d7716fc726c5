#!/usr/bin/env bash
# deb.sh - the Debian package unpacked as dpkg would install it.
#
# usage: deb.sh DIR extract PACKAGE LICENSE   unpacks PACKAGE into DIR/root
#        deb.sh DIR gate COMMAND...           runs COMMAND, or says why it is skipped
#
# extract also checks that the copyright file carries LICENSE word for word.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
dir=$1 mode=$2
shift 2

case $mode in
extract)
	rm -rf "$dir"
	mkdir -p "$dir"
	# The cases that run the unpacked programs skip with the same reason.
	if ! command -v dpkg-deb >/dev/null; then
		echo "dpkg-deb is not installed (Debian package dpkg)" >"$dir/unavailable"
		skip "$(cat "$dir/unavailable")"
	fi
	dpkg-deb -x "$1" "$dir/root"
	copyright=$dir/root/usr/share/doc/console-dialogues/copyright
	# The licence text: the lines after "License:", one space of indent
	# taken off, and " ." back to an empty line.
	sed -n '/^License:/,$p' "$copyright" | tail -n +2 | sed 's/^ //; s/^\.$//' >"$dir/licence"
	cmp "$2" "$dir/licence" || fail "the copyright file does not carry $2 word for word"
	touch "$dir/ready"
	;;
gate)
	if [ -e "$dir/ready" ]; then
		exec "$@"
	elif [ -e "$dir/unavailable" ]; then
		echo "SKIPPED: $(cat "$dir/unavailable")"
		exit 77
	fi
	fail "no unpacked package in $dir: the release/deb/extract test failed"
	;;
*)
	fail "deb.sh: unknown mode $mode"
	;;
esac
