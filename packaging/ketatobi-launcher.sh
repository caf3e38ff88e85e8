#!/bin/sh
# Starts ケタトビ inside the per-user data folder that holds its two data files, creating the
# folder when it is missing. The program opens its files by bare name in its working folder.
set -e
data="${XDG_DATA_HOME:-$HOME/.local/share}/ketatobi"
mkdir -p "$data"
cd "$data"
exec "$(dirname "$0")/ketatobi" "$@"
