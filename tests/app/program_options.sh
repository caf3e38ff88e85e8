#!/usr/bin/env bash
# Runs the program with its options. Help, version, usage errors and exports need no display;
# the window starts in the folder that the options name: the current one, --data-dir DIR
# (created when missing, relative to where the program starts) or --user-data.
# Usage: program_options.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
root=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the program without any display; sets rc, out and err.
headless() {
    rc=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" \
        >"$root/out" 2>"$root/err" || rc=$?
    out=$(cat "$root/out")
    err=$(cat "$root/err")
}

headless --version
[[ $rc == 0 && $out =~ ^ketatobi\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version: $rc '$out' '$err'"
headless --help
[[ $rc == 0 && $out == *--data-dir* && $out == *--user-data* && $out == *--export-answers* ]] ||
    fail "--help: $rc '$out'"
for bad in "--bogus" "stray" "--data-dir" "--data-dir a --user-data"; do
    # shellcheck disable=SC2086  # one case, several words
    headless $bad
    [[ $rc == 2 && -z $out && $err == *--help* ]] || fail "'$bad': exit $rc, out '$out', err '$err'"
done

# Export: a relative CSV path is taken from the folder the program starts in, the history from
# the data folder. Shift_JIS bytes: 秒 = 95 62, ＋ = 81 7B.
mkdir -p "$root/data" "$root/here"
printf '"2004/05/01","13:05:09",25,20,5,"80.0%%","0.33/\x95\x62","60\x95\x62","\x81\x7b"\r\n' \
    >"$root/data/履歴.txt"
cd "$root/here"
headless --data-dir ../data --export-history out.csv
[[ $rc == 0 && -z $err ]] || fail "export: exit $rc, err '$err'"
[[ -f out.csv && $(wc -l <out.csv) == 2 ]] || fail "export: out.csv is missing or not header + 1 row"
grep -q '2004/05/01' out.csv || fail "export: the record is not in out.csv"
[[ ! -e ../data/out.csv ]] || fail "export: the CSV went to the data folder"
headless --data-dir ../empty --export-history none.csv
[[ $rc == 1 && -n $err && ! -e none.csv ]] || fail "export without a history: exit $rc, err '$err'"
[[ ! -e ../empty ]] || fail "an export created the data folder"

# The data files are never an export's target, by any path; the refusal writes nothing.
for own in 履歴.txt 設定.txt 解答ログ.db 解答ログ.db-wal 解答ログ.db-shm 解答ログ.db.corrupt-1; do
    for option in --export-history --export-answers; do
        headless --data-dir ../data "$option" "../data/$own"
        [[ $rc == 1 && $err == ketatobi:* && -z $out ]] ||
            fail "$option over $own: exit $rc, err '$err'"
    done
done
[[ $(ls ../data) == 履歴.txt ]] || fail "a refused export left files: $(ls ../data)"

# Standard output: '-' and /dev/stdout write into a pipe, without a byte-order mark.
for target in - /dev/stdout; do
    piped=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --data-dir ../data \
        --export-history "$target" 2>"$root/err" | cat) || fail "$target into a pipe: $(cat "$root/err")"
    [[ $piped == 日付,* && $piped == *2004/05/01* ]] || fail "$target into a pipe gave '$piped'"
done

# A device is written into, never replaced.
headless --data-dir ../data --export-history /dev/null
[[ $rc == 0 && -c /dev/null ]] || fail "/dev/null: exit $rc, '$err', $(ls -l /dev/null)"
if [[ $(id -u) == 0 ]]; then
    # Root may replace a device node: it must still be one.
    [[ -c /dev/null && $(stat -c %t,%T /dev/null) == 1,3 ]] || fail "/dev/null is no longer the device"
fi

# Starts the window in the background from folder $1 with the rest as options; it must stay up
# with the data folder $2 as its working folder, where it opens its files by bare name.
start() {
    local from=$1 data=$2 cwd=
    shift 2
    (cd "$from" && QT_QPA_PLATFORM=offscreen exec "$program" "$@") & pid=$!
    for _ in $(seq 20); do
        sleep 0.2
        cwd=$(readlink "/proc/$pid/cwd" || true)
        [[ $cwd == "$data" ]] && break
    done
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "'$*' from $from: the program did not stay up"
    [[ $cwd == "$data" ]] || fail "'$*' from $from: works in '$cwd', not in $data"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}

root=$(realpath "$root")
mkdir -p "$root/cwd" "$root/rel" "$root/home"
start "$root/cwd" "$root/cwd"
start "$root/rel" "$root/rel/new/folder" --data-dir new/folder
HOME="$root/home" XDG_DATA_HOME="$root/xdg" start "$root/cwd" "$root/xdg/ketatobi" --user-data
HOME="$root/home" XDG_DATA_HOME= start "$root/cwd" "$root/home/.local/share/ketatobi" --user-data
# --session opens the practice window; Qt has a session option of its own that would take the
# next word for its value, so the order of the options must not matter.
start "$root/rel" "$root/rel/s1" --session --data-dir s1
start "$root/rel" "$root/rel/s2" --data-dir s2 --session

# A data folder that cannot be made ends the program before any window.
touch "$root/plain-file"
rc=0
QT_QPA_PLATFORM=offscreen "$program" --data-dir "$root/plain-file" 2>"$root/err" || rc=$?
[[ $rc == 1 && -s "$root/err" ]] || fail "--data-dir on a file: exit $rc"
echo "PASS: help, version, usage errors, exports and their targets, and the three data folders"
