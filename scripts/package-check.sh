#!/usr/bin/env bash
# CI: build the Debian package, install it with dpkg, run the installed
# quendrel-cli, and remove the package again.
#   QUENDREL_DEB_BUILD_DIR  build folder of the package (default: build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${QUENDREL_DEB_BUILD_DIR:-$root/build-deb}
start=$(date +%s)

sudo_cmd=""
if [ "$(id -u)" != 0 ]; then sudo_cmd="sudo"; fi

# The programs find their samples under the configured prefix: /usr for a .deb.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB)
deb=$(ls -t "$build"/quendrel_*.deb | head -n 1)
echo "Package: $deb"
dpkg-deb --field "$deb"

remove() { $sudo_cmd dpkg -r quendrel >/dev/null || true; }
trap remove EXIT
if ! $sudo_cmd dpkg -i "$deb"; then
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -f -y -qq
fi
dpkg-query -W -f='${Status}\n' quendrel | grep -q "install ok installed"

version=$(/usr/bin/quendrel-cli --version)
echo "$version"
case "$version" in "quendrel-cli "*) ;; *) echo "unexpected version text" >&2; exit 1 ;; esac
# The window program links and starts far enough to print its help.
/usr/bin/quendrel --help >/dev/null
for f in /usr/share/applications/quendrel.desktop /usr/share/man/man1/quendrel-cli.1 \
         /usr/share/quendrel/Velko.ini /usr/share/quendrel/samples/pc/snake.jad; do
  [ -e "$f" ] || { echo "missing after install: $f" >&2; exit 1; }
done

# The installed programs as a user first runs them: the window on its virtual
# phone from a fresh home (the desktop entry's action), which must come up
# connected; the command line on its own virtual phone and on phonesim's
# pseudo-terminal (phonesim is not in the package: the build's).
home=$(mktemp -d)
phone_pid=""
cleanup() {
  [ -z "$phone_pid" ] || kill "$phone_pid" 2>/dev/null || true
  rm -rf "$home"
  remove
}
trap cleanup EXIT
run_user() { (cd "$home" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" LANG=C.UTF-8 LC_ALL= "$@"); }
status=$(run_user env QT_QPA_PLATFORM=offscreen /usr/bin/quendrel --desktop --virtual-phone --quit-after-start \
  2>"$home/window.err") || { cat "$home/window.err" >&2; echo "the installed window did not start" >&2; exit 1; }
if grep -q "message box" "$home/window.err" || ! printf '%s\n' "$status" | grep -qx "Status: Connection"; then
  printf '%s\n' "$status" "$(cat "$home/window.err")" >&2
  echo "the installed window did not come up connected to its virtual phone" >&2
  exit 1
fi
listing=$(run_user /usr/bin/quendrel-cli --virtual-phone ls 3) || { echo "quendrel-cli --virtual-phone ls 3 failed" >&2; exit 1; }
printf '%s\n' "$listing" | grep -q "^sun.gif" || { echo "unexpected listing: $listing" >&2; exit 1; }
mkdir "$home/phone"
coproc PHONE { exec "$build/virtualphone/phonesim" --content "$home/phone"; }
phone_pid=$PHONE_PID
read -r device <&"${PHONE[0]}"
run_user /usr/bin/quendrel-cli --port "$device" at || { echo "quendrel-cli --port $device at failed" >&2; exit 1; }
printf 'installed window: %s\n' "$(printf '%s' "$status" | tr '\n' ' ')"

cleanup
trap - EXIT
if dpkg-query -W -f='${Status}' quendrel 2>/dev/null | grep -q "install ok installed"; then
  echo "quendrel is still installed after dpkg -r" >&2
  exit 1
fi
echo "package check passed in $(( $(date +%s) - start )) s"
