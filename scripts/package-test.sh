#!/usr/bin/env bash
# Checks the Debian package made by `make package`: unpacks it into a scratch root, checks what
# it holds, and starts the installed program offscreen inside a private network, where it must
# come up, bind UDP port 1901 and keep running until it is told to stop.
#
#   scripts/package-test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--inside" ]; then
  build=$(cd "${1:-build}" && pwd)
  deb=$(ls -t "$build"/quillon_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || { echo "package-test: no quillon_*.deb in $build (make package)" >&2; exit 1; }
  root=$(mktemp -d -t quillon-root.XXXXXX)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  echo "package-test: $(basename "$deb") unpacked into a scratch root"
  for f in usr/bin/quillon usr/bin/quillon-cli usr/bin/quillon-devsim \
           usr/share/applications/quillon.desktop \
           usr/share/icons/hicolor/scalable/apps/quillon.svg usr/share/man/man1/quillon.1.gz \
           usr/share/man/man1/quillon-cli.1.gz usr/share/man/man1/quillon-devsim.1.gz \
           usr/share/bash-completion/completions/quillon-cli; do
    [ -e "$root/$f" ] || { echo "package-test: missing /$f" >&2; exit 1; }
  done
  if readelf -d "$root/usr/bin/quillon" | grep -q -E 'RPATH|RUNPATH'; then
    echo "package-test: the installed program still points into the build tree" >&2
    exit 1
  fi
  dpkg-deb -f "$deb" Depends | grep -q 'fonts-arphic-uming, fonts-wqy-microhei | fonts-noto-cjk' ||
    { echo "package-test: no CJK font dependency" >&2; exit 1; }
  gzip -dc "$root/usr/share/man/man1/quillon.1.gz" | grep -q '^\.TH QUILLON 1' ||
    { echo "package-test: quillon.1 is not a man page" >&2; exit 1; }
  # The program's Chinese button names render in a UTF-8 locale, without a missing character.
  for page in quillon:搜索 quillon-cli:导出参数; do
    text=$(gzip -dc "$root/usr/share/man/man1/${page%%:*}.1.gz" |
      LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww 2>"$root/groff.err") || true
    if ! grep -q "${page#*:}" <<<"$text" || [ -s "$root/groff.err" ]; then
      echo "package-test: ${page%%:*}.1 does not render \"${page#*:}\" in a UTF-8 locale:" >&2
      cat "$root/groff.err" >&2
      exit 1
    fi
  done
  "$root/usr/bin/quillon-devsim" --help | grep -q -- '--device' ||
    { echo "package-test: the installed simulator does not start" >&2; exit 1; }
  "$root/usr/bin/quillon-cli" apply --help | grep -q -- '--ip-from' ||
    { echo "package-test: the installed command-line tool does not start" >&2; exit 1; }
  # The completion asks the installed program for the field names.
  completion=$(PATH="$root/usr/bin:$PATH" bash -c 'source "$1"
    COMP_WORDS=(quillon-cli set 00E04C3A1B01 rs485.ba); COMP_CWORD=3; _quillon_cli
    echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/quillon-cli")
  [ "$completion" = "rs485.baud=" ] ||
    { echo "package-test: the bash completion offers '$completion' for rs485.ba" >&2; exit 1; }
  "$here/netns-run.sh" "$root/usr/bin/quillon-devsim" "$0" --inside "$root"
  exit
fi

# On the PC side of the private network.
root=$2
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts/truetype/wqy \
  "$root/usr/bin/quillon" >/tmp/quillon-package-test.log 2>&1 &
pid=$!
bound=0
for _ in $(seq 100); do
  kill -0 $pid 2>/dev/null || break
  # 1901 is 076D: the receive socket on 0.0.0.0:1901.
  if grep -q ':076D ' /proc/net/udp; then bound=1; break; fi
  sleep 0.05
done
sleep 1
if ! kill -0 $pid 2>/dev/null; then
  echo "package-test: the installed program ended by itself:" >&2
  cat /tmp/quillon-package-test.log >&2
  exit 1
fi
kill -TERM $pid
wait $pid 2>/dev/null || true
[ $bound -eq 1 ] || { echo "package-test: the installed program did not bind port 1901" >&2; exit 1; }
echo "package-test: the installed program came up offscreen, bound UDP 1901 and stopped on request"
