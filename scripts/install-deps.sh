#!/usr/bin/env bash
# Installs the Debian packages that Quillon's build, tests, demo and package need, when they are
# missing: every one of them is named here, and scripts/check-deps.sh checks that nothing the
# build, the scripts or the tests call comes from a package that is not (or from Debian's base).
#
#   install-deps.sh [demo|all|windows]      (default: all)
#   install-deps.sh --list [demo|all|windows]   only prints the packages of that group
#
# "demo" is what `make demo` needs (the program and the simulator, built and run in a private
# network, on a virtual screen when there is no display); "all" adds the tests, the house rules,
# the Debian package and its check, and the fuzzers; "windows" adds the cross-compiler of the
# Windows programs, the installer's compiler, and Wine, which runs their tests.
set -euo pipefail

# The build of the program and the simulator, and their run.
demo=(cmake g++ make pkg-config git qt6-base-dev qt6-base-dev-tools libgl-dev fonts-arphic-uming
      fonts-wqy-microhei iproute2 util-linux xvfb xauth libcli11-dev nlohmann-json3-dev)
# GoogleTest; the house rules (clang-format); the Debian package (cpack calls dpkg-shlibdeps and
# file) and its check (groff renders the man pages); clang with its sanitizer runtimes and
# libFuzzer, for the sanitizer builds and the fuzzers.
tests=(libgtest-dev googletest clang-format dpkg-dev file groff-base clang libclang-rt-14-dev)
# The Windows programs (make windows) with their installer (NSIS), and Wine to run them (make
# windows-test) with its own fonts, which Debian ships apart.
windows=(g++-mingw-w64-x86-64-posix nsis wine64 fonts-wine)

list=0
if [ "${1:-}" = "--list" ]; then
  list=1
  shift
fi
case "${1:-all}" in
  demo) packages=("${demo[@]}") ;;
  all) packages=("${demo[@]}" "${tests[@]}") ;;
  windows) packages=("${demo[@]}" "${tests[@]}" "${windows[@]}") ;;
  *) echo "usage: install-deps.sh [--list] [demo|all|windows]" >&2; exit 2 ;;
esac
if [ $list -eq 1 ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
# sudo does not pass the environment on, so the front end goes on the command line itself.
run=(env DEBIAN_FRONTEND=noninteractive)
[ "$(id -u)" -eq 0 ] || run=(sudo "${run[@]}")
"${run[@]}" apt-get update -qq
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
