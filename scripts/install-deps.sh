#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
set -euo pipefail
packages=(cmake g++ make pkg-config git libgtest-dev googletest qt6-base-dev qt6-base-dev-tools
          libgl-dev fonts-wqy-microhei iproute2 util-linux xvfb xauth clang-format dpkg-dev
          clang libclang-rt-14-dev libcli11-dev nlohmann-json3-dev)
# The Windows programs (make windows) and Wine to run them (make windows-test).
packages+=(g++-mingw-w64-x86-64-posix wine64)
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
