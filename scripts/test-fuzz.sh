#!/usr/bin/env bash
# Hostile input: every fuzz target for about 20 s (scripts/fuzz.sh), then every file of
# tests/data/hostile/ through tessaly-batch, alone and mixed with good pictures. A file
# that crashes the image library or declares a huge picture must fail on its own, with
# the run's summary printed, while every good file converts; the mixed run must stay
# within seconds and 1 GB for the whole process tree.
#
#   TESSALY_FUZZ_SECONDS  seconds per fuzz target (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

fail() {
  echo "test-fuzz: FAILED: $*" >&2
  exit 1
}

./scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-20}"

echo "-- tessaly-batch over tests/data/hostile"
cmake --preset native >/dev/null
cmake --build --preset native --target tessaly-batch >/dev/null
batch="$root/build/native/tessaly-batch"
tmp=$(mktemp -d /tmp/tessaly-hostile.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
filter="jpg,jpeg,png,gif,bmp,webp,tif,pcx,psd,dat,bin"

for file in tests/data/hostile/*; do
  name=$(basename "$file")
  mkdir -p "$tmp/one"
  rm -rf "${tmp:?}/one/"*
  cp "$file" "$tmp/one/"
  status=0
  timeout 120 "$batch" --config "$tmp/Config.dat" --filter "$filter" --out-mode suffix --on-error continue \
    "$tmp/one/$name" >"$tmp/out.log" 2>&1 || status=$?
  [ "$status" -le 1 ] || fail "$name: tessaly-batch exited with $status: $(tail -3 "$tmp/out.log")"
  grep -q '^Done: ' "$tmp/out.log" || fail "$name: no summary line: $(tail -3 "$tmp/out.log")"
  echo "$name: $(grep '^Done: ' "$tmp/out.log")"
done

echo "-- good pictures mixed with every hostile file"
mixed="$tmp/mixed"
mkdir -p "$mixed"
cp tests/data/hostile/* "$mixed/"
good=0
for i in 1 2 3 4 5 6; do
  convert -size 640x480 plasma:fractal "$mixed/good-$i.jpg" 2>/dev/null || convert -size 640x480 gradient:red-blue "$mixed/good-$i.jpg"
  convert -size 300x200 gradient:blue-white "$mixed/good-png-$i.png"
  good=$((good + 2))
done
status=0
# Peak memory of the whole tree (tessaly-batch and its worker), sampled every 10 ms.
python3 - "$batch" "$tmp/mixed.log" "$tmp/peak" --config "$tmp/Config.dat" --filter "$filter" --out-mode suffix \
  --on-error continue "$mixed" <<'PY' || status=$?
import os, subprocess, sys, time
batch, log, peakfile, args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
def tree_rss(pid):
    total, todo = 0, [pid]
    while todo:
        p = todo.pop()
        try:
            with open(f"/proc/{p}/status") as f:
                total += next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
            with open(f"/proc/{p}/task/{p}/children") as f:
                todo += [int(c) for c in f.read().split()]
        except (OSError, StopIteration):
            pass
    return total
start = time.monotonic()
with open(log, "w") as out:
    proc = subprocess.Popen([batch] + args, stdout=out, stderr=subprocess.STDOUT)
    peak = 0
    while proc.poll() is None:
        peak = max(peak, tree_rss(proc.pid))
        time.sleep(0.01)
open(peakfile, "w").write(f"{peak} {time.monotonic() - start:.2f}\n")
sys.exit(proc.returncode)
PY
read -r peak seconds <"$tmp/peak"
summary=$(grep '^Done: ' "$tmp/mixed.log" || true)
echo "mixed run: $summary; exit $status; peak $((peak / 1024)) MB for the process tree; $seconds s"
[ -n "$summary" ] || fail "the mixed run printed no summary: $(tail -5 "$tmp/mixed.log")"
[ "$status" -eq 1 ] || fail "the mixed run exited with $status, not 1"
converted=$(sed -nE 's/^Done: ([0-9]+) converted.*/\1/p' <<<"$summary")
for i in 1 2 3 4 5 6; do
  [ -s "$mixed/good-${i}_c.jpg" ] || fail "good-$i.jpg was not converted"
  [ -s "$mixed/good-png-${i}_c.jpg" ] || fail "good-png-$i.png was not converted"
done
[ "$converted" -ge "$good" ] || fail "only $converted of $good good pictures converted"
for name in huge_header.bmp huge_header.pcx huge_header.png; do
  grep -q "^Ошибка выполнения преобразования: $name" "$tmp/mixed.log" || fail "$name was not reported"
done
# The crash reproducers crash only while their over-read runs off the worker's heap: each
# is either reported or converted (a crash in a worker that served others is tried again in
# a fresh one), never the end of the run.
for name in thirdparty_freeimage_exif_ifdcount_segv thirdparty_freeimage_psd_heap_overflow; do
  grep -q "^Ошибка выполнения преобразования: $name" "$tmp/mixed.log" || [ -s "$mixed/${name}_c.jpg" ] ||
    fail "$name was neither reported nor converted"
done
[ "$peak" -lt $((1024 * 1024)) ] || fail "the mixed run took $((peak / 1024)) MB"
# Only a bound that says "ended by itself": the figure above is the measurement.
awk -v s="$seconds" 'BEGIN { exit !(s < 60) }' || fail "the mixed run took $seconds s"
echo "test-fuzz: all fuzz targets clean and every hostile file handled."
