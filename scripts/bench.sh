#!/usr/bin/env bash
# Runs every benchmark program of the default build, one after the other; figures go to stdout.
# bench/README.md explains each program and records the figures of a reference run.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/bench
# The benchmarks write to the simulator; their service record goes to a folder of its own.
export XDG_STATE_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_STATE_HOME"' EXIT
run() {
  local program=$1; shift
  if [ -x "$bench/$program" ]; then
    echo "=== $program $*"
    "$bench/$program" "$@"
    echo
  else
    echo "=== $program: not built (skipped)"
  fi
}
run bench_driver
run bench_network
run bench_ini
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} run bench_chart
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} run bench_app_device
