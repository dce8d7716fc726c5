#!/usr/bin/env bash
# aarch64.sh - the programs cross-built for 64-bit ARM Linux, where long double
# is not the x87's and soft_extended computes instead: every golden and pipe
# case and the row formatter's test under qemu-aarch64, byte for byte against
# the x86 expectations, then a short run of the arithmetic model.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
needs qemu-aarch64 qemu-user

cmake --preset aarch64 >/dev/null
cmake --build --preset aarch64 -j2

# qemu-user may be installed and still unable to start a program (no
# permission to map low memory, a sandbox that forbids it): then skip.
if ! probe=$(qemu-aarch64 build-aarch64/tab_pattern </dev/null 2>&1 >/dev/null); then
	skip "qemu-aarch64 cannot run an aarch64 program here: ${probe:-no reason given}"
fi

ctest --preset aarch64
python3 tests/model/model.py build-aarch64 "${1:-1500}" --emulator qemu-aarch64
