#!/usr/bin/env bash
# Installs, with apt-get, every Debian package the build, the program and the tests need
# that is not installed yet. Does nothing (and asks for nothing) when all are present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-charts-dev libqt6charts6 libqt6opengl6-dev libgl-dev libqt6sql6-sqlite libsqlite3-dev
  libgtest-dev googletest libbenchmark-dev
  libchm-dev fp-utils
  fonts-ipafont-gothic qt6-translations-l10n
  xvfb xauth xdotool x11-utils imagemagick
  desktop-file-utils appstream dpkg-dev lintian
  clang libclang-rt-14-dev clang-tidy clang-format
  emscripten chromium chromium-driver python3 python3-selenium
)

# npm for the browser tests' packages, unless a Node.js that brings its own is installed (the
# Debian package would conflict with it).
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
else
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
