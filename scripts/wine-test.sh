#!/usr/bin/env bash
# The Windows programs under Wine, inside a private network (`make windows-test`; CI runs it
# after `make test`):
#   1. the unit tests of the core and the command-line tool, built for Windows;
#   2. the INI differential: GetPrivateProfileStringA of Wine against IniProfile, the same
#      look-ups on the same files (tests/data/ini-profile, every 16-bit character in a UTF-16
#      file, and the inputs of the parameter-file fuzz target); every difference is named and
#      fails;
#   3. the window's tests: quillon.exe's window driven by messages with a recording link
#      (tests/win32);
#   4. end to end: quillon-cli.exe search, read and apply against the Linux simulator, and the
#      Linux quillon-cli against quillon-devsim.exe, each compared byte for byte with the same run
#      of the Linux programs: what they print, the file read, the simulator's state after the
#      apply, and every frame on port 1901; quillon-cli.exe also takes a file by a path from
#      the root ("/...") and by its drive ("Z:\...");
#   5. the window end to end: the Win32 window and the Qt window played through the same steps
#      (tests/windows/window_steps.h) against the Linux simulator, compared byte for byte: the
#      boxes they showed, the file they exported, the simulator's state, every frame;
#   6. the installer: installed silently into a scratch copy of the prefix, the installed program
#      started, then uninstalled, leaving the prefix's files as they were; the firewall rules it
#      adds and removes, as netsh.exe's command lines (a recorder stands in for Wine's netsh).
#
#   scripts/wine-test.sh [LINUX_BUILD [WINDOWS_BUILD]]
#   scripts/wine-test.sh --bench [LINUX_BUILD [WINDOWS_BUILD]]
#       the RS-485 read under Wine; the window's start under Wine (warm) beside the Linux window's
#       (QUILLON_LINUX_START_MS, from quillon_bench's table), and quillon.exe's size; searches
#       answered by 1000 devices and by a burst of 5000 within 1 s, listed in the Win32 window,
#       beside the Qt window's rows of the table (QUILLON_LINUX_DISCOVERY, QUILLON_LINUX_BURST)
#   scripts/wine-test.sh --screenshots DOCS [LINUX_BUILD [WINDOWS_BUILD]]
#       the Win32 window's pictures (DOCS/windows-*.png) on a virtual screen (xvfb-run), through
#       the steps of the end-to-end comparison
#
# Wine's sockets are made by its wineserver process, so Wine runs here only inside the private
# network of netns-run.sh: the wineserver of the build's prefix is stopped first, started by the
# first Windows program inside the network, and stopped again before the device side starts one
# of its own. The prefix (WINDOWS_BUILD/wine-prefix) is made once, on the first run, by
# scripts/wine-prefix.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="test"
case "${1:-}" in
  --bench)
    mode=bench
    shift
    ;;
  --screenshots)
    mode=screenshots
    docs=$(realpath "$2")
    shift 2
    ;;
esac
linux=$(realpath "${1:-build}")
windows=$(realpath "${2:-build-windows}")
fuzz_build=${FUZZ_BUILD:-build-fuzz}

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ ! -x "$wine64" ] || [ ! -x "$wineserver" ]; then
  echo "wine-test: wine64 is missing; 'make deps' installs it" >&2
  exit 1
fi

if [ "${QUILLON_WINE_NETNS:-}" != 1 ]; then
  args=("$linux" "$windows")
  [ $mode != bench ] || args=(--bench "${args[@]}")
  [ $mode != screenshots ] || args=(--screenshots "$docs" "${args[@]}")
  QUILLON_WINE_NETNS=1 exec scripts/netns-run.sh "$linux/tools/devsim/quillon-devsim" "$0" \
    "${args[@]}"
fi

# Inside the private network: the PC side has lo and the veth end only.
if [ -z "${QUILLON_DEVICE_NETNS:-}" ] ||
   ip -o link show | awk -F': ' '{print $2}' | grep -v -q -E '^(lo|qpc0@.*)$'; then
  echo "wine-test: not inside the private network of netns-run.sh; refusing to start Wine" >&2
  exit 1
fi

export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all
# No display here: nothing may try to open a window or install a desktop menu, Mono or Gecko.
export WINEDLLOVERRIDES='winemenubuilder.exe=d;mscoree=d;mshtml=d'
unset DISPLAY WAYLAND_DISPLAY
# Wine takes the Unix command line and file names as UTF-8.
wine=(env LC_ALL=C.UTF-8 "$wine64")
stop_wineserver() { "$wineserver" -k 2>/dev/null || true; "$wineserver" -w 2>/dev/null || true; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  stop_wineserver
  rm -rf "$work"
}
trap cleanup EXIT

stop_wineserver
scripts/wine-prefix.sh

until_in() {  # FILE TEXT SECONDS: waits until FILE holds TEXT
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "wine-test: '$2' did not appear in $1 within $3 s" >&2
  return 1
}

devices=(
  --device "ip=192.168.1.64,mac=00E04C3A1B01,version=32.05,name=1号机房 东门"
  --device "ip=192.168.1.65,mac=00E04C3A1B02,version=32.05,name=2号机房"
  --device "ip=192.168.1.66,mac=00E04C3A1B03,version=20.03,name=3号泵站"
  --device "ip=192.168.1.67,mac=00E04C3A1B04,version=32.05,name=4号泵站"
)

# The simulator's devices: COUNT of them, as quillon_bench's many devices.
many_devices() {
  local i
  devices=()
  for ((i = 0; i < $1; i++)); do
    devices+=(--device "$(printf 'ip=10.1.%d.%d,mac=00E04C%06X,version=32.05,name=机房%d号' \
      $((i / 250)) $((i % 250 + 1)) "$i" $((i + 1)))")
  done
}

# Starts a simulator (its command in "$@") on the device side, with its log and dump in $run.
start_devices() {
  (cd "$run" && exec nsenter --net="$QUILLON_DEVICE_NETNS" -- "$@" --bind 10.77.0.2 \
     "${devices[@]}" --log devsim.log --dump dump.txt >/dev/null) &
  pids+=($!)
  until_in "$run/devsim.log" ready 60
}

stop_last() {
  kill "${pids[-1]}" 2>/dev/null || true
  wait "${pids[-1]}" 2>/dev/null || true
  unset 'pids[-1]'
}

# Runs "$@" in $run with every frame on port 1901 recorded, each side's frames apart.
recorded() {
  "$linux/tests/windows/quillon_frame_recorder" "$run/frames.txt" >"$run/recorder.out" &
  pids+=($!)
  until_in "$run/recorder.out" ready 10
  local status=0
  (cd "$run" && "$@") || status=$?
  sleep 0.3  # the last replies reach the recorder
  stop_last
  # Each side's frames in their order; how the two sides' frames interleave depends on timing.
  grep '^10\.77\.0\.1 ' "$run/frames.txt" >"$run/frames-pc.txt" || true
  grep '^10\.77\.0\.2 ' "$run/frames.txt" >"$run/frames-devices.txt" || true
  return $status
}

# Search, read, apply with the command-line tool in "$@".
cli_session() {
  "$@" search >search.txt 2>search.err
  "$@" read 00E04C3A1B01 --out template.ini >read.txt 2>read.err
  # The file by its path from the root: on Windows too a path, not a Windows-style option.
  "$@" apply "$run/template.ini" 00E04C3A1B02 00E04C3A1B03 00E04C3A1B04 \
    --ip-from 192.168.1.100 --verify >apply.txt 2>apply.err
}

# One run of the command-line tool in "$@", every frame recorded.
scenario() {
  recorded cli_session "$@" ||
    { echo "wine-test: $(basename "$run"): a command failed:" >&2; cat "$run"/*.err >&2; return 1; }
  # A Windows program ends its lines in CRLF; how long each device took may differ.
  sed -i -E 's/\r$//; s/ \([0-9.]+ s\)$//' "$run"/search.txt "$run"/read.txt "$run"/apply.txt
  # apply serves its devices side by side, so their frames interleave by timing: each device's
  # frames (by the MAC after the header) are compared in their own order.
  local file
  for file in frames-pc.txt frames-devices.txt; do
    awk '{ print substr($2, 9, 12), $0 }' "$run/$file" | sort -s -k1,1 | cut -d' ' -f2- \
      >"$run/$file.by-device"
    mv "$run/$file.by-device" "$run/$file"
  done
}

# The window's steps played by the program in "$@", every frame recorded.
window_scenario() {
  recorded "$@" >"$run/steps.out" 2>"$run/steps.err" ||
    { echo "wine-test: $(basename "$run"): the steps failed:" >&2; cat "$run/steps.err" >&2; return 1; }
}

# Whether the files named after the reference folder are the same in $run.
same_as() {
  local reference=$1 failed=0 file
  shift
  for file in "$@"; do
    if ! cmp -s "$reference/$file" "$run/$file"; then
      echo "wine-test: $(basename "$run"): $file differs from $(basename "$reference"):" >&2
      diff <(head -c 4000 "$reference/$file") <(head -c 4000 "$run/$file") | head -20 >&2 || true
      failed=1
    fi
  done
  [ $failed -eq 0 ] && echo "wine-test: $(basename "$run"): $* the same as" \
    "$(basename "$reference")'s ($(wc -l <"$run/frames.txt") frames)"
  return $failed
}

same_as_linux() {
  same_as "$work/linux" search.txt read.txt apply.txt template.ini dump.txt frames-pc.txt \
    frames-devices.txt
}

cli_exe=$windows/tools/cli/quillon-cli.exe
devsim_exe=$windows/tools/devsim/quillon-devsim.exe
unit_exe=$windows/unit_tests.exe
lookup_exe=$windows/tests/windows/profile_lookup.exe
netsh_exe=$windows/tests/windows/netsh_recorder.exe
read_exe=$windows/rs485_read.exe
window_exe=$windows/quillon.exe
window_tests_exe=$windows/tests/win32/window_tests.exe
installer_exe=$(compgen -G "$windows/quillon-*-windows-x64-setup.exe" | head -n 1 || true)
for exe in "$cli_exe" "$devsim_exe" "$unit_exe" "$lookup_exe" "$netsh_exe" "$read_exe" "$window_exe" \
           "$window_tests_exe" "$installer_exe"; do
  [ -f "$exe" ] || { echo "wine-test: $exe is missing: make windows" >&2; exit 1; }
done
cli_linux=$linux/tools/cli/quillon-cli
cli_windows=("${wine[@]}" "$cli_exe")
devsim_linux=$linux/tools/devsim/quillon-devsim
devsim_windows=("${wine[@]}" "$devsim_exe")

if [ $mode = screenshots ]; then
  run=$work/screenshots
  mkdir -p "$run"
  start_devices "$devsim_linux"
  # A display for every Windows program from here on: a wineserver of its own, started anew.
  stop_wineserver
  timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" "${wine[@]}" "$window_tests_exe" --steps "Z:$run" \
    "Z:$docs" 2>"$run/steps.err" || { cat "$run/steps.err" >&2; exit 1; }
  stop_wineserver
  exit 0
fi

if [ $mode = bench ]; then
  run=$work/bench
  mkdir -p "$run"
  start_devices "$devsim_linux"
  # Wine's first start in this network, outside the figures.
  "${wine[@]}" "$read_exe" --help >/dev/null 2>&1 || true
  echo
  echo "quillon-cli on Linux and, built for Windows, under Wine (the same simulator and network):"
  printf '  %-62s %s\n' "full RS-485 read (566 entries), median of 20: Linux" \
    "$("$linux/bench/quillon_rs485_read" 00E04C3A1B01 20)"
  printf '  %-62s %s\n' "the same read in quillon-cli.exe's code under Wine" \
    "$("${wine[@]}" "$read_exe" 00E04C3A1B01 20)"
  for side in Linux Wine; do
    if [ $side = Linux ]; then cli=("$cli_linux"); else cli=("${cli_windows[@]}"); fi
    start=$(date +%s%N)
    (cd "$run" && "${cli[@]}" read 00E04C3A1B01 --out bench.ini >/dev/null 2>&1)
    printf '  %-62s %d ms\n' "'quillon-cli read', the whole command with its start: $side" \
      $(( ($(date +%s%N) - start) / 1000000 ))
  done
  echo
  echo "The window's start, process start until the main window shows (goal: 0.3 s warm), and size:"
  printf '  %-62s %s\n' "quillon (Qt) on Linux, offscreen (the cold start of the table)" \
    "${QUILLON_LINUX_START_MS:-not measured here: the cold start row of quillon_bench}"
  # The first start warms Wine's own DLLs and the program's file; the figure is of the later ones.
  timeout 120 "${wine[@]}" "$window_tests_exe" --probe "Z:$window_exe" 1 >/dev/null || true
  if ! timeout 300 "${wine[@]}" "$window_tests_exe" --probe "Z:$window_exe" 10 >"$run/starts.txt" ||
     ! timeout 300 "${wine[@]}" "$window_tests_exe" --probe "Z:$window_tests_exe" 10 --bare \
       >"$run/bare.txt" ||
     ! timeout 300 "${wine[@]}" "$window_tests_exe" --probe "Z:$window_tests_exe" 10 \
       "--bare controls" >"$run/bare-controls.txt"; then
    echo "wine-test: the window's start could not be timed (above: why)" >&2
    exit 1
  fi
  median() { awk '{print $2}' "$1" | sort -n | awk '{v[NR] = $1} END {printf "%.0f", (v[5] + v[6]) / 2}'; }
  printf '  %-62s %s ms\n' "quillon.exe under Wine, warm, median of 10" "$(median "$run/starts.txt")"
  printf '  %-62s %s ms\n' "floor: an empty dialog of its size under Wine, the same way" \
    "$(median "$run/bare.txt")"
  printf '  %-62s %s ms\n' "Wine's own: that dialog with the controls the window shows at" \
    "$(median "$run/bare-controls.txt")"
  printf '  %-62s\n' "  its start (main window, network page, first camera page), bare"
  printf '  %-62s %s\n' "quillon.exe, one static program (goal: under 3 MB)" \
    "$(awk -v b="$(stat -c %s "$window_exe")" 'BEGIN {printf "%.2f MB (%d bytes)", b / 1048576, b}')"
  stop_last

  echo
  echo "A search in the window, \"搜索\" clicked until every device is listed (goals: 1000 devices"
  echo "within 1.5 s; a burst of 5000 within 1 s listed whole, with the receive buffer of Linux's"
  echo "usual net.core.rmem_max, 212992 bytes, as the Qt window's burst rows):"
  for searched in "1000 0 0 ${QUILLON_LINUX_DISCOVERY:-not measured here}" \
                  "5000 1000 212992 ${QUILLON_LINUX_BURST:-not measured here}"; do
    read -r count spread buffer qt <<<"$searched"
    run=$work/bench-$count
    mkdir -p "$run"
    many_devices "$count"
    start_devices "$devsim_linux" --spread-ms "$spread"
    for i in 1 2 3; do
      timeout 120 "${wine[@]}" "$window_tests_exe" --discover "$count" "$buffer" \
        >"$run/search-$i.txt" ||
        { echo "wine-test: the search of $count devices could not be timed" >&2; exit 1; }
    done
    stop_last
    what="$count devices answering at once"
    [ "$spread" = 0 ] || what="$count devices answering within $spread ms"
    printf '  %-62s %s\n' "$what: quillon (Qt) on Linux (the table)" "$qt"
    timed=$(cat "$run"/search-*.txt | awk '/^listed_ms / {print $2}' | sort -n | tr '\n' ' ')
    listed=$(cat "$run"/search-*.txt | awk -v n="$count" '/^listed / {printf "%s%d of %d", k++ ? ", " : "", $2, n}')
    printf '  %-62s %s\n' "the same in quillon.exe under Wine, median of 3 (each run listed)" \
      "$(echo "$timed" | awk '{printf NF == 3 ? "%.0f ms" : "not all listed", $2}') ($listed)"
  done
  exit 0
fi

failed=0

echo "wine-test: 1. unit tests (unit_tests.exe)"
if ! timeout 900 "$wine64" "$unit_exe" --gtest_brief=1 2>&1 | tee "$work/unit.log" |
     grep -v '^Running main'; then
  failed=1
fi
grep -q '^\[  PASSED  \]' "$work/unit.log" && ! grep -q '^\[  FAILED  \]' "$work/unit.log" ||
  failed=1

echo "wine-test: 2. INI differential (GetPrivateProfileStringA against IniProfile)"
corpora=(tests/data/fuzz-regressions/param_import)
"$linux/tests/fuzz/quillon_fuzz_seeds" "$work/seeds" >/dev/null
corpora+=("$work/seeds/param_import")
[ ! -d "$fuzz_build/fuzz/corpus/param_import" ] || corpora+=("$fuzz_build/fuzz/corpus/param_import")
"$linux/tests/windows/quillon_profile_compare" prepare tests/data/ini-profile/lookups.txt \
  "$work/profile" "${corpora[@]}"
# A Chinese Windows: the ANSI code page is 936, which turns UTF-16 files into GBK.
LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$wine64" "$lookup_exe" \
  "Z:$work/profile/requests.txt" "Z:$work/profile/answers.txt"
"$linux/tests/windows/quillon_profile_compare" compare "$work/profile" || failed=1

echo "wine-test: 3. the window's tests (window_tests.exe)"
if ! timeout 300 "${wine[@]}" "$window_tests_exe" --gtest_brief=1 2>&1 | tee "$work/window.log" |
     grep -v '^Running main'; then
  failed=1
fi
grep -q '^\[  PASSED  \]' "$work/window.log" && ! grep -q '^\[  FAILED  \]' "$work/window.log" ||
  failed=1

echo "wine-test: 4. the command-line tools end to end in the private network"
run=$work/linux
mkdir -p "$run"
start_devices "$devsim_linux"
scenario "$cli_linux"
stop_last

run=$work/quillon-cli.exe
mkdir -p "$run"
start_devices "$devsim_linux"
scenario "${cli_windows[@]}" && same_as_linux || failed=1
# The same file by its path from the root of the drive and by the drive's own name.
drive_path="Z:$(printf '%s' "$run/template.ini" | tr / '\\')"
if "${wine[@]}" "$cli_exe" show "$run/template.ini" network.ip >"$run/show.txt" 2>&1 &&
   "${wine[@]}" "$cli_exe" diff "$run/template.ini" "$drive_path" >"$run/diff.txt" 2>&1 &&
   grep -q '^network.ip ' "$run/show.txt"; then
  echo "wine-test: quillon-cli.exe takes a '/...' and a 'Z:\...' path"
else
  echo "wine-test: quillon-cli.exe show/diff with a '/...' or 'Z:\...' path failed:" >&2
  cat "$run/show.txt" "$run/diff.txt" >&2
  failed=1
fi
stop_last

# The device side starts a wineserver of its own.
stop_wineserver
run=$work/quillon-devsim.exe
mkdir -p "$run"
start_devices "${devsim_windows[@]}"
scenario "$cli_linux" && same_as_linux || failed=1
stop_last

echo "wine-test: 5. the window end to end in the private network"
stop_wineserver
run=$work/window-qt
mkdir -p "$run"
start_devices "$devsim_linux"
window_scenario timeout 300 env QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts/truetype/wqy \
  "$linux/tests/windows/quillon_window_steps" "$run" || failed=1
stop_last

run=$work/window-win32
mkdir -p "$run"
start_devices "$devsim_linux"
window_scenario timeout 300 "${wine[@]}" "$window_tests_exe" --steps "Z:$run" &&
  same_as "$work/window-qt" boxes.txt exported.ini dump.txt frames-pc.txt frames-devices.txt ||
  failed=1
stop_last

echo "wine-test: 5b. the batch dialog end to end: 20 devices that restart, one silent"
run=$work/batch-win32
mkdir -p "$run"
window_devices=("${devices[@]}")
devices=()
for ((i = 1; i <= 20; i++)); do
  devices+=(--device "$(printf 'ip=192.168.1.%d,mac=00E04C3A1E%02d,version=32.05,restart-ms=1000,name=%d号站' \
    $((20 + i)) "$i" "$i")")
done
devices+=(--device "ip=192.168.1.99,mac=00E04C3A1E99,version=32.05,name=不应答")
start_devices "$devsim_linux" --silent-device 00E04C3A1E99
if timeout 300 "${wine[@]}" "$window_tests_exe" --batch "Z:$run" >"$run/batch.out" 2>&1 &&
   sed -i 's/\r$//' "$run/batch.txt" &&
   [ "$(grep -c ' 成功（已校验）$' "$run/batch.txt")" = 20 ] &&
   grep -q '^00E04C3A1E99 失败：读取参数无应答$' "$run/batch.txt" &&
   grep -q '^已完成 21/21，失败 1$' "$run/batch.txt" &&
   grep -q '^批量配置完成：成功 20 台，失败 1 台$' "$run/batch.txt" &&
   grep -q '^stopped: 已完成 1/21，失败 [01]$' "$run/batch.txt" &&
   [ "$(grep -c '^stopped 等待$' "$run/batch.txt")" = 20 ]; then
  echo "wine-test: batch-win32: 20 devices 成功（已校验）, the silent one 失败：读取参数无应答;" \
    "stopped during the first, the other 20 wait"
else
  echo "wine-test: batch-win32: the batch did not end as it should:" >&2
  cat "$run/batch.out" "$run/batch.txt" >&2 2>/dev/null || true
  failed=1
fi
stop_last
devices=("${window_devices[@]}")

echo "wine-test: 6. the installer in a scratch prefix"
# The prefix's files but for what any start of Wine rewrites, and Wine's own Start-menu mirror.
prefix_files() {
  (cd "$1/drive_c" && find . -path ./users -prune -o -path './windows/*.log' -prune -o \
     -path ./windows/temp -prune -o -type f -print | sort)
}
installer_test() {
  local prefix=$work/installer-prefix
  local folder="$prefix/drive_c/Program Files/Quillon"
  local menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillon"
  local key='Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Quillon'
  local file problems=()
  stop_wineserver
  cp -a "$WINEPREFIX" "$prefix"
  # Wine's netsh keeps no firewall rules: the recorder takes its place and writes down each call.
  cp "$netsh_exe" "$prefix/drive_c/windows/system32/netsh.exe"
  prefix_files "$prefix" >"$work/prefix-before.txt"
  export QUILLON_NETSH_LOG="Z:$work/netsh.txt" WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netsh.exe=n"
  (export WINEPREFIX=$prefix
   timeout 120 "${wine[@]}" "$installer_exe" /S && timeout 60 "$wineserver" -w) || problems+=("the silent install failed")
  cp "$work/netsh.txt" "$work/netsh-install.txt" 2>/dev/null || true
  for file in quillon.exe quillon-cli.exe quillon-devsim.exe README.txt quillon-prompt.cmd uninstall.exe; do
    [ -f "$folder/$file" ] || problems+=("no $file in Program Files\\Quillon")
  done
  [ "$(ls "$menu"/*.lnk 2>/dev/null | wc -l)" -eq 3 ] || problems+=("not three Start-menu entries")
  grep -q "$key" "$prefix/system.reg" || problems+=("no entry under Uninstall")
  (export WINEPREFIX=$prefix
   timeout 120 "${wine[@]}" "$window_tests_exe" --probe 'C:\Program Files\Quillon\quillon.exe' 1 &&
   timeout 60 "${wine[@]}" 'C:\Program Files\Quillon\quillon-cli.exe' --help >/dev/null) ||
    problems+=("the installed programs did not start and end")
  (export WINEPREFIX=$prefix
   timeout 120 "${wine[@]}" 'C:\Program Files\Quillon\uninstall.exe' /S && timeout 60 "$wineserver" -w) ||
    problems+=("the silent uninstall failed")
  unset QUILLON_NETSH_LOG
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES%;netsh.exe=n}
  # Each rule removed before it is added (an installation over an earlier one keeps one rule),
  # then added; the uninstaller removes the same two.
  local rule_window='name="Quillon (quillon.exe, UDP 1901)" dir=in'
  local rule_cli='name="Quillon (quillon-cli.exe, UDP 1901)" dir=in'
  local window='program="C:\Program Files\Quillon\quillon.exe"'
  local cli='program="C:\Program Files\Quillon\quillon-cli.exe"'
  local add='action=allow protocol=UDP localport=1901'
  local profile='profile=private,domain enable=yes'
  printf '%s\n' \
    "advfirewall firewall delete rule $rule_window $window" \
    "advfirewall firewall add rule $rule_window $add $window $profile" \
    "advfirewall firewall delete rule $rule_cli $cli" \
    "advfirewall firewall add rule $rule_cli $add $cli $profile" >"$work/netsh-expected.txt"
  diff "$work/netsh-expected.txt" "$work/netsh-install.txt" >&2 ||
    problems+=("the installer's firewall calls differ from the two rules")
  sed -n '5,$p' "$work/netsh.txt" | diff <(grep delete "$work/netsh-expected.txt") - >&2 ||
    problems+=("the uninstaller's firewall calls differ from the two rules' removal")
  [ ! -e "$folder" ] || problems+=("Program Files\\Quillon is still there")
  [ ! -e "$menu" ] || problems+=("the Start-menu folder is still there")
  ! grep -q "$key" "$prefix/system.reg" || problems+=("the Uninstall entry is still there")
  prefix_files "$prefix" >"$work/prefix-after.txt"
  diff "$work/prefix-before.txt" "$work/prefix-after.txt" >&2 || problems+=("files differ from before")
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix"
  if [ ${#problems[@]} -gt 0 ]; then
    printf 'wine-test: installer: %s\n' "${problems[@]}" >&2
    return 1
  fi
  echo "wine-test: installer: installed silently with its two firewall rules, the window and" \
    "quillon-cli started, uninstalled with the rules without a trace"
}
installer_test || failed=1

if [ $failed -eq 0 ]; then
  echo "wine-test: the Windows programs pass under Wine"
else
  echo "wine-test: FAILED" >&2
fi
exit $failed
