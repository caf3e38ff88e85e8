#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and starts the installed program the way its
# desktop entry does (the Exec line, found on PATH), on the offscreen platform with a fresh home
# folder; the program must stay up and work in the per-user data folder.
# Usage: install_and_start.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; rm -rf "$root"' EXIT

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
prefix="$root/dest/usr"
desktop=share/applications/org.ketatobi.Ketatobi.desktop
for f in bin/ketatobi share/ketatobi/help/VexoHelp.chm "$desktop" \
         share/metainfo/org.ketatobi.Ketatobi.metainfo.xml \
         share/icons/hicolor/scalable/apps/ketatobi.svg share/icons/hicolor/48x48/apps/ketatobi.png \
         share/man/man6/ketatobi.6.gz share/doc/ketatobi/copyright share/doc/ketatobi/changelog.gz; do
    [[ -e "$prefix/$f" ]] || { echo "FAIL: $f not installed"; exit 1; }
done
# The windows' module, where the installed program looks for it (its --session line below opens
# one of its windows).
[[ -n $(find "$prefix/lib" -path '*/ketatobi/ketatobi_windows.so' 2>/dev/null) ]] ||
    { echo "FAIL: the windows' module is not installed"; exit 1; }
gzip -t "$prefix/share/man/man6/ketatobi.6.gz" || { echo "FAIL: the manual page is no gzip file"; exit 1; }

# The entry's own Exec line, then each desktop action's (right-clicking the launcher offers them).
mapfile -t exec_lines < <(sed -n 's/^Exec=//p' "$prefix/$desktop")
((${#exec_lines[@]} > 0)) || { echo "FAIL: no Exec line in $desktop"; exit 1; }
export HOME="$root/home" XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen PATH="$prefix/bin:$PATH"
mkdir -p "$HOME/elsewhere"
cd "$HOME/elsewhere"  # the desktop starts programs in any folder
data=$(realpath -m "$HOME/.local/share/ketatobi")
for exec_line in "${exec_lines[@]}"; do
    # shellcheck disable=SC2086  # the Exec line is split into words, as the desktop does
    $exec_line & pid=$!
    cwd=
    for _ in $(seq 20); do
        sleep 0.2
        cwd=$(readlink "/proc/$pid/cwd" || true)
        [[ $cwd == "$data" ]] && break
    done
    sleep 1
    kill -0 "$pid" || { echo "FAIL: '$exec_line' did not stay up"; exit 1; }
    [[ -d "$data" ]] || { echo "FAIL: no data folder was created"; exit 1; }
    [[ $cwd == "$data" ]] || { echo "FAIL: '$exec_line' works in '$cwd', not in $data"; exit 1; }
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
done
echo "PASS: installed $(find "$prefix" -type f | wc -l) files; ${#exec_lines[@]} Exec lines run from the install"
