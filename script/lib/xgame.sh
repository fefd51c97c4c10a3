# Playing the real game on a virtual X server with a window manager, for the black-box checks.
# Sourced after setup.sh. Defines: start_x, start_game FOLDER [COMMAND PREFIX...], click_cell,
# stop, game windows, and cleans up what it started on exit.
xvfb_pid=
wm_pid=
game_pid=
# Ends only what this script started, by PID.
stop() { # stop PID [SIGNAL]
  [ -n "$1" ] || return 0
  kill "-${2:-TERM}" "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
xgame_cleanup() {
  stop "$game_pid" KILL
  stop "$wm_pid"
  stop "$xvfb_pid"
}

start_x() {
  local display=:$((90 + RANDOM % 20))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  export DISPLAY=$display
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
}

# The visible windows titled as the game's main window (its notes and boxes share the title).
game_windows() { xdotool search --onlyvisible --name '^Tovra!, Tovra!, Tovra!$' 2>/dev/null || true; }

# start_game FOLDER [PREFIX...]: starts the game in FOLDER (through PREFIX, e.g. strace) and
# waits for its window; sets game_pid, gx, gy (the board's top-left corner on the screen) and
# started_ms (milliseconds from the start to the window on screen).
start_game() {
  local folder=$1
  shift
  local t0 w=
  t0=$(date +%s%N)
  (cd "$folder" && QT_SCALE_FACTOR=1 exec "$@" "$ROOT/build/tovratovratovra" >/dev/null 2>&1) &
  game_pid=$!
  for _ in $(seq 300); do
    w=$(game_windows | head -1) && [ -n "$w" ] && break
    sleep 0.05
  done
  [ -n "$w" ] || die "the game window did not appear"
  started_ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  sleep 0.5
  # xwininfo, not xdotool: under a reparenting window manager it reports the client's own place.
  local info
  info=$(xwininfo -id "$w")
  gx=$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$info")
  gy=$(( $(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$info") + $(awk '/^ *Height:/ { print $2 }' <<<"$info") - 294 ))
  xdotool windowactivate --sync "$w" >/dev/null 2>&1 || true
}
click_cell() { # row column [button]
  xdotool mousemove $((gx + 21 + 20 * ($2 - 1) + 9)) $((gy + 21 + 20 * ($1 - 1) + 9)) click "${3:-1}"
  sleep 0.1
}
