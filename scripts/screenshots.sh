#!/usr/bin/env bash
# Draws the main window, the network page, a camera page, the RS-485 page, the gear dialog, the
# batch dialog and the about box offscreen and saves them as docs/*.png; then the Win32 window under Wine on a
# virtual screen, through the steps of its end-to-end comparison, as docs/windows-*.png.
# Usage: scripts/screenshots.sh [BUILD_DIR [WINDOWS_BUILD_DIR]]   (default: build build-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
windows=${2:-$root/build-windows}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target layout_test -j2
mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts/truetype/wqy \
  QUILLON_SCREENSHOT_DIR="$root/docs" "$build/tests/layout_test"
ls -l "$root"/docs/main-window.png "$root"/docs/network-page.png "$root"/docs/camera-page.png \
  "$root"/docs/rs485-page.png "$root"/docs/gear-dialog.png "$root"/docs/batch-dialog.png

# The main window against simulated devices, after a search and after a read, from the
# end-to-end test (inside its private network).
cmake --build "$build" --target main_window_e2e_test quillon-devsim -j2
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts/truetype/wqy \
  QUILLON_SCREENSHOT_DIR="$root/docs" "$root/scripts/netns-run.sh" \
  "$build/tools/devsim/quillon-devsim" "$build/tests/main_window_e2e_test" \
  --gtest_filter='*SearchLists*:*ReadOfCurrentFirmware*'
ls -l "$root"/docs/main-window-search.png "$root"/docs/main-window-read.png

# The Win32 window under Wine, against the same simulated devices as its end-to-end comparison,
# inside the private network (make windows builds it).
"$root/scripts/wine-test.sh" --screenshots "$root/docs" "$build" "$windows"
ls -l "$root"/docs/windows-*.png
