#!/bin/sh
# tovratovratovra --analyse through the real program, with no display to open a window on:
# a missing file, a table without games, a short file, another kind of file, too many arguments.
set -eu
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb # a window would abort here for want of a display

fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { # status stdout stderr -- command...
  want_status=$1 want_out=$2 want_err=$3
  shift 4
  status=0
  "$@" >out.txt 2>err.txt || status=$?
  [ "$status" = "$want_status" ] || fail "$*: status $status, not $want_status"
  [ "$(cat out.txt)" = "$want_out" ] || fail "$*: printed '$(cat out.txt)'"
  [ "$(cat err.txt)" = "$want_err" ] || fail "$*: reported '$(cat err.txt)'"
}

expect 1 "" "record.dat: File not found." -- "$program" --analyse
[ ! -e record.dat ] || fail "--analyse created record.dat"

i=0
while [ $i -lt 20 ]; do
  printf '\005-----' >>fresh.dat
  head -c 138 /dev/zero >>fresh.dat
  i=$((i + 1))
done
cp fresh.dat record.dat
expect 0 "No stored games." "" -- "$program" --analyse
head -c 100 fresh.dat >short.dat
expect 1 "" "short.dat: not a record file (100 bytes; a record file has 2,880)" -- "$program" --analyse short.dat
# Another kind of file, even one of the right size, is not read as games.
head -c 2880 "$program" >program.dat
expect 1 "" "program.dat: not a record file (its record 1 is none the game writes)" -- "$program" --analyse program.dat
"$program" --analyse a b >out.txt 2>err.txt && fail "--analyse a b: accepted"
[ "$(head -1 err.txt)" = "tovratovratovra: unexpected argument 'b'" ] || fail "--analyse a b: reported '$(head -1 err.txt)'"
echo "analyse: all passed"
