#!/usr/bin/env bash
# imports.sh ARCH DIR - every .exe in DIR imports from KERNEL32.dll and
# msvcrt.dll and nothing else: a Windows user has those two and no other.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
arch=$1 dir=$2
objdump=$arch-w64-mingw32-objdump
needs "$objdump" "binutils-mingw-w64-${arch//_/-}"

count=0
for exe in "$dir"/*.exe; do
	dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f | tr '\n' ' ')
	echo "$(basename "$exe"): $dlls"
	[ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "$exe imports $dlls"
	count=$((count + 1))
done
[ $count -eq 4 ] || fail "found $count programs in $dir, not 4"
