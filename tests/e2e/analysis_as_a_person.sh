#!/usr/bin/env bash
# Reaches the analysis windows the way a person does, on a real X display (run it under
# xvfb-run): plays one 10-second round, right-clicks its row in the history grid, picks the
# work curve with the keys, then the progress and the weak-pairs windows through Shift+F10,
# checks that each window appears under its title and takes a screenshot of each.
# Usage: analysis_as_a_person.sh PROGRAM
set -euo pipefail

name=analysis
source "$(dirname "$0")/person.sh"

printf '10,1\r\n' > 設定.txt
: > 履歴.txt

start_program
at() { xdotool mousemove $((X + $1)) $((Y + $2)); }

at 373 40; xdotool click 1   # the start button
sleep 3.6                    # three countdown ticks; play starts on the third
xdotool type --delay 120 31415926535
sleep 11                     # the round runs out
xdotool type --delay 120 7
sleep 0.5
[[ $(grep -c $'\r$' 履歴.txt || true) -eq 1 ]] || fail "the round was not saved"
[[ -s 解答ログ.db ]] || fail "no answer log"
line=$(iconv -f CP932 -t UTF-8 履歴.txt | tr -d '\r\n')
IFS=, read -r date time answers ok ng _ <<<"$line"
date=${date//\"/}; time=${time//\"/}

# The first row of the grid: a right click, then the first entry with the keys.
at 121 332; xdotool click 3
sleep 0.5
xdotool key Down Return
curve=$(window_named "^作業曲線 — $date $time・.*正解 $ok/$answers・") || fail "no work curve window for '$line'"
sleep 1
import -window root "$shots/analysis-work-curve.png" || true
xdotool windowfocus --sync "$curve"; xdotool key Escape   # Esc closes an analysis window
sleep 0.5
window_shown "^作業曲線 — $date" >/dev/null && fail "Esc left the work curve open"

# The grid keeps the focus within the main window: Shift+F10 opens the same menu.
xdotool windowfocus --sync "$win"
xdotool key shift+F10
sleep 0.5
xdotool key Down Down Return
progress=$(window_named '^上達の記録$') || fail "no progress window"
sleep 1
import -window root "$shots/analysis-progress.png" || true

# The progress window opened over the lower part of the main window: brought to the front,
# as a person clicks on its title bar.
xdotool windowraise "$win"; xdotool windowfocus --sync "$win"
at 121 332; xdotool click 3
sleep 0.5
xdotool key Down Down Down Return
pairs=$(window_named '^苦手な数字の組$') || fail "no weak-pairs window"
sleep 1
import -window root "$shots/analysis-pairs.png" || true
# Both analysis windows are still open: each window of its own, none modal.
window_shown '^上達の記録$' >/dev/null || fail "the progress window closed"

for w in "$pairs" "$progress"; do xdotool windowfocus --sync "$w"; xdotool key Escape; sleep 0.3; done
xdotool windowfocus --sync "$win"
stop_program
echo "PASS: the work curve, progress and weak-pairs windows opened from the grid's menu"
