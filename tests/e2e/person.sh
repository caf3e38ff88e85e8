# Shared by the end-to-end scripts, which source it: a fresh data folder to work in, the
# program's process cleaned up on every exit, and a failure that leaves a screenshot.
# Before sourcing, set `name` (used for the failure screenshot's file name).
# After sourcing: $program, $work (the current folder), $shots, fail MESSAGE,
# start_program [ARGS] (sets $pid, $win, $X, $Y), click X Y (client coordinates),
# stop_program (the exit button, then checks that the program ended cleanly).

program=$1
work=$(mktemp -d)
shots=${E2E_SHOT_DIR:-$PWD}
pid=
cleanup() { [[ -n $pid ]] && kill "$pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$shots/e2e-$name-failure.png" 2>/dev/null &&
        echo "screenshot: $shots/e2e-$name-failure.png" >&2
    exit 1
}
cd "$work"

start_program() {
    "$program" "$@" & pid=$!
    win=$(timeout 20 xdotool search --sync --onlyvisible --name 'ケタトビ' | head -n 1) ||
        fail "no window"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$win")"   # X, Y
}

click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }

stop_program() {
    click 593 40        # the exit button
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "the program did not end"
    wait "$pid" || fail "the program ended with an error"
    pid=
}
