#!/usr/bin/env bash
# Builds the pure file parsers for this machine with AddressSanitizer and UBSan, runs their unit
# tests (every sample file among them) and then tens of thousands of damaged variants of the
# samples. Exit code 0 only when all passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build/native"
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root/tests/native" -B "$dir" -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
cmake --build "$dir" -j 2 >"$dir/build.log" 2>&1 || { tail -50 "$dir/build.log"; exit 1; }

echo "== native parser tests"
"$dir/parser_tests" --gtest_brief=1
echo "== damaged inputs"
"$dir/parser_mutations" 2000
