#!/usr/bin/env bash
# Runs the host's browser tests and the journeys several times in a row while
# one busy loop per core keeps the machine loaded, as a shared build machine
# is, and prints each run's result and duration and how many runs passed.
#   tests/e2e/repeat_under_load.sh [runs]      (10 runs unless given)
# LUMOREL_HOST names the host binary, as for the tests; the logs stay in a
# temporary folder that the last line names.
set -uo pipefail
runs=${1:-10}
here=$(cd "$(dirname "$0")" && pwd)
export LUMOREL_HOST=${LUMOREL_HOST:-$here/../../build/host/lumorel}
cores=$(nproc)
load=()
for ((i = 0; i < cores; ++i)); do
  yes > /dev/null &
  load+=($!)
done
trap 'kill "${load[@]}" 2>/dev/null' EXIT
logs=$(mktemp -d "${TMPDIR:-/tmp}/lumorel-e2e-load-XXXXXX")
passed=0
cd "$here"
for ((run = 1; run <= runs; ++run)); do
  start=$(date +%s)
  log="$logs/run$run.log"
  node --test host.test.mjs > "$log" 2>&1
  hostStatus=$?
  node --test journeys/*.test.mjs >> "$log" 2>&1
  journeysStatus=$?
  if [ "$hostStatus" -eq 0 ] && [ "$journeysStatus" -eq 0 ]; then
    passed=$((passed + 1))
    result=passed
  else
    result="FAILED ($(grep -E '^not ok' "$log" | tr '\n' ' '))"
  fi
  echo "run $run: $result in $(($(date +%s) - start)) s"
done
echo "$passed of $runs runs passed with $cores busy loops on $cores cores; logs in $logs"
[ "$passed" -eq "$runs" ]
