#!/usr/bin/env python3
"""Runs the bridge script built natively and as WebAssembly and compares the printouts.

    compare_outputs.py NATIVE NODE WASM_JS
"""
import difflib
import subprocess
import sys


def run(command):
    result = subprocess.run(command, capture_output=True, timeout=300)
    if result.returncode != 0:
        sys.exit(f'{command[0]} failed ({result.returncode}): {result.stderr.decode(errors="replace")}')
    return result.stdout


def main():
    native_path, node, wasm_js = sys.argv[1:4]
    native = run([native_path])
    # The loader of emscripten 3.1.6 takes a Node.js with fetch for a browser and would fetch
    # the .wasm by URL; without fetch it reads the file.
    wasm = run([node, '--no-experimental-fetch', wasm_js])
    lines = native.count(b'\n')
    if native == wasm:
        print(f'native and WebAssembly printouts agree: {lines} lines, {len(native)} bytes')
        print('1 passed, 0 failed')
        return 0
    diff = difflib.unified_diff(native.decode(errors='replace').splitlines(),
                                wasm.decode(errors='replace').splitlines(),
                                'native', 'wasm', lineterm='', n=0)
    for k, line in enumerate(diff):
        if k == 40:
            print('…')
            break
        print(line[:400])
    print('0 passed, 1 failed')
    return 1


if __name__ == '__main__':
    sys.exit(main())
