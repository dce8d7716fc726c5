#!/bin/sh
# run_case.sh - runs one golden case: COMMAND reads INPUT; its standard output
# must equal EXPECTED byte for byte, with nothing on standard error and exit
# status 0.  What it wrote is kept in ACTUAL (and ACTUAL.stderr) for a look
# after a failure.  COMMAND may be an emulator and the program it runs.  A
# shell script, not cmake -P: a case runs in every build of a test run, and a
# cmake start costs 50 ms of processor time where this script costs 15.
#
# usage: run_case.sh INPUT EXPECTED ACTUAL COMMAND [ARGUMENT...]
input=$1 expected=$2 actual=$3
shift 3

timeout 20 "$@" <"$input" >"$actual" 2>"$actual.stderr"
status=$?
failed=0
if [ $status -ne 0 ]; then
	# 124: still running after 20 s, and ended.
	echo "exit status $status, expected 0"
	failed=1
fi
if [ -s "$actual.stderr" ]; then
	echo "unexpected standard error:"
	cat "$actual.stderr"
	failed=1
fi
if ! cmp -s "$expected" "$actual"; then
	echo "output differs from $expected"
	echo "expected bytes: $(od -An -v -tx1 "$expected" | tr -d ' \n')"
	echo "actual bytes:   $(od -An -v -tx1 "$actual" | tr -d ' \n')"
	diff -u --text "$expected" "$actual"
	failed=1
fi
exit $failed
