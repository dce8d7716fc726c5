#!/usr/bin/env bash
# hardening.sh ROOT - every program the package installs under ROOT passes
# Debian's hardening-check: PIE, stack protector, fortified libc calls and
# full RELRO with BIND_NOW, and carries no .comment section (the compilers'
# versions, which strip leaves in).
#
# Not required, because no program on Debian 12 can have them:
# - control-flow protection: the programs are compiled with -fcf-protection,
#   but the C library's start files (Scrt1.o, crti.o, crtn.o) carry no IBT
#   or SHSTK property, so the linker marks no program as protected;
# - a stack canary in reciprocal_sum and tab_pattern: -fstack-protector-strong
#   guards a function with an array or an address taken on its stack, and
#   those two have none, so there is no __stack_chk_fail to find.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs hardening-check devscripts
needs readelf binutils

count=0
for program in "$1"/usr/bin/*; do
	options=(--nocfprotection)
	case ${program##*/} in
	reciprocal_sum | tab_pattern) options+=(--nostackprotector) ;;
	esac
	hardening-check "${options[@]}" "$program" ||
		fail "hardening-check: $program lacks a protection above"
	if readelf -S -W "$program" | grep -q ' \.comment '; then
		fail "$program still has a .comment section"
	fi
	count=$((count + 1))
done
[ $count -eq 4 ] || fail "found $count programs in $1/usr/bin, not 4"
echo "$count programs hardened, no .comment"
