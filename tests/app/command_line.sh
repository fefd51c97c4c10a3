#!/bin/sh
# The program's own options and a start without a display, through the real program: --help and
# --version print and succeed with no display at all; with no display, or one that cannot be
# reached, the program says so in one line and ends with status 1 instead of aborting.
set -eu
program=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb # the toolkit aborts here, for want of a display, unless the program stops it

fail() { echo "FAIL: $*" >&2; exit 1; }
run() { # run command... -> status in $status, output in out.txt and err.txt
  status=0
  "$@" >out.txt 2>err.txt || status=$?
}

run "$program" --help
[ "$status" = 0 ] || fail "--help: status $status"
[ "$(head -1 out.txt | cut -c1-23)" = "usage: tovratovratovra " ] || fail "--help printed '$(head -1 out.txt)'"
grep -q -- "--version" out.txt || fail "--help does not list --version"
[ ! -s err.txt ] || fail "--help reported '$(cat err.txt)'"

run "$program" --version
[ "$status" = 0 ] || fail "--version: status $status"
[ "$(cat out.txt)" = "tovratovratovra $version" ] || fail "--version printed '$(cat out.txt)'"
[ ! -s err.txt ] || fail "--version reported '$(cat err.txt)'"

run "$program"
[ "$status" = 1 ] || fail "no display: status $status, not 1"
[ "$(cat err.txt)" = "tovratovratovra: cannot open a window: no display (DISPLAY is not set)" ] ||
  fail "no display: reported '$(cat err.txt)'"
[ ! -s out.txt ] || fail "no display: printed '$(cat out.txt)'"
[ ! -e record.dat ] || fail "no display: record.dat was created"

# A display number no X server serves.
DISPLAY=:65000 run "$program"
[ "$status" = 1 ] || fail "unreachable display: status $status, not 1"
[ "$(cat err.txt)" = 'tovratovratovra: cannot open a window on display ":65000"' ] ||
  fail "unreachable display: reported '$(cat err.txt)'"
echo "command line: all passed"
