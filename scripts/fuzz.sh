#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan, UBSan) and runs every fuzz target for
# SECONDS each (default 20), or only the targets whose names contain FILTER. Each target
# starts from its corpus in tests/fuzz/corpus/<target>/ (read only) and keeps what it
# finds in build/fuzz/corpus/<target>/; a crash leaves its input in
# build/fuzz/artifacts/<target>/ and fails the script. Prints executions and coverage.
#
#   scripts/fuzz.sh [SECONDS] [FILTER]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
filter=${2:-}
./scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

status=0
for source in tests/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  [[ -z "$filter" || "$target" == *"$filter"* ]] || continue
  work="build/fuzz/corpus/$target"
  artifacts="build/fuzz/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  log="build/fuzz/$target.log"
  # One process, no fork: the figures at the end are the whole run's.
  if "build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$artifacts/" "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    corpus=$(ls "$work" | wc -l)
    echo "fuzz: $target clean: $runs executions in ${seconds} s, $cov, $corpus inputs in its working corpus"
  else
    echo "fuzz: $target FAILED; input in $artifacts, log $log:" >&2
    grep -E 'ERROR|SUMMARY|deadly|==[0-9]+==' "$log" | head -20 >&2 || tail -20 "$log" >&2
    status=1
  fi
done
exit $status
