#!/usr/bin/env bash
# Times `make test` (or another make target) from a fresh clone of this repository, as a new
# developer would run it, and prints the wall time, the CPU time (user + system, all processes)
# and the load average seen meanwhile, so that runs on a machine shared with other work can be
# compared by their CPU time too.
#
#   scripts/time-test.sh [REVISION] [TARGET]     (default: HEAD, test)
#
# The clone goes into a temporary folder that is removed afterwards (kept with KEEP=1).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
rev=${1:-HEAD}
target=${2:-test}
work=$(mktemp -d -t quillon-time.XXXXXX)
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
git clone -q "$src" "$work/q"
git -C "$work/q" checkout -q "$(git -C "$src" rev-parse "$rev")"
echo "time-test: make $target at $(git -C "$work/q" log -1 --format='%h %s') in $work/q"

# The load average every 5 s while the run goes on.
( while sleep 5; do cut -d' ' -f1 /proc/loadavg; done ) >"$work/load" &
sampler=$!
status=0
# bash's own `time`: wall, then the CPU time of make and every process it waited for.
TIMEFORMAT='%R %U %S'
{ time make -C "$work/q" "$target" >"$work/log" 2>&1 || status=$?; } 2>"$work/times"
kill $sampler 2>/dev/null || true
tail -n 15 "$work/log"
read -r wall user sys <"$work/times" || true
load=$(awk '{ s += $1; if ($1 > m) m = $1; n++ } END { if (n) printf "mean %.2f, max %.2f", s / n, m }' \
  "$work/load")
verdict=$([ $status -eq 0 ] && echo passed || echo "FAILED (exit $status)")
awk -v t="$target" -v v="$verdict" -v w="$wall" -v u="$user" -v s="$sys" -v l="${load:-?}" 'BEGIN {
  printf "time-test: make %s %s: wall %d min %02d s, CPU %d min %02d s (user %.0f s + sys %.0f s), load average %s\n",
    t, v, w / 60, w % 60, (u + s) / 60, (u + s) % 60, u, s, l }'
exit $status
