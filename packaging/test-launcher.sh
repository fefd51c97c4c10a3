#!/bin/sh
# Runs the launcher against a stand-in game that reports where it was started,
# for each way the player's data folder can be chosen.
# Usage: test-launcher.sh LAUNCHER WORK_DIR
set -u
launcher=$1
work=$2

rm -rf -- "$work"
mkdir -p -- "$work/bin" "$work/elsewhere"
cp -- "$launcher" "$work/bin/tovratovratovra-launcher"
chmod 755 "$work/bin/tovratovratovra-launcher"
cat > "$work/bin/tovratovratovra" <<'GAME'
#!/bin/sh
: >> record.dat
printf '%s|%s\n' "$(pwd)" "$*"
GAME
chmod 755 "$work/bin/tovratovratovra"

failures=0
fail() { echo "FAIL: $case_name: $*"; failures=$((failures + 1)); }

# case name | XDG_DATA_HOME ("-" unset, "=" empty, "rel:" relative) | HOME ("-" unset) | expected folder ("-" refused) | expected mode
while IFS='|' read -r case_name xdg home expected mode; do
  [ -n "$case_name" ] || continue
  out=$(
    cd "$work/elsewhere" || exit 99
    case "$xdg" in
      -) unset XDG_DATA_HOME ;;
      =) XDG_DATA_HOME= ;;
      rel:*) XDG_DATA_HOME=${xdg#rel:} ;;
      *) XDG_DATA_HOME=$work/$xdg ;;
    esac
    if [ "$home" = - ]; then unset HOME; else HOME=$work/$home; fi
    export XDG_DATA_HOME HOME 2>/dev/null
    PATH=$work/bin:$PATH tovratovratovra-launcher --one two 2>/dev/null
  )
  status=$?
  if [ "$expected" = - ]; then
    [ "$status" -ne 0 ] || fail "accepted a missing home and data folder"
    [ -z "$out" ] || fail "started the game: $out"
    continue
  fi
  [ "$status" -eq 0 ] || { fail "exit status $status"; continue; }
  [ "$out" = "$work/$expected|--one two" ] || fail "game started as '$out', expected in $work/$expected with its arguments"
  actual_mode=$(stat -c %a "$work/$expected" 2>/dev/null)
  [ "$actual_mode" = "$mode" ] || fail "folder mode '$actual_mode', expected $mode"
  [ -f "$work/$expected/record.dat" ] || fail "no record.dat in the data folder"
  [ ! -e "$work/elsewhere/record.dat" ] || fail "record.dat left in the starting folder"
done <<'CASES'
XDG_DATA_HOME set, folders missing|xdg/data|home|xdg/data/tovratovratovra|700
XDG_DATA_HOME unset|-|home1|home1/.local/share/tovratovratovra|700
XDG_DATA_HOME empty|=|home2|home2/.local/share/tovratovratovra|700
XDG_DATA_HOME relative is ignored|rel:relative/data|home3|home3/.local/share/tovratovratovra|700
neither XDG_DATA_HOME nor HOME|-|-|-|-
CASES

# An existing data folder is reused as it is: its mode and its table stay.
mkdir -p "$work/kept/tovratovratovra"
chmod 750 "$work/kept/tovratovratovra"
echo table > "$work/kept/tovratovratovra/record.dat"
case_name="existing data folder"
out=$(cd "$work/elsewhere" && XDG_DATA_HOME=$work/kept "$work/bin/tovratovratovra-launcher")
[ "$out" = "$work/kept/tovratovratovra|" ] || fail "game started as '$out'"
[ "$(stat -c %a "$work/kept/tovratovratovra")" = 750 ] || fail "mode changed"
[ "$(cat "$work/kept/tovratovratovra/record.dat")" = table ] || fail "table changed"

# Started by a relative path, the launcher still finds the game after changing folder.
case_name="relative launcher path"
out=$(cd "$work" && XDG_DATA_HOME=$work/kept ./bin/tovratovratovra-launcher)
[ "$out" = "$work/kept/tovratovratovra|" ] || fail "game started as '$out'"

# A data folder the game cannot use: the launcher says why, on standard error and in a message
# box (a stand-in that notes what it was asked), and does not start the game.
cat > "$work/bin/zenity" <<'BOX'
#!/bin/sh
printf '%s\n' "$*" >> "$BOX_LOG"
BOX
chmod 755 "$work/bin/zenity"
# case name | what lies at the data folder's name | words the message must hold
while IFS='|' read -r case_name what words; do
  [ -n "$case_name" ] || continue
  home=$work/bad-$what
  rm -rf -- "$home"
  mkdir -p -- "$home/.local/share"
  case "$what" in
    file) echo not a folder > "$home/.local/share/tovratovratovra" ;;
    dangling) ln -s "$work/nowhere" "$home/.local/share/tovratovratovra" ;;
    datahome) rm -rf -- "$home/.local/share" && echo not a folder > "$home/.local/share" ;;
  esac
  : > "$work/box.log"
  err=$(cd "$work/elsewhere" && env -u XDG_DATA_HOME -u WAYLAND_DISPLAY HOME="$home" DISPLAY=:99 \
    BOX_LOG="$work/box.log" PATH="$work/bin:/usr/bin:/bin" "$work/bin/tovratovratovra-launcher" 2>&1 >/dev/null)
  status=$?
  [ "$status" -ne 0 ] || fail "exit status 0"
  case "$err" in *"$words"*) ;; *) fail "said '$err'" ;; esac
  case "$(cat "$work/box.log")" in *"$words"*) ;; *) fail "no message box saying '$words'" ;; esac
  [ ! -e "$work/elsewhere/record.dat" ] || fail "the game was started"
done <<'CASES'
data folder is a file|file|is a file, not a folder
data folder is a dangling link|dangling|which does not exist
data home is a file|datahome|is a file, not a folder
CASES

if [ "$failures" -ne 0 ]; then
  echo "$failures launcher check(s) failed"
  exit 1
fi
echo "launcher: all checks passed"
