#!/bin/sh
# tovratovratovra --history through the real program, with no display to open a window on: no
# database yet, one game as text and as CSV, a damaged file, a wrong argument. Nothing is written.
set -eu
program=$1
schema=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb TZ=UTC # a window would abort here for want of a display

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

expect 0 "No games in the history yet." "" -- "$program" --history
[ ! -e games.db ] || fail "--history created games.db"

# The schema as the program lays it out, at its version, then one game stuck at 5 on 8 December 2026 at noon.
version=$(sed -n 's/.*GameDatabaseVersion = \([0-9]*\);.*/\1/p' "$schema")
{ sed -n '/R"sql(/,/)sql"/p' "$schema" | sed '1d;$d'; echo "PRAGMA user_version = $version;"; } | sqlite3 games.db
sqlite3 games.db "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, name, last_reachable)
  VALUES ('finished', 1796731200 - 75, 1796731200, 1796731200, 75000, x'031916341e', 5, 'stuck', 'Zoë', 4)"
before=$(cksum games.db)
expect 0 "Ended              Score  Time      How it ended  Reachable until  Name
2026-12-08 12:00       5  1:15      no move left                4  Zoë" "" -- "$program" --history
expect 0 "ended,started,score,seconds_played,outcome,reachable_until,origin,name,cells
2026-12-08 12:00:00,2026-12-08 11:58:45,5,75,stuck,4,played,Zoë,bt0104 bt0306 bt0303 bt0603 bt0401" "" \
  -- sh -c "'$program' --history --csv | tr -d '\r'"
[ "$(cksum games.db)" = "$before" ] || fail "--history changed games.db"

head -c 4096 /dev/urandom >damaged.db
"$program" --history damaged.db >out.txt 2>err.txt && fail "a damaged file was read"
[ "$(wc -l <err.txt)" = 1 ] || fail "a damaged file: '$(cat err.txt)'"
# A file named that is not there is a mistake, not an empty history.
expect 1 "" "missing.db: no such file" -- "$program" --history missing.db
"$program" --history --csv a b >out.txt 2>err.txt && fail "--history --csv a b: accepted"
[ "$(head -1 err.txt)" = "tovratovratovra: unexpected argument 'b'" ] || fail "--history --csv a b: reported '$(head -1 err.txt)'"
echo "history: all passed"
