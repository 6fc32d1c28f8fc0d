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
    configure_and_build -DBUILD_TESTING=ON
    export QT_QPA_PLATFORM=offscreen
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300
    # The receiver thread once more under ThreadSanitizer.
    tsan=${build}-tsan
    cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DQUENDREL_SANITIZE=thread
    cmake --build "$tsan" -j "$(nproc)" --target test_receiver test_connection
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
      ctest --test-dir "$tsan" --output-on-failure -R '^(Receiver|WaitLoop|MenuStates|CheckLink)\.' --timeout 300
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
