#!/usr/bin/env bash
# Types into value_table in a real terminal: a tmux pane, with luit turning the
# program's Windows-1250 bytes into the terminal's UTF-8 and back.  luit is told
# ISO 8859-2, whose bytes for the six accented letters the programs write are
# those of Windows-1250: the luit of x11-utils knows no CP1250.  The screen
# must show the prompts and the table with their accented letters, and the
# program must still be waiting at the closing pause until a character line.
#
# usage: value_table.sh PROGRAM
set -euo pipefail

source "$(dirname "$0")/../needs.sh"
needs tmux tmux
needs luit x11-utils
program=$(realpath "$1")
# A luit that lacks the tables falls back to ISO 8859-1 with a warning.
if luit -encoding ISO8859-2 -- true 2>&1 </dev/null | grep -q "couldn't find charset"; then
	skip "this luit cannot translate ISO 8859-2 (Debian package x11-utils or luit)"
fi

export LC_ALL=C.UTF-8 TERM=xterm-256color
# The accented letters as the screen shows them, in UTF-8.
o2=$(printf '\305\221') e1=$(printf '\303\251') a1=$(printf '\303\241')
o1=$(printf '\303\263') o3=$(printf '\303\266')
socket="value-table-$$"
work=$(mktemp -d)
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

# The pane stays after the program ends so that its exit status can be read.
tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 30 -s t \
	"luit -encoding ISO8859-2 -- sh -c '\"\$0\"; echo \"exit status \$?\" > \"\$1\"' '$program' '$work/status'"
tmux -L "$socket" set-option -t t remain-on-exit on >/dev/null

# -N keeps the trailing spaces: the prompts and the rows end in one.
screen() { tmux -L "$socket" capture-pane -N -p -t t; }

# wait_for TEXT: until the screen shows TEXT, for ten seconds at most.
wait_for() {
	for _ in $(seq 100); do
		if screen | grep -qF -- "$1"; then
			return 0
		fi
		sleep 0.1
	done
	echo "FAILED: the screen never showed \"$1\"; it shows:"
	screen
	exit 1
}

# still_waiting: the program has not ended after half a second.
still_waiting() {
	sleep 0.5
	if [ "$(tmux -L "$socket" display-message -p -t t '#{pane_dead}')" = 1 ] || [ -e "$work/status" ]; then
		echo "FAILED: the program ended instead of waiting ($1); the screen shows:"
		screen
		exit 1
	fi
}

wait_for "kezd${o2} ${e1}rt${e1}k = "
still_waiting "for the start value"
tmux -L "$socket" send-keys -t t "0" Enter
wait_for "v${e1}g ${e1}rt${e1}k = "
tmux -L "$socket" send-keys -t t "1" Enter
wait_for "l${e1}p${e1}sk${o3}z = "
tmux -L "$socket" send-keys -t t "0.25" Enter
wait_for "ha ki akarsz l${e1}pni a programb${o1}l!"

expected="kezd${o2} ${e1}rt${e1}k = 0
v${e1}g ${e1}rt${e1}k = 1
l${e1}p${e1}sk${o3}z = 0.25
l${e1}p${e1}sek sz${a1}ma = 4
------------------------
1.  x=   0.0000  y=  8.0000 
2.  x=   0.2500  y=  8.8750 
3.  x=   0.5000  y= 10.0000 
4.  x=   0.7500  y= 11.3750 

Nyomj egy karaktert ${e1}s egy entert, ha ki akarsz l${e1}pni a programb${o1}l!"
actual=$(screen | head -n 12)
if [ "$actual" != "$expected" ]; then
	echo "FAILED: the screen differs from the expected table"
	diff <(echo "$expected") <(echo "$actual") || true
	exit 1
fi

# Empty lines do not end the closing pause; a character line does.
tmux -L "$socket" send-keys -t t Enter
still_waiting "after an empty line at the closing pause"
tmux -L "$socket" send-keys -t t "x" Enter
for _ in $(seq 100); do
	[ -e "$work/status" ] && break
	sleep 0.1
done
status=$(cat "$work/status" 2>/dev/null || echo "no exit")
if [ "$status" != "exit status 0" ]; then
	echo "FAILED: after the character line: $status"
	screen
	exit 1
fi
echo "value_table in tmux under luit ISO8859-2: prompts, table and closing pause as expected"
