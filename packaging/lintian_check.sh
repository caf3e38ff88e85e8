#!/usr/bin/env bash
# Builds the .deb of BUILD_DIR into a temporary folder and runs lintian on it: any error or
# warning fails. Informational tags are listed but pass.
# Usage: lintian_check.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(find "$out" -maxdepth 1 -name '*.deb' | head -n 1)
[[ -n $deb ]] || { echo "FAIL: cpack made no .deb"; exit 1; }
status=0
lintian --fail-on error,warning --display-info "$deb" || status=$?
if ((status != 0)); then
    echo "FAIL: lintian found errors or warnings in $(basename "$deb")"
    exit 1
fi
echo "PASS: lintian finds no error and no warning in $(basename "$deb")"
