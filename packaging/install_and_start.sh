#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and starts the installed program through its
# launcher on the offscreen platform, with a fresh home folder.
# Usage: install_and_start.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; rm -rf "$root"' EXIT

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
prefix="$root/dest/usr"
for f in bin/ketatobi bin/ketatobi-launcher share/ketatobi/help/VexoHelp.chm \
         share/applications/ketatobi.desktop share/metainfo/org.ketatobi.Ketatobi.metainfo.xml \
         share/icons/hicolor/scalable/apps/ketatobi.svg share/icons/hicolor/48x48/apps/ketatobi.png; do
    [[ -e "$prefix/$f" ]] || { echo "FAIL: $f not installed"; exit 1; }
done

export HOME="$root/home" XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
"$prefix/bin/ketatobi-launcher" & pid=$!
sleep 3
kill -0 "$pid" || { echo "FAIL: the installed program did not stay up"; exit 1; }
[[ -d "$HOME/.local/share/ketatobi" ]] || { echo "FAIL: no data folder was created"; exit 1; }
echo "PASS: installed $(find "$prefix" -type f | wc -l) files; the program runs from the install"
