#!/usr/bin/env bash
# deb_depends.sh PACKAGE ROOT - the package depends on exactly the packages
# that hold the libraries its unpacked programs (under ROOT) load, each with
# a lowest version, as dpkg-shlibdeps works them out: a dependency guessed
# by hand, forgotten or left unversioned fails here.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs dpkg-architecture dpkg-dev
needs objdump binutils
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

wanted=$(
	for program in "$2"/usr/bin/*; do
		objdump -p "$program" | sed -n 's/^ *NEEDED *//p'
	done | sort -u | while read -r soname; do
		owner=$(dpkg -S "/lib/$multiarch/$soname" 2>/dev/null ||
			dpkg -S "/usr/lib/$multiarch/$soname" 2>/dev/null) ||
			fail "no installed package holds $soname"
		echo "${owner%%:*}"
	done | sort -u
)
depends=$(dpkg-deb -f "$1" Depends)
echo "Depends: $depends"
echo "libraries' packages: $(echo $wanted)"

named=$(echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | sort -u)
[ "$named" = "$wanted" ] || fail "Depends names $(echo $named), the programs need $(echo $wanted)"
echo "$depends" | tr ',' '\n' | while read -r dependency; do
	[[ $dependency =~ ^[a-z0-9.+-]+\ \(\>=\ [0-9] ]] || fail "no lowest version in \"$dependency\""
done
