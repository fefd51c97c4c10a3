# Shared set-up for the entry points in script/: install missing Debian packages,
# then configure and build into a build folder. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PACKAGE_LIST="$ROOT/script/packages.txt"

die() { echo "error: $*" >&2; exit 1; }

# packages_for PURPOSE... -> the packages listed under those [purpose] headers, one a line.
packages_for() {
  awk -v wanted=" $* " '
    /^[[:space:]]*(#|$)/ { next }
    /^\[/ { section = substr($1, 2, length($1) - 2); next }
    index(wanted, " " section " ") { print $1 }' "$PACKAGE_LIST"
}

missing_packages() { # missing_packages PURPOSE...
  local pkg
  packages_for "$@" | while read -r pkg; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

# install_missing_packages PURPOSE...: installs what the given purposes of script/packages.txt
# need and is not installed yet ("run" is always among them).
install_missing_packages() {
  command -v dpkg-query >/dev/null || die "this set-up needs a Debian system (dpkg-query not found)"
  local purpose missing
  for purpose in "$@"; do
    grep -q "^\[$purpose\]" "$PACKAGE_LIST" || die "no [$purpose] list in $PACKAGE_LIST"
  done
  missing=$(missing_packages run "$@" | sort -u | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0
  echo "Installing missing packages: $missing"
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then
      as_root=(sudo)
    else
      die "missing packages ($missing) and neither root nor sudo is available to install them; install them by hand with: apt-get install $missing"
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -q || die "apt-get update failed"
  # shellcheck disable=SC2086
  "${as_root[@]}" apt-get install -y -q --no-install-recommends $missing || die "apt-get install failed for: $missing"
}

# configure BUILD_DIR [extra cmake arguments...]
configure() {
  local dir=$1; shift
  local strict=OFF
  [ "${CI:-}" = "true" ] && strict=ON
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVRA_STRICT=$strict "$@" \
    || die "cmake configure failed"
}

# build BUILD_DIR [targets...]: everything the configuration enables, or only the targets given.
build() {
  local dir=$1; shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" || die "build failed"
}

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
  configure "$@"
  build "$1"
}

# The game alone in build/, as a player needs it: neither the tests nor the benchmarks are
# configured, so a fresh machine needs only the [run] packages. Switching build/ between this and
# the test configuration re-runs CMake but rebuilds nothing of the game: its compile commands
# are the same in both.
GAME_CMAKE=(-DBUILD_TESTING=OFF -DTOVRA_BENCH=OFF)
build_game() {
  configure "$ROOT/build" "${GAME_CMAKE[@]}"
  build "$ROOT/build" tovratovratovra
}
