#!/usr/bin/env bash
# reproducible.sh [BUILD] - the release packages in BUILD/packages (default
# build-release) are made again from a copy of the source tree in another
# folder, at another time, and must be the same bytes, file by file.  The
# second build makes the packages and nothing else.
#
# With diffoscope (Debian package diffoscope) a difference is shown in full.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
first=$(cd "${1:-$source_dir/build-release}" && pwd)
copy=$first/reproduce/console_dialogues
[ -d "$first/packages" ] || fail "no packages in $first: make the release first"

# The first build's time stamp, which a copy without git cannot find itself.
epoch=$(sed -n 's/^set(CPACK_RELEASE_SOURCE_DATE_EPOCH "\([0-9]*\)")$/\1/p' "$first/CPackConfig.cmake")
[ -n "$epoch" ] || fail "no CPACK_RELEASE_SOURCE_DATE_EPOCH in $first/CPackConfig.cmake"

rm -rf "$first/reproduce"
mkdir -p "$copy"
tar -C "$source_dir" --exclude=./build --exclude='./build-*' --exclude=./.git \
	--exclude=node_modules -cf - . | tar -C "$copy" -xf -
# The source archive is made by git from the last commit: the copy gets
# that commit, and nothing else of the history.
if [ -e "$source_dir/.git" ]; then
	git -C "$copy" init -q
	git -C "$copy" fetch -q --depth=1 "file://$source_dir" HEAD
	git -C "$copy" reset -q --soft FETCH_HEAD
fi
(
	cd "$copy"
	export SOURCE_DATE_EPOCH=$epoch
	cmake --preset release -DBUILD_TESTING=OFF
	cmake --build --preset release
	cpack --preset release
) >"$first/reproduce/build.log" 2>&1 || fail "the second build failed: see $first/reproduce/build.log"

second=$copy/build-release/packages
differ=()
names=$( (cd "$first/packages" && ls; cd "$second" && ls) | sort -u)
for name in $names; do
	if [ ! -e "$first/packages/$name" ] || [ ! -e "$second/$name" ]; then
		echo "$name: made by one build only"
		differ+=("$name")
	elif ! cmp -s "$first/packages/$name" "$second/$name"; then
		echo "$name: differs"
		differ+=("$name")
		if command -v diffoscope >/dev/null; then
			diffoscope "$first/packages/$name" "$second/$name" | head -n 60 || true
		fi
	else
		echo "$name: same $(sha256sum <"$second/$name" | cut -c1-16)"
	fi
done
[ ${#differ[@]} -eq 0 ] || fail "not reproducible: ${differ[*]} (second build in $copy)"
echo "$(wc -w <<<"$names") files the same from $source_dir and $copy"
