#!/usr/bin/env bash
# Makes the Wine prefix that the Windows programs run in (WINEPREFIX), once, and gives it what a
# window needs: Wine's own fonts (Debian's Wine 8 leaves them out of a new prefix), Chinese glyphs
# through font links to AR PL UMing (which draws every GBK character a device's text holds, ℃
# too), WenQuanYi Micro Hei after it, and "宋体"/SimSun substituted by UMing, boxes that close
# at once (windows not managed by the X window manager), and windows without an X display too
# (the null display driver stands in), as the tests in CI need. A prefix made by an older version
# of this script is brought up to date. Called by scripts/wine-test.sh and
# scripts/screenshots.sh with the wineserver of the prefix stopped; it stops it again before it
# returns.
#
#   WINEPREFIX=DIR scripts/wine-prefix.sh
set -euo pipefail

: "${WINEPREFIX:?wine-prefix.sh: set WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES='winemenubuilder.exe=d;mscoree=d;mshtml=d'
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
wine=(env LC_ALL=C.UTF-8 "$wine64")
version=3  # of the settings below
stamp=$WINEPREFIX/.quillon-prefix
[ "$(cat "$stamp" 2>/dev/null)" = "$version" ] && exit 0

start=$(date +%s%N)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  (unset DISPLAY; "${wine[@]}" wineboot --init >/dev/null 2>&1)
  "$wineserver" -w
fi

fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
cp -f /usr/share/wine/fonts/*.ttf "$fonts/"

song=/usr/share/fonts/truetype/arphic/uming.ttc
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[ -f "$song" ] || { echo "wine-prefix: $song is missing (package fonts-arphic-uming)" >&2; exit 1; }
[ -f "$cjk" ] || { echo "wine-prefix: $cjk is missing (package fonts-wqy-microhei)" >&2; exit 1; }
link="$(basename "$song"),AR PL UMing CN\\0$(basename "$cjk"),WenQuanYi Micro Hei"
nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
reg() { (unset DISPLAY; "${wine[@]}" reg add "$@" /f >/dev/null 2>&1); }
for face in Tahoma "Tahoma Bold" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
  reg "$nt\\FontLink\\SystemLink" /v "$face" /t REG_MULTI_SZ /d "$link"
done
for face in 宋体 SimSun 新宋体 NSimSun; do
  reg "$nt\\FontSubstitutes" /v "$face" /t REG_SZ /d "AR PL UMing CN"
done
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
# Without an X display, the null driver.
reg 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null
"$wineserver" -w
echo "$version" >"$stamp"
echo "wine-prefix: $WINEPREFIX set up in $(( ($(date +%s%N) - start) / 1000000 )) ms"
