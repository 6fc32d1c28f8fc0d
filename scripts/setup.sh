#!/usr/bin/env bash
# One entry for a fresh Debian 12 machine:
#   scripts/setup.sh run    install what is missing, build, start the program on the virtual phone
#   scripts/setup.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=${1:-run}
build=${QUENDREL_BUILD_DIR:-$root/build}

sudo_cmd=""
if [ "$(id -u)" != 0 ]; then sudo_cmd="sudo"; fi

install_packages() {
  local missing=()
  while read -r pkg; do
    case "$pkg" in ''|'#'*) continue ;; esac
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done < scripts/packages.txt
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
  fi
}

configure_and_build() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$build" -j "$(nproc)"
}

install_packages
case "$mode" in
  run)
    configure_and_build -DBUILD_TESTING=OFF
    # The program reads Velko.ini from its working directory; its logs folder sits beside it.
    mkdir -p "$build/Program" "$build/logs"
    [ -f "$build/Program/Velko.ini" ] || cp resources/Velko.ini "$build/Program/Velko.ini"
    cd "$build/Program"
    exec "$build/quendrel" --virtual-phone
    ;;
  test)
    # Configured for /usr, so the same build also makes the Debian package.
    configure_and_build -DBUILD_TESTING=ON -DCMAKE_INSTALL_PREFIX=/usr
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300
    extra=${QUENDREL_EXTRA_BUILD_ROOT:-$root/build-extra}
    # The whole suite under AddressSanitizer + UBSan, the threaded tests under ThreadSanitizer.
    scripts/sanitize.sh "$extra" all
    # Every parser of outside input under libFuzzer, for a bounded time each.
    scripts/fuzz.sh "$extra"
    # The Debian package: build, install, run, remove.
    QUENDREL_DEB_BUILD_DIR="$build" scripts/package-check.sh
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
