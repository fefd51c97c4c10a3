#!/bin/sh
# Installs the build into a scratch root and checks the tree a package gets: every file
# in its place and nothing else, the permissions, and that the desktop entry, the
# AppStream data and the manual pages point at things that are really installed.
# Usage: test-install-tree.sh CMAKE BUILD_DIR WORK_DIR PREFIX GAMEDIR DATADIR DOCDIR MANDIR
# (the folders relative to PREFIX, as configured)
set -u
cmake=$1 build=$2 work=$3 prefix=$4 bindir=$5 datadir=$6 docdir=$7 mandir=$8
id=org.example.Tovratovratovra

rm -rf -- "$work"
DESTDIR=$work/root "$cmake" --install "$build" >"$work.log" 2>&1 || {
  cat "$work.log"; echo "FAIL: install"; exit 1; }
root=$work/root$prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# path relative to the prefix | mode
expected=$(cat <<LIST
$bindir/tovratovratovra|755
$bindir/tovratovratovra-launcher|755
$datadir/applications/$id.desktop|644
$datadir/metainfo/$id.metainfo.xml|644
$datadir/icons/hicolor/scalable/apps/tovratovratovra.svg|644
$datadir/icons/hicolor/16x16/apps/tovratovratovra.png|644
$datadir/icons/hicolor/22x22/apps/tovratovratovra.png|644
$datadir/icons/hicolor/24x24/apps/tovratovratovra.png|644
$datadir/icons/hicolor/32x32/apps/tovratovratovra.png|644
$datadir/icons/hicolor/48x48/apps/tovratovratovra.png|644
$datadir/icons/hicolor/64x64/apps/tovratovratovra.png|644
$datadir/icons/hicolor/128x128/apps/tovratovratovra.png|644
$datadir/icons/hicolor/256x256/apps/tovratovratovra.png|644
$docdir/tovratovratovra.html|644
$docdir/jumps.png|644
$docdir/copyright|644
$docdir/changelog.gz|644
$mandir/man6/tovratovratovra.6.gz|644
$mandir/man6/tovratovratovra-launcher.6.gz|644
LIST
)
actual=$(cd "$root" && find . ! -type d -printf '%P|%m\n' | sort)
sorted_expected=$(printf '%s\n' "$expected" | sort)
if [ "$actual" != "$sorted_expected" ]; then
  fail "installed files differ from the expected list (< expected, > installed):"
  printf '%s\n' "$sorted_expected" > "$work/expected"
  printf '%s\n' "$actual" > "$work/actual"
  diff "$work/expected" "$work/actual" | grep '^[<>]'
fi
odd_dirs=$(cd "$root" && find . -type d ! -perm 755 -printf '%P %m\n')
[ -z "$odd_dirs" ] || fail "folders without mode 755: $odd_dirs"

# The menu entry starts an installed program and names an installed icon.
desktop=$root/$datadir/applications/$id.desktop
exec_path=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ "$exec_path" = "$prefix/$bindir/tovratovratovra-launcher" ] || fail "Exec=$exec_path is not the launcher"
[ -x "$work/root$exec_path" ] || fail "Exec=$exec_path is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/$datadir/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not installed"
grep -q "^StartupWMClass=tovratovratovra$" "$desktop" || fail "StartupWMClass is not the game's window class"

# The AppStream data launches that entry and names the installed programs.
metainfo=$root/$datadir/metainfo/$id.metainfo.xml
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo launchable is not $id.desktop"
for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
  [ -x "$root/$bindir/$binary" ] || fail "metainfo names $binary, which is not installed"
done

# Compressed reproducibly (no name or time stamp), and the launcher's page leads to the game's.
for page in "$root/$mandir/man6/"*.gz "$root/$docdir/changelog.gz"; do
  gzip -t "$page" 2>/dev/null || { fail "$page is not gzip data"; continue; }
  [ "$(od -A n -t u1 -j 4 -N 4 "$page" | tr -d ' ')" = 0000 ] || fail "$page carries a time stamp"
done
so=$(gzip -dc "$root/$mandir/man6/tovratovratovra-launcher.6.gz" 2>/dev/null | sed -n 's/^\.so //p')
[ -f "$root/$mandir/$so.gz" ] || fail "launcher manual page points at '$so', which is not installed"

# The installed game finds its libraries where the system keeps them, never beside itself.
if readelf -d "$root/$bindir/tovratovratovra" | grep -Eq '\((RPATH|RUNPATH)\)'; then
  fail "the installed game has a run-time search path: $(readelf -d "$root/$bindir/tovratovratovra" | grep -E 'PATH')"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures install tree check(s) failed"
  exit 1
fi
echo "install tree: all checks passed"
