#!/usr/bin/env bash
# A plain configure, as a distribution builds the program, with the test packages (GoogleTest,
# Google Benchmark, Qt Test) hidden from CMake: it must succeed. The same with BUILD_TESTING on
# must fail, which shows that the hiding works.
# Usage: plain_configure.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hide=(-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
      -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON)

if ! cmake -S "$src" -B "$work/plain" "${hide[@]}" >"$work/plain.log" 2>&1; then
    cat "$work/plain.log"
    echo "FAIL: a plain configure needs a test package"
    exit 1
fi
if cmake -S "$src" -B "$work/testing" -DBUILD_TESTING=ON "${hide[@]}" >"$work/testing.log" 2>&1; then
    echo "FAIL: the configure with BUILD_TESTING=ON succeeded without the test packages"
    exit 1
fi
if ! grep -qE 'component "Test"|GTest|benchmark' "$work/testing.log"; then
    cat "$work/testing.log"
    echo "FAIL: the configure with BUILD_TESTING=ON failed, but not for a test package"
    exit 1
fi
echo "PASS: a plain configure needs no test package"
