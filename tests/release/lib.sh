# lib.sh - sourced by the release checks: needs and skip as in tests/needs.sh,
# and a skip also leaves its reason in RELEASE_SKIPS for release.sh to report.
. "$(dirname "${BASH_SOURCE[0]}")/../needs.sh"

skip() {
	if [ -n "${RELEASE_SKIPS:-}" ]; then
		mkdir -p "$RELEASE_SKIPS"
		echo "$*" >"$RELEASE_SKIPS/${RELEASE_TEST//\//-}"
	fi
	echo "SKIPPED: $*"
	exit 77
}

# fail MESSAGE...: ends the check as failed.
fail() {
	echo "FAILED: $*" >&2
	exit 1
}
