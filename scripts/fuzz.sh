#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and runs each for a set
# time: the receive path, the dictionary reply parser and the parameter-file import.
#
#   scripts/fuzz.sh [build folder] [seconds per target] [target...]
#
# FUZZ_JOBS=N runs N fuzzing processes per target side by side (libFuzzer's fork mode), for a
# long run on a machine with N cores to spare.
#
# Each run starts from the seeds, the inputs kept under tests/data/fuzz-regressions/<target>/ and
# the corpus the earlier runs in the same build folder grew. An input that breaks a rule or
# crashes is copied into tests/data/fuzz-regressions/<target>/, where the unit tests replay it,
# and the script fails. The last lines give, per target, the executions, their rate and the
# coverage reached.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
jobs=${FUZZ_JOBS:-1}
shift $(( $# < 2 ? $# : 2 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(receive_path dictionary_reply param_import)

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (make deps installs it)" >&2
  exit 1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON
fi
cmake --build "$build" -j "$(nproc)"

work=$build/fuzz
rm -rf "$work/seeds"
"$build/tests/fuzz/quillon_fuzz_seeds" "$work/seeds" >/dev/null

failed=0
summary=()
for target in "${targets[@]}"; do
  kept=tests/data/fuzz-regressions/$target
  corpus=$work/corpus/$target
  findings=$work/findings/$target
  log=$work/$target.log
  mkdir -p "$corpus" "$findings" "$kept"
  echo "fuzz: $target for ${seconds} s (log: $log)"
  # A finding stops the run; libFuzzer writes it under $findings.
  fork=()
  [ "$jobs" -le 1 ] || fork=(-fork="$jobs")
  if "$build/tests/fuzz/fuzz_$target" "${fork[@]}" -max_total_time="$seconds" -timeout=20 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
       "$corpus" "$work/seeds/$target" "$kept" >"$log" 2>&1; then
    :
  else
    failed=1
    for finding in "$findings"/*; do
      [ -f "$finding" ] || continue
      cp "$finding" "$kept/"
      echo "fuzz: $target: finding kept as $kept/$(basename "$finding")" >&2
    done
    grep -E "ERROR|$target: |SUMMARY" "$log" | head -5 >&2 || true
  fi
  if [ "$jobs" -le 1 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  else
    # Fork mode: the parent's last progress line counts every process's executions.
    last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -1 || true)
    runs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
    took=$(sed -nE 's/.* time: ([0-9]+)s.*/\1/p' <<<"$last")
    rate=$([ -n "$runs" ] && [ "${took:-0}" -gt 0 ] && echo $((runs / took)) || echo "?")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' <<<"$last" || true)
  fi
  summary+=("$(printf '%-17s %12s executions %7s exec/s  %s' "$target" "${runs:-?}" "${rate:-?}" \
    "${cov:-cov: ?}")")
done
printf '%s\n' "${summary[@]}"
exit $failed
