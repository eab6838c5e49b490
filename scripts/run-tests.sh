#!/usr/bin/env bash
# Runs a build folder's tests with ctest and stops at the first one that fails or hangs, naming
# it. Every test carries a time limit of its own kind (tests/CMakeLists.txt); one that reaches
# it is stopped and reported as hung, and no further test starts.
#
#   run-tests.sh BUILD_DIR [ctest options...]      e.g. run-tests.sh build -j 2 -L e2e
set -euo pipefail
build=$1
shift
out=$(mktemp -t quillon-ctest.XXXXXX)
trap 'rm -f "$out"' EXIT

status=0
# --timeout is only the limit of a test without one of its own, which there should be none of.
(cd "$build" && ctest --output-on-failure --no-tests=error --stop-on-failure --timeout 600 "$@") \
  2>&1 | tee "$out" || status=$?
[ $status -eq 0 ] && exit 0

# ctest marks a test that ran out of time "***Timeout" and one that failed "***Failed" (or
# "Exception" for a crash).
hung=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*Timeout.*/\1/p' "$out")
failed=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*\(Failed\|Exception\).*/\1/p' \
  "$out")
echo >&2
if [ -n "$hung" ]; then
  for name in $hung; do
    echo "run-tests: STOPPED: $name hung and was stopped at its time limit ($build)." >&2
  done
elif [ -n "$failed" ]; then
  for name in $failed; do
    echo "run-tests: STOPPED at the first failure: $name ($build); its output is above." >&2
  done
else
  echo "run-tests: ctest failed in $build (exit $status); see above." >&2
fi
echo "run-tests: the remaining tests did not run. Run one alone with" \
  "'cd $build && ctest --output-on-failure -R NAME'." >&2
exit 1
