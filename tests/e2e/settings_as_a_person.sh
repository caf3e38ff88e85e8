#!/usr/bin/env bash
# The time-limit combo and the window titles as a person meets them on a real X display (run it
# under xvfb-run): typing a limit and leaving the field changes nothing, a pick from the opened
# list with the mouse does; the window and the clear confirmation carry exactly their own titles.
# Usage: settings_as_a_person.sh PROGRAM
set -euo pipefail

name=settings
source "$(dirname "$0")/person.sh"
settings() { od -An -c 設定.txt | tr -s ' ' | sed 's/^ //'; }

printf '60,1\r\n' > 設定.txt
: > 履歴.txt

start_program
[[ $(xdotool getwindowname "$win") == 'ケタトビ' ]] || fail "window title '$(xdotool getwindowname "$win")'"
before=$(settings)

# Typing into the limit's field and leaving it with Tab, or with Enter, is no pick.
click 100 130
xdotool key ctrl+a
xdotool type --delay 80 120
xdotool key Tab
sleep 0.3
[[ $(settings) == "$before" ]] || fail "typing 120 and Tab wrote: $(settings)"
click 100 130
xdotool key ctrl+a
xdotool type --delay 80 90
xdotool key Return
sleep 0.3
[[ $(settings) == "$before" ]] || fail "typing 90 and Enter wrote: $(settings)"

# The arrow opens the list; a click on an entry two lines below the field picks it.
click 145 130
sleep 0.8
click 100 185
sleep 0.5
line=$(tr -d '\r\n' < 設定.txt)
[[ $line =~ ^(10|20|30|40|50|60|70|80|90|100|110|120|130|140|150|160|170|180),1$ ]] ||
    fail "a pick from the list wrote '$line'"

# The clear confirmation: its title is its own text, nothing appended.
click 483 40
box=$(window_named 'クリア確認' 10) || fail "no confirmation"
sleep 0.5
[[ $(xdotool getwindowname "$box") == 'クリア確認' ]] || fail "box title '$(xdotool getwindowname "$box")'"
import -window root "$shots/e2e-clear-confirmation.png" 2>/dev/null || true
xdotool key Escape
sleep 0.3

stop_program
echo "PASS: typing is no pick, the list picked $line, titles are the program's own"
