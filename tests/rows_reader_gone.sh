#!/usr/bin/env bash
# value_table writing ten million rows into a pipe whose reader stops after
# 100000 bytes. By default the broken pipe's signal ends the program at once;
# with that signal ignored, every later write fails, and the program must still
# run to its end, exit with status 1 and name the broken pipe on standard error.
# Either way it must not hang: each run has 60 seconds.
# usage: rows_reader_gone.sh VALUE_TABLE
set -uo pipefail
program=$1
answers=$'0\n1000\n0.0001\nx\n'
err=$(mktemp)
trap 'rm -f "$err"' EXIT

printf '%s' "$answers" | timeout 60 "$program" 2> "$err" | head -c 100000 > /dev/null
status=${PIPESTATUS[1]}
echo "reader gone, signal default: status $status, stderr: $(cat "$err")"
# 128 + SIGPIPE (13): ended by the signal, not by timeout's 124.
[ "$status" = 141 ] && [ ! -s "$err" ] || exit 1

# A subshell that ignores SIGPIPE hands that on to the program it starts.
(trap '' PIPE; printf '%s' "$answers" | timeout 60 "$program" 2> "$err" | head -c 100000 > /dev/null
 exit "${PIPESTATUS[1]}")
status=$?
echo "reader gone, signal ignored: status $status, stderr: $(cat "$err")"
[ "$status" = 1 ] && [ "$(cat "$err")" = "$(basename "$program"): Broken pipe" ]
