#!/bin/sh
# Files under the game database's names that are not the game's, through the real program: the
# game starts and ends as usual, --history refuses them in one line, and each is left byte for
# byte as it was, with nothing made beside it.
set -eu
program=$1
schema=$2
work=$(mktemp -d)
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(sed -n 's/.*GameDatabaseVersion = \([0-9]*\);.*/\1/p' "$schema")
own_schema() { sed -n '/R"sql(/,/)sql"/p' "$schema" | sed '1d;$d'; echo "PRAGMA user_version = $version;"; }
other_program="CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT); INSERT INTO notes (text) VALUES ('one'), ('two');"

# case name -> prepares the current folder
prepare() {
  case $1 in
    other-program) sqlite3 games.db "$other_program" ;;
    link) sqlite3 ../other.db "$other_program"; ln -s ../other.db games.db ;;
    device) ln -s /dev/null games.db ;;
    trigger) { own_schema; echo "CREATE TRIGGER planted AFTER UPDATE ON games BEGIN DELETE FROM games; END;"; } | sqlite3 games.db ;;
    view) sqlite3 games.db "CREATE VIEW games AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i AS id FROM n; PRAGMA user_version = $version;" ;;
  esac
}

# Every file of the folder and the one beside it, with its bytes.
snapshot() { (cd .. && find . -path ./case/record.dat -prune -o -type f -print | sort | xargs cksum; ls -A case); }

for name in other-program link device trigger view; do
  rm -rf "$work/case" "$work/other.db"
  mkdir "$work/case"
  cd "$work/case"
  prepare "$name"
  before=$(snapshot)

  status=0
  timeout 10 "$program" --history >out.txt 2>err.txt || status=$?
  [ "$status" = 1 ] || fail "$name: --history status $status, not 1"
  [ "$(wc -l <err.txt)" = 1 ] || fail "$name: --history said '$(cat err.txt)'"
  rm out.txt err.txt

  QT_QPA_PLATFORM=offscreen "$program" >/dev/null 2>&1 &
  game_pid=$!
  sleep 2
  kill -0 "$game_pid" 2>/dev/null || fail "$name: the game did not keep running"
  kill -TERM "$game_pid"
  waited=0
  while kill -0 "$game_pid" 2>/dev/null; do
    [ $waited -lt 50 ] || fail "$name: the game did not end within 5 s of SIGTERM"
    sleep 0.1
    waited=$((waited + 1))
  done
  game_pid=
  rm -f record.dat
  [ "$(snapshot)" = "$before" ] || fail "$name: files changed: $(snapshot)"
  [ ! -e /dev/null-journal ] || fail "$name: /dev/null-journal was made"
  cd "$work"
done
echo "hostile files: all left alone"
