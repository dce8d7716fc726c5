#!/usr/bin/env bash
# shipped_only.sh BUILD SUBBUILD... - the release build in BUILD and its
# cross-builds (folders SUBBUILD of BUILD) link nothing that no package
# ships: each links the four programs, at the top of its folder, and nothing
# else.  A reference build, a benchmark or a test program linked there is CPU
# spent on every release for nothing.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=$1
shift

shipped='reciprocal_sum tab_pattern triangle_test value_table'
for dir in "$build" "${@/#/$build/}"; do
	[ -e "$dir/build.ninja" ] || fail "no $dir/build.ninja: the release makes that build with Ninja"
	# What Ninja links: programs, and libraries too (a test's preloaded one).
	linked=$(sed -n 's/^build \([^:]*\): [A-Z]*_\(EXECUTABLE\|SHARED_LIBRARY\|MODULE_LIBRARY\)_LINKER_.*/\1/p' \
		"$dir/build.ninja" | sed 's/\.\(exe\|js\)$//' | sort | tr '\n' ' ')
	echo "$dir links: $linked"
	[ "$linked" = "$shipped " ] || fail "$dir links $linked, not only what the release ships ($shipped)"
done
