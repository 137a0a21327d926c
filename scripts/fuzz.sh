#!/usr/bin/env bash
# Runs each libFuzzer target of the fuzz build for FUZZ_SECONDS (default 600) on a scratch copy of
# its committed corpus, so new inputs do not land in the source tree unasked.
# New crashers are written to build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}
mkdir -p build-fuzz/findings
# target:corpus folder:dictionary (may be empty)
for entry in fuzz_ini_reader:ini:ini.dict fuzz_parameterdatei:parameterdatei:; do
  IFS=: read -r target corpus_name dictionary <<< "$entry"
  binary=build-fuzz/tests/fuzz/$target
  corpus=tests/fuzz/corpus/$corpus_name
  [ -x "$binary" ] || { echo "$target: not built (skipped)"; continue; }
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  cp -n "$corpus"/* "$work"/ 2>/dev/null || true
  dict=()
  [ -n "$dictionary" ] && dict=(-dict="tests/fuzz/$dictionary")
  echo "=== $target for ${seconds}s"
  "$binary" "${dict[@]}" -max_total_time="$seconds" -artifact_prefix=build-fuzz/findings/ "$work"
done
