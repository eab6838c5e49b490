#!/usr/bin/env bash
# Hunts for tests that pass or fail by the luck of timing: runs the chosen tests N times while a
# busy loop runs on every core beside them, then names each test that failed with how often.
#
#   repeat-tests.sh N [ctest options...]        e.g. repeat-tests.sh 20 -j 4 -L e2e
#
# The tests are those of an existing build folder (BUILD, `build` by default; build them first,
# e.g. with `make build`). LOAD sets the number of busy loops (every core by default; 0 for none).
# Unlike scripts/run-tests.sh, a failure does not stop the hunt: every run runs whole, and the
# output of each run that failed is kept. The exit status is 0 when no test failed in any run.
set -euo pipefail

usage() {
  sed -n 4p "$0" | sed 's/^# *//' >&2
  exit 2
}
[ $# -ge 1 ] || usage
runs=$1
shift
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
load=${LOAD:-$(nproc)}
[[ "$load" =~ ^[0-9]+$ ]] || usage

chosen=$(cd "$build" && ctest -N "$@" | sed -n 's/^ *Test *#[0-9]*: \([^ ]*\).*/\1/p')
if [ -z "$chosen" ]; then
  echo "repeat-tests: no test in $build matches: $*" >&2
  exit 2
fi
# The end-to-end cases make a private network each; without one here they would all fail alike.
if grep -q '^e2e\.' <<<"$chosen"; then
  "$root/scripts/netns-run.sh" --check
fi

logs=$(mktemp -d -t quillon-repeat.XXXXXX)
busy=()
stop_load() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy=()
}
trap stop_load EXIT
trap 'exit 130' INT TERM
for _ in $(seq "$load"); do
  (while :; do :; done) &
  busy+=($!)
done

declare -A failures=() timeouts=()
failed_runs=0
start=$SECONDS
echo "repeat-tests: $runs runs of $(wc -l <<<"$chosen") tests in $build, beside $load busy loops"
for run in $(seq "$runs"); do
  out=$logs/run-$run.log
  status=0
  # --timeout only limits a test without a limit of its own, which there should be none of.
  (cd "$build" && ctest --output-on-failure --timeout 600 "$@") >"$out" 2>&1 || status=$?
  # ctest marks a test that ran out of time "***Timeout" and one that failed "***Failed" (or
  # "Exception" for a crash).
  names=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*\(Failed\|Exception\|Timeout\).*/\1/p' \
    "$out")
  for name in $(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*Timeout.*/\1/p' \
    "$out"); do
    timeouts[$name]=$((${timeouts[$name]:-0} + 1))
  done
  for name in $names; do failures[$name]=$((${failures[$name]:-0} + 1)); done
  if [ $status -ne 0 ]; then
    failed_runs=$((failed_runs + 1))
    # A run that failed without naming a test (ctest itself, a build folder gone) counts too.
    [ -n "$names" ] || failures[ctest-exit-$status]=$((${failures[ctest-exit-$status]:-0} + 1))
    echo "run $run/$runs: FAILED: $(echo ${names:-ctest exit $status}) (output: $out)"
  else
    rm -f "$out"
    echo "run $run/$runs: passed"
  fi
done
stop_load

echo
echo "repeat-tests: $runs runs in $((SECONDS - start)) s, $failed_runs of them with failures"
if [ ${#failures[@]} -eq 0 ]; then
  rmdir "$logs"
  echo "repeat-tests: no test failed"
  exit 0
fi
for name in $(printf '%s\n' "${!failures[@]}" | sort); do
  hung=${timeouts[$name]:-0}
  echo "  $name: failed ${failures[$name]} of $runs runs$([ "$hung" -eq 0 ] || echo ", $hung of them hung")"
done
echo "repeat-tests: the failed runs' output is in $logs"
exit 1
