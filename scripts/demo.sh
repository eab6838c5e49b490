#!/usr/bin/env bash
# Starts Quillon beside three simulated overlay devices, inside a private network made for the
# purpose (scripts/netns-run.sh), so nothing reaches the real network. Press "搜索" to find them.
#
#   scripts/demo.sh BUILD_DIR
#   scripts/demo.sh --tell-display    only says what happens without a display (make demo, first)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Without a display (over ssh, in a container) the window can only go to a virtual screen that
# nobody sees: say so before the build, and again when the window starts.
no_display() {
  cat >&2 <<'EOT'
==========================================================================================
make demo: there is no display here (DISPLAY and WAYLAND_DISPLAY are not set, as over ssh).
The window will run on a virtual screen (Xvfb) that nobody can see, so "搜索" cannot be
pressed. To see the demo, run `make demo` on this machine's desktop, or log in with X
forwarding (`ssh -X this-machine`, then `make demo`). Ctrl-C ends it.
==========================================================================================
EOT
}
has_display() { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }

if [ "${1:-}" = "--tell-display" ]; then
  has_display || no_display
  exit 0
fi

build=${1:-build}
build=$(cd "$build" && pwd)
devsim=$build/tools/devsim/quillon-devsim
program=$build/src/quillon

if [ -z "${QUILLON_DEVICE_NETNS:-}" ]; then
  if ! has_display; then
    no_display
    exec xvfb-run -a -s "-screen 0 1600x1000x24" "$here/netns-run.sh" "$devsim" "$0" "$build"
  fi
  exec "$here/netns-run.sh" "$devsim" "$0" "$build"
fi

# Here we are on the PC side of the private network.
log=$(mktemp -t quillon-devsim.XXXXXX.log)
nsenter --net="$QUILLON_DEVICE_NETNS" -- "$devsim" --bind "$QUILLON_DEVICE_ADDR" --log "$log" \
  --device 'ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=1号机房 东门' \
  --device 'ip=192.168.1.65,mac=00E04C3A1B02,version=20.03,name=2号泵站' \
  --device 'ip=192.168.1.66,mac=00E04C3A1B03,version=01.09,name=老设备' &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
echo "Simulated devices (log: $log):"
echo "  192.168.1.64  00E04C3A1B01  firmware 32.05  current"
echo "  192.168.1.65  00E04C3A1B02  firmware 20.03  legacy line texts"
echo "  192.168.1.66  00E04C3A1B03  firmware 01.09  first generation (warned)"
"$program"
