#!/usr/bin/env bash
# value_table writing its rows into a file that may not grow past 1000 KiB:
# the block write that crosses the limit fails part-way, and the program must
# still run to its end, exit with status 1 and say why on standard error.
# usage: file_limit.sh VALUE_TABLE OUTPUT_FILE
set -uo pipefail
ulimit -f 1000
trap '' XFSZ
printf '0\n1000\n0.0001\nx\n' | "$1" > "$2" 2> "$2.err"
status=$?
size=$(stat -c %s "$2")
err=$(cat "$2.err")
echo "status $status, $size bytes written, stderr: $err"
[ "$status" = 1 ] && [ "$size" = $((1000 * 1024)) ] && [ "$err" = "$(basename "$1"): File too large" ]
