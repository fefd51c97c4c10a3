# Shared set-up for the entry points in script/: install missing Debian packages,
# then configure and build into a build folder. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PACKAGE_LIST="$ROOT/script/packages.txt"

die() { echo "error: $*" >&2; exit 1; }

missing_packages() {
  local pkg
  grep -vE '^\s*(#|$)' "$PACKAGE_LIST" | while read -r pkg; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

install_missing_packages() {
  command -v dpkg-query >/dev/null || die "this set-up needs a Debian system (dpkg-query not found)"
  local missing
  missing=$(missing_packages | tr '\n' ' ')
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

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
  local dir=$1; shift
  local strict=OFF
  [ "${CI:-}" = "true" ] && strict=ON
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVRA_STRICT=$strict "$@" \
    || die "cmake configure failed"
  cmake --build "$dir" -j "$(nproc)" || die "build failed"
}
