# Shared by the end-to-end scripts, which source it: a fresh data folder to work in, the
# program's process cleaned up on every exit, and a failure that leaves a screenshot.
# Before sourcing, set `name` (used for the failure screenshot's file name).
# After sourcing: $program, $work (the current folder), $shots, fail MESSAGE,
# start_program [ARGS] (sets $pid, $win, $X, $Y: the client area's corner, under the menu
# bar), click X Y (client coordinates),
# window_named PATTERN [SECONDS], window_shown PATTERN,
# stop_program (the exit button, then checks that the program ended cleanly).

program=$1
work=$(mktemp -d)
xerr=$(mktemp)
shots=${E2E_SHOT_DIR:-$PWD}
pid=
cleanup() { [[ -n $pid ]] && kill "$pid" 2>/dev/null || true; rm -rf "$work" "$xerr"; }
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$shots/e2e-$name-failure.png" 2>/dev/null &&
        echo "screenshot: $shots/e2e-$name-failure.png" >&2
    exit 1
}
cd "$work"

# The visible windows whose title matches, one id a line. xdotool walks every window
# and Xlib ends it on the first one that vanishes under it (a menu closing, a window
# opening): such a walk is taken again rather than read as "no such window".
window_shown() {
    local ids
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        if ids=$(xdotool search --onlyvisible --name "$1" 2>"$xerr"); then
            echo "$ids"; return 0
        fi
        grep -q 'X Error' "$xerr" || return 1
        sleep 0.1
    done
    return 1
}
# The first window whose title matches, once it is shown (waits up to SECONDS, 15 unless told).
window_named() {
    local ids tries=$(( ${2:-15} * 10 ))
    while (( tries-- > 0 )); do
        ids=$(window_shown "$1") && { head -n 1 <<<"$ids"; return 0; }
        sleep 0.1
    done
    return 1
}

start_program() {
    "$program" "$@" & pid=$!
    win=$(window_named 'ケタトビ' 20) || fail "no window"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$win")"   # X, Y, WIDTH, HEIGHT
    # Client coordinates start under the menu bar: the client area is 452 pixels high.
    Y=$((Y + HEIGHT - 452))
}

click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }

stop_program() {
    click 593 40        # the exit button
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "the program did not end"
    wait "$pid" || fail "the program ended with an error"
    pid=
}
