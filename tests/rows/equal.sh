#!/usr/bin/env bash
# Runs value_table and value_table_printf (its rows written by printf) on the
# same answers and requires byte-identical output, compared by SHA-256; on a
# difference it names the first differing row.
# usage: equal.sh VALUE_TABLE VALUE_TABLE_PRINTF START END STEP
set -euo pipefail
fast=$1 baseline=$2
answers=$(printf '%s\n' "$3" "$4" "$5" x)

# The rows are counted from the same run as they are summed, through a fifo.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkfifo "$work/rows"
wc -l <"$work/rows" >"$work/count" &
fast_sum=$(printf '%s' "$answers" | "$fast" | tee "$work/rows" | sha256sum)
wait $!
rows=$(cat "$work/count")
baseline_sum=$(printf '%s' "$answers" | "$baseline" | sha256sum)
echo "start $3, end $4, step $5: $rows lines"
echo "value_table        ${fast_sum%% *}"
echo "value_table_printf ${baseline_sum%% *}"
if [ "$fast_sum" != "$baseline_sum" ]; then
	cmp <(printf '%s' "$answers" | "$fast") <(printf '%s' "$answers" | "$baseline") || true
	exit 1
fi
