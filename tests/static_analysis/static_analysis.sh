#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over every source of the
# programs; any finding fails the run.  Needs the compile database of the
# clang preset's build.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset clang >/dev/null
sources=(common/*.cpp src/*.cpp)

clang-tidy --quiet -p build-clang "${sources[@]}" 2>/dev/null
echo "clang-tidy: ${#sources[@]} sources, clean"

cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
	--error-exitcode=1 --suppress=missingIncludeSystem --inline-suppr --quiet -I common "${sources[@]}"
echo "cppcheck: ${#sources[@]} sources, clean"
