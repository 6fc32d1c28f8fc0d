#!/usr/bin/env bash
# One entry for a fresh Debian 12 machine:
#   scripts/setup.sh run    install what is missing, build, start the program on the virtual phone
#   scripts/setup.sh test   install what is missing, build, run every test
#   scripts/setup.sh windows       cross-build the Windows command line and port layer into build-windows/
#   scripts/setup.sh windows-test  ... then run their tests under Wine against the virtual phone
#   scripts/setup.sh windows-installer-test  ... then only install, run and uninstall the installer
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=${1:-run}
build=${QUENDREL_BUILD_DIR:-$root/build}

sudo_cmd=""
if [ "$(id -u)" != 0 ]; then sudo_cmd="sudo"; fi

install_packages() {
  local list=${1:-scripts/packages.txt}
  local missing=()
  while read -r pkg; do
    case "$pkg" in ''|'#'*) continue ;; esac
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done < "$list"
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

# The core, the native window quendrel.exe, quendrel-cli.exe and the
# Windows tests, cross-built with MinGW-w64 (no Qt: Debian has none for it).
windows_build=${QUENDREL_WINDOWS_BUILD_DIR:-$root/build-windows}
build_windows() {
  cmake -S "$root" -B "$windows_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQUENDREL_WINDOWS_CORE_ONLY=ON
  cmake --build "$windows_build" -j "$(nproc)"
  # What a Windows user installs: build-windows/quendrel-VERSION-win64.exe
  # (the installer) and quendrel-VERSION-win64.zip.
  (cd "$windows_build" && cpack >/dev/null)
}

# The virtual phone for the Wine tests: a Linux program that needs no Qt.
build_host_phonesim() {
  local out="$windows_build/host/phonesim"
  mkdir -p "$windows_build/host"
  if [ ! -x "$out" ] || [ -n "$(find virtualphone content link -name '*.cpp' -newer "$out" -o -name '*.h' -newer "$out")" ]; then
    # shellcheck disable=SC2046
    c++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -pthread -I"$root" \
      virtualphone/PhoneSim.cpp virtualphone/PhoneLine.cpp virtualphone/PhoneEngine.cpp virtualphone/Replay.cpp virtualphone/main.cpp \
      content/SuiteManifest.cpp content/SuiteArchiveZip.cpp link/Text.cpp \
      $(pkg-config --cflags --libs libzip) -o "$out"
  fi
}

# The Wine tests run the command line under two ANSI code pages (1252 and
# 936), which Wine takes from LC_ALL, and the installed window's first start
# on three systems' languages: the host needs those locales.
ensure_test_locales() {
  local l
  for l in en_US zh_CN zh_TW; do
    locale -a 2>/dev/null | grep -qix "$l.utf8" || $sudo_cmd localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
}

run_windows_tests() {
  ensure_test_locales
  python3 scripts/wine-port-test.py --build "$windows_build" --phonesim "$1" \
    --cli "$windows_build/quendrel-cli.exe" --installer "$(ls "$windows_build"/quendrel-*-win64.exe)" \
    "$windows_build/tests/win32/test_comport_win32.exe" "$windows_build/tests/win32/test_platform_win32.exe" "$windows_build/tests/win32/test_dialogs_win32.exe" \
    "$windows_build/tests/win32/test_window_win32.exe" "$windows_build/tests/win32/test_window_fit_win32.exe" \
    "$windows_build/tests/win32/test_window_batches_win32.exe"
}

case "$mode" in
  windows|windows-test|windows-installer-test) install_packages scripts/packages-windows.txt ;;
  test)
    install_packages
    install_packages scripts/packages-windows.txt
    ;;
  *) install_packages ;;
esac
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
    # The Windows command line and port layer, cross-built, under Wine.
    build_windows
    run_windows_tests "$build/virtualphone/phonesim"
    ;;
  windows)
    build_windows
    ;;
  windows-test)
    build_windows
    build_host_phonesim
    run_windows_tests "$windows_build/host/phonesim"
    ;;
  windows-installer-test)
    build_windows
    build_host_phonesim
    ensure_test_locales
    python3 scripts/wine-port-test.py --build "$windows_build" --phonesim "$windows_build/host/phonesim" \
      --installer "$(ls "$windows_build"/quendrel-*-win64.exe)"
    ;;
  *)
    echo "usage: $0 run|test|windows|windows-test|windows-installer-test" >&2
    exit 2
    ;;
esac
