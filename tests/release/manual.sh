#!/usr/bin/env bash
# manual.sh VERSION DIR - man renders the page in DIR and each of its three
# links without a warning, in a UTF-8 and in a plain ASCII locale, and
# each shows the release's version and all four programs' names.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs man man-db
needs groff groff-base
version=$1 dir=$2

export MANWIDTH=80 MANROFFSEQ=
for page in value_table triangle_test reciprocal_sum tab_pattern; do
	file=$dir/$page.1.gz
	[ -e "$file" ] || fail "no page $file"
	for locale in C.UTF-8 C; do
		warnings=$(LC_ALL=$locale man --warnings -l "$file" 2>&1 >/dev/null)
		[ -z "$warnings" ] || fail "man --warnings -l $file in $locale: $warnings"
	done
	text=$(LC_ALL=C man -l "$file" 2>/dev/null)
	for word in "console_dialogues $version" "value_table, triangle_test, reciprocal_sum, tab_pattern" \
		"EXIT STATUS" "luit -encoding ISO8859-2"; do
		grep -qF -- "$word" <<<"$text" || fail "$file does not show \"$word\""
	done
	echo "$page.1.gz: no warning"
done
