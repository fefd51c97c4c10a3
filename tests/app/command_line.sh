#!/bin/sh
# The program's own options and a start without a display, through the real program: --help and
# --version print and succeed with no display at all; anything else is refused with the usage;
# with no display, or one that cannot be reached, the program says so in one line and ends with
# status 1 instead of aborting.
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

# Anything not understood is refused before a window is tried: the usage on standard error,
# status 2 (a window tried here would end with status 1 for want of a display).
for words in "--bogus" "-v" "extra" "--help --bogus" "--version 2" "--csv" "-platform"; do
  # shellcheck disable=SC2086
  run "$program" $words
  [ "$status" = 2 ] || fail "$words: status $status, not 2"
  sed -n 3p err.txt | grep -q "^usage: tovratovratovra " || fail "$words: no usage after '$(head -1 err.txt)'"
  [ ! -s out.txt ] || fail "$words: printed '$(cat out.txt)'"
done

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
# Today's board prints with no display at all; a date that does not exist and a code that
# cannot be read are refused before any window is tried (which would end with status 1 here).
run "$program" --daily 2026-12-08
[ "$status" = 0 ] || fail "--daily: status $status"
[ "$(head -1 out.txt | cut -c1-22)" = "2026-12-08: grade 2 of" ] || fail "--daily printed '$(head -1 out.txt)'"
sed -n 2p out.txt | grep -Eq '^[0-9A-HJKMNP-TV-Z]{20,}$' || fail "--daily printed no code: '$(cat out.txt)'"
run "$program" --daily
[ "$status" = 0 ] || fail "--daily (today): status $status"
for words in "--daily 2026-02-29" "--daily 2026-13-01" "--daily tomorrow" "--open 1ABCU" "--open 100QHJ"; do
  # shellcheck disable=SC2086
  run "$program" $words
  [ "$status" = 2 ] || fail "$words: status $status, not 2"
  [ "$(wc -l <err.txt)" = 1 ] || fail "$words: reported '$(cat err.txt)'"
  [ ! -s out.txt ] || fail "$words: printed '$(cat out.txt)'"
done
[ ! -e record.dat ] && [ ! -e games.db ] || fail "a refused board wrote a file"
echo "command line: all passed"
