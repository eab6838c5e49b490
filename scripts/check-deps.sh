#!/usr/bin/env bash
# Names, within seconds, every program and file that the build, the tests, the demo or the
# Debian package call and that scripts/install-deps.sh does not provide, so that a missing
# dependency fails before a build instead of after it. Run first by `make test` and `make demo`.
#
#   check-deps.sh [demo|all|windows]      (default: all; the same groups as install-deps.sh)
#
# For each program or file below it asks dpkg which package it comes from, and checks that the
# package is one that install-deps.sh installs, one that those depend on, or part of Debian's
# base (Essential or of priority "required"), which every Debian 12 has. A program that is not
# there at all is named too. Passing on a developer's machine therefore means passing on a
# fresh one: a program that happens to be installed here counts only when install-deps.sh
# would bring it.
#
# A script, a CMake file or a test that starts calling a new program adds its line here, and its
# package to install-deps.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
group=${1:-all}
start=$(date +%s%N)

# program or absolute path (a glob) | who calls it or looks for it
demo_needs=(
  'cmake|make (configures and builds)'
  'make|the README'"'"'s commands'
  'c++|CMake (the C++ compiler)'
  'g++|CMake (the C++ compiler)'
  'ld|g++ (links)'
  'pkg-config|CMake find_package(Qt6) (the libraries Qt is built on)'
  '/usr/lib/qt6/libexec/moc|CMake (AUTOMOC)'
  '/usr/lib/qt6/libexec/rcc|CMake (AUTORCC, res/quillon.qrc)'
  '/usr/lib/*/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake|CMake find_package(Qt6 Widgets)'
  '/usr/lib/*/libGL.so|CMake find_package(Qt6) (Qt6Gui links OpenGL)'
  '/usr/lib/*/qt6/plugins/platforms/libqxcb.so|the window on an X display'
  '/usr/lib/*/qt6/plugins/platforms/libqoffscreen.so|the widget tests and the package check (offscreen)'
  '/usr/share/fonts/truetype/arphic/uming.ttc|the window (its CJK font), the widget tests and the Wine prefix'
  '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc|the window (its CJK font where AR PL UMing is missing) and the widget tests'
  'ip|scripts/netns-run.sh (the private network)'
  'unshare|scripts/netns-run.sh (the private network)'
  'nsenter|scripts/netns-run.sh, scripts/demo.sh and the simulator launcher of the tests'
  'mktemp|scripts/demo.sh'
  'xvfb-run|scripts/demo.sh without a display'
  'Xvfb|xvfb-run'
  'xauth|xvfb-run'
  'mcookie|xvfb-run'
  'getopt|xvfb-run'
  '/usr/share/cmake/CLI11/CLI11Config.cmake|CMake find_package(CLI11) (quillon-cli, quillon-devsim)'
  '/usr/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake|CMake find_package(nlohmann_json) (quillon-cli)'
)
test_needs=(
  'ctest|make test (runs the tests)'
  'cpack|make package'
  '/usr/lib/*/cmake/GTest/GTestConfig.cmake|CMake find_package(GTest)'
  '/usr/lib/*/cmake/Qt6Test/Qt6TestConfig.cmake|CMake find_package(Qt6 Test)'
  'git|scripts/check-style.sh (the tracked files)'
  'clang-format|scripts/check-style.sh and make format'
  'xargs|scripts/check-style.sh'
  'gzip|CMake (the man pages) and scripts/package-test.sh'
  'dpkg|cpack (the architecture)'
  'dpkg-shlibdeps|cpack (the package'"'"'s library dependencies)'
  'objdump|dpkg-shlibdeps'
  'file|cpack (CPackDeb looks at every file)'
  'strip|cpack (the installed programs are stripped)'
  'dpkg-deb|scripts/package-test.sh'
  'readelf|scripts/package-test.sh'
  'groff|scripts/package-test.sh (renders the man pages)'
  'preconv|scripts/package-test.sh (the man pages are UTF-8)'
  'bash|the end-to-end test that runs the README'"'"'s example'
  'timeout|make test (the package check'"'"'s time limit)'
  'clang++|the sanitizer builds of make test, and make fuzz'
  '/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.asan-x86_64.a|the sanitizer builds (clang'"'"'s ASan)'
  '/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.tsan-x86_64.a|the sanitizer builds (clang'"'"'s TSan)'
  '/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a|make fuzz (libFuzzer)'
)
windows_needs=(
  'x86_64-w64-mingw32-g++-posix|cmake/mingw-w64-x86_64.cmake (make windows)'
  'x86_64-w64-mingw32-gcc-posix|cmake/mingw-w64-x86_64.cmake (make windows)'
  'x86_64-w64-mingw32-windres|cmake/mingw-w64-x86_64.cmake (make windows)'
  '/usr/lib/wine/wine64|scripts/wine-test.sh (make windows-test)'
  '/usr/lib/wine/wineserver|scripts/wine-test.sh (make windows-test)'
  'makensis|cmake/windows.cmake (the installer, make windows)'
  '/usr/share/wine/fonts/tahoma.ttf|scripts/wine-prefix.sh (Wine'"'"'s own fonts in the prefix)'
)
case "$group" in
  demo) needs=("${demo_needs[@]}") ;;
  all) needs=("${demo_needs[@]}" "${test_needs[@]}") ;;
  windows) needs=("${demo_needs[@]}" "${test_needs[@]}" "${windows_needs[@]}") ;;
  *) echo "usage: check-deps.sh [demo|all|windows]" >&2; exit 2 ;;
esac

# The packages that install-deps.sh provides: the ones it names, all that they depend on
# (through Pre-Depends and Depends, any installed alternative or provider), and Debian's base.
mapfile -t named < <("$here/install-deps.sh" --list "$group")
provided=$(dpkg-query -W -f='${db:Status-Abbrev}\t${Package}\t${Essential}\t${Priority}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
  awk -F'\t' -v named="${named[*]}" '
    function bare(word) { sub(/^ +/, "", word); sub(/[ (:].*$/, "", word); return word }
    $1 ~ /^ii/ {
      installed[$2] = 1; deps[$2] = $6
      n = split($5, prov, ","); for (i = 1; i <= n; i++) providers[bare(prov[i])] = providers[bare(prov[i])] " " $2
      if ($3 == "yes" || $4 == "required") queue[++tail] = $2
    }
    END {
      n = split(named, list, " "); for (i = 1; i <= n; i++) queue[++tail] = list[i]
      for (head = 1; head <= tail; head++) {
        p = queue[head]
        if (p in seen) continue
        seen[p] = 1
        if (!(p in installed)) continue
        groups = split(deps[p], group, ",")
        for (g = 1; g <= groups; g++) {
          alts = split(group[g], alt, "|")
          for (a = 1; a <= alts; a++) {
            d = bare(alt[a]); if (d == "") continue
            if (d in installed) queue[++tail] = d
            m = split(providers[d], real, " "); for (r = 1; r <= m; r++) queue[++tail] = real[r]
          }
        }
      }
      for (p in seen) if (p in installed) print p
    }')

# Where each need is on this machine; dpkg knows a file by the path its package installed, so
# both sides of Debian's merged /usr are tried, and the target of a symbolic link.
declare -A found
paths=()
for need in "${needs[@]}"; do
  what=${need%%|*}
  if [[ $what == /* ]]; then
    path=$(compgen -G "$what" | head -n 1 || true)
  else
    path=$(command -v "$what" || true)
  fi
  [ -n "$path" ] || continue
  found[$what]=$path
  real=$(readlink -f "$path")
  for p in "$path" "$real"; do
    paths+=("$p")
    case $p in
      /usr/bin/* | /usr/sbin/* | /usr/lib/*) paths+=("${p#/usr}") ;;
      /bin/* | /sbin/* | /lib/*) paths+=("/usr$p") ;;
    esac
  done
done
declare -A owner
while IFS= read -r line; do
  package=${line%%: *}
  package=${package%%,*}
  owner[${line#*: }]=${package%%:*}
done < <(dpkg-query -S "${paths[@]}" 2>/dev/null || true)

problems=0
for need in "${needs[@]}"; do
  what=${need%%|*}
  who=${need#*|}
  path=${found[$what]:-}
  if [ -z "$path" ]; then
    echo "check-deps: MISSING $what (needed by $who): not installed, and scripts/install-deps.sh does not install it"
    problems=$((problems + 1))
    continue
  fi
  real=$(readlink -f "$path")
  package=
  for p in "$path" "$real" "${path#/usr}" "/usr$path" "${real#/usr}" "/usr$real"; do
    package=${owner[$p]:-}
    [ -z "$package" ] || break
  done
  if [ -z "$package" ]; then
    echo "check-deps: MISSING $what (needed by $who): $path belongs to no Debian package"
    problems=$((problems + 1))
  elif ! grep -qx -- "$package" <<<"$provided"; then
    echo "check-deps: MISSING package $package (gives $what, needed by $who): scripts/install-deps.sh does not install it"
    problems=$((problems + 1))
  fi
done
took=$(( ($(date +%s%N) - start) / 1000000 ))
if [ $problems -gt 0 ]; then
  echo "check-deps: $problems of ${#needs[@]} dependencies are not provided by scripts/install-deps.sh ($group)." >&2
  echo "check-deps: add their packages to scripts/install-deps.sh (on a fresh Debian 12 they would be missing)." >&2
  exit 1
fi
echo "check-deps: all ${#needs[@]} programs and files that the $group steps call come from scripts/install-deps.sh or Debian's base (${took} ms)"
