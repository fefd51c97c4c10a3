#!/bin/sh
# Libraries left in the player's folder are never loaded: libraries under the names of ones the
# program needs are planted in the folder it starts in, and the program runs without them.
set -eu
program=$1
planted=$2
elfcheck=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY LD_LIBRARY_PATH

fail() { echo "FAIL: $*" >&2; exit 1; }

sh "$elfcheck" "$program" || fail "the program has a run-time search path"
# The image and database libraries: a planted C or C++ runtime would stop the program before
# any constructor could run.
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for name in libjpeg.so.62 libsqlite3.so.0; do
  echo "$needed" | grep -qx "$name" || fail "the program does not need $name: planting it tests nothing"
  cp "$planted" "$name"
done
status=0
"$program" --version >out.txt 2>err.txt || status=$?
[ ! -e planted-library-ran ] || fail "a library planted in the working folder ran"
[ "$status" = 0 ] || fail "--version beside the planted libraries: status $status, '$(cat err.txt)'"
echo "planted library: never loaded"
