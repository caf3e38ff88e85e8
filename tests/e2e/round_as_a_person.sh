#!/usr/bin/env bash
# Plays one 10-second round the way a person does, on a real X display (run it under xvfb-run):
# starts the program in a fresh data folder, clicks the start button, types answers, lets the
# time run out, types once more, and checks the saved result; then presses the exit button.
# Usage: round_as_a_person.sh PROGRAM
set -euo pipefail

name=round
source "$(dirname "$0")/person.sh"
printf '10,1\r\n' > 設定.txt
: > 履歴.txt
settings_before=$(od -An -tx1 設定.txt)

start_program

click 373 40        # the start button
sleep 3.6           # three countdown ticks; play starts on the third
keys=23
xdotool type --delay 120 "$(printf '%s' 31415926535897932384626 | cut -c1-$keys)"
sleep 11            # the round runs out
xdotool type --delay 120 7
sleep 0.5
line_count=$(grep -c $'\r$' 履歴.txt || true)
[[ $line_count -eq 1 ]] || fail "expected one saved line, found $line_count"

line=$(iconv -f CP932 -t UTF-8 履歴.txt | tr -d '\r\n')
echo "saved: $line"
IFS=, read -r date time answers ok ng rate_pct per_sec limit mode extra <<<"$line"
[[ -z ${extra:-} && -n $mode ]] || fail "not nine items: $line"
[[ $date =~ ^\"[0-9]{4}/[0-9]{2}/[0-9]{2}\"$ ]] || fail "date $date"
[[ $time =~ ^\"[0-9]{2}:[0-9]{2}:[0-9]{2}\"$ ]] || fail "time $time"
((answers == keys + 1)) || fail "answers $answers, keys typed $((keys + 1))"
((ok + ng == answers)) || fail "correct $ok + wrong $ng != answers $answers"
want_pct=$(awk -v o="$ok" -v n="$answers" 'BEGIN { printf "\"%.1f%%\"", int(o * 1000 / n + 0.5) / 10 }')
[[ $rate_pct == "$want_pct" ]] || fail "accuracy $rate_pct, expected $want_pct"
want_rate=$(awk -v o="$ok" 'BEGIN { printf "\"%.2f/秒\"", o / 10 }')
[[ $per_sec == "$want_rate" ]] || fail "rate $per_sec, expected $want_rate"
[[ $limit == '"10秒"' ]] || fail "limit $limit"
[[ $mode == '"＋"' ]] || fail "mode $mode"

stop_program
[[ $(od -An -tx1 設定.txt) == "$settings_before" ]] || fail "the settings file changed"
echo "PASS: one round played, $answers answers saved, exit closed the program"
