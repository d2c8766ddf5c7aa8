#!/usr/bin/env bash
# Runs every harness in FUZZDIR for SECONDS each on its corpus (the seeds
# in FUZZDIR/seeds/<name>, grown in FUZZDIR/corpus/<name>). A harness that
# finds a fault leaves the input in FUZZDIR/findings and its log in
# FUZZDIR/<name>.log; the others still run, and the script then fails.
set -uo pipefail
fuzzdir=${1:?usage: run-fuzzers.sh FUZZDIR SECONDS}
seconds=${2:-60}
mkdir -p "$fuzzdir/findings"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for harness in "$fuzzdir"/fuzz_*; do
  [ -f "$harness" ] && [ -x "$harness" ] || continue
  name=$(basename "$harness"); name=${name#fuzz_}
  corpus="$fuzzdir/corpus/$name"
  mkdir -p "$corpus" "$fuzzdir/seeds/$name"
  echo "== $name: ${seconds}s"
  if "$harness" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$fuzzdir/findings/$name-" "$corpus" "$fuzzdir/seeds/$name" >"$fuzzdir/$name.log" 2>&1; then
    grep -E '^#[0-9]+.*DONE' "$fuzzdir/$name.log" | tail -n 1
  else
    grep -E -A 30 '^==[0-9]+==|property failed|SUMMARY' "$fuzzdir/$name.log" | head -n 60
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "faults found by: ${failed[*]} (inputs in $fuzzdir/findings)"
  exit 1
fi
