#!/bin/sh
# wine_recovery.sh - wine.sh init against a Wine that hangs while it makes the
# prefix and leaves a crash debugger behind: each attempt must end within its
# bound with all it started, a later attempt that works must make the prefix,
# and three that hang must fail with a line that says so.
set -eu
wine_sh=$(cd "$(dirname "$0")" && pwd)/wine.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake=$work/lib
mkdir "$fake"

# The fake wine64 hangs for the attempts listed in $work/hang (one number a
# line), after starting a "debugger" that outlives it in a session of its
# own (where setsid is there); any other attempt makes the prefix.  The fake
# wineserver answers nothing, as a stuck one does.
detach=$(command -v setsid || true)
cat >"$fake/wine64" <<END
#!/bin/sh
n=\$((\$(cat "$work/attempts" 2>/dev/null || echo 0) + 1))
echo \$n >"$work/attempts"
if grep -qx \$n "$work/hang"; then
	$detach sleep 300 &
	echo "attempt \$n: a process crashed, winedbg started"
	exec sleep 300
fi
mkdir -p "\$WINEPREFIX"
END
printf '#!/bin/sh\nexit 0\n' >"$fake/wineserver"
chmod +x "$fake/wine64" "$fake/wineserver"

fail() {
	echo "FAILED: $*"
	sed 's/^/  | /' "$work/out"
	exit 1
}

# left DIR: the processes still running with DIR's prefix.
left() {
	grep -lzxF "WINEPREFIX=$1/prefix" /proc/[0-9]*/environ 2>/dev/null | wc -l
}

# init HANGS: runs wine.sh init with the attempts HANGS hanging; sets $status
# and $took (s), and the output in $work/out.
init() {
	rm -rf "$work/dir" "$work/attempts"
	printf '%s\n' "$@" >"$work/hang"
	started=$(date +%s)
	status=0
	WINE_LIB=$fake WINE_BOOT_TIMEOUT=2 sh "$wine_sh" x86_64 "$work/dir" init >"$work/out" 2>&1 || status=$?
	took=$(($(date +%s) - started))
	[ "$took" -le 90 ] || fail "init took $took s with a bound of 2 s an attempt"
	[ "$(left "$work/dir")" -eq 0 ] || fail "processes of the prefix are still running"
}

init 1
[ $status -eq 0 ] || fail "a second attempt that works did not make the prefix (status $status)"
[ -e "$work/dir/ready" ] || fail "init passed but left no ready mark"
grep -q "attempt 1 at the Wine prefix in $work/dir did not end within 2 s" "$work/out" ||
	fail "the attempt that hung was not reported"
echo "recovered: attempt 1 hung and was ended, attempt 2 made the prefix ($took s)"

init 1 2 3
[ $status -eq 1 ] || fail "three attempts that hung gave status $status, not 1"
[ ! -e "$work/dir/ready" ] || fail "three attempts that hung left a ready mark"
grep -q "FAILED: no Wine prefix in $work/dir after 3 attempts" "$work/out" ||
	fail "the failure was not reported"
echo "gave up: three attempts hung, each ended, status 1 ($took s)"
