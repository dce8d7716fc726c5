#!/usr/bin/env bash
# Builds the programs and runs every test suite; stops at the first failing one.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset default
