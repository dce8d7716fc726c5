#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over every source of the
# programs; any finding fails the run.  Needs the compile database of the
# clang preset's build.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
needs clang++ clang
needs clang-tidy clang-tidy
needs cppcheck cppcheck

cmake --preset clang >/dev/null
cmake --build --preset clang
sources=(common/*.cpp src/*.cpp)

# Three sources a clang-tidy, two at a time: a finding fails its group.
printf '%s\n' "${sources[@]}" |
	xargs -P 2 -n 3 sh -c 'clang-tidy --quiet -p build-clang "$@" 2>/dev/null' clang-tidy
echo "clang-tidy: ${#sources[@]} sources, clean"

cppcheck -j 2 --enable=warning,style,performance,portability --std=c++17 --language=c++ \
	--error-exitcode=1 --suppress=missingIncludeSystem --inline-suppr --quiet -I common "${sources[@]}"
echo "cppcheck: ${#sources[@]} sources, clean"
