#!/usr/bin/env bash
# Solves the Patterson set (tests/data/pat, instances 1..110) at deadline
# offsets 0 and 5 with the benchmark settings, writing one CSV per offset and
# printing each run's summary (and peak memory, when GNU time is installed).
#
# Usage: bench/run-baseline.sh [BUILD_DIR [OUT_DIR]]   (defaults: build, bench)
# Build BUILD_DIR in Release first; run nothing else heavy meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
out=${2:-bench}
batch=$build/tools/rcpspdc-batch
if [ ! -x "$batch" ]; then
  echo "run-baseline: $batch not found; build it first (cmake --build $build)" >&2
  exit 2
fi
mkdir -p "$out"
timer=()
if [ -x /usr/bin/time ]; then timer=(/usr/bin/time -f 'peak memory: %M KiB, wall: %e s, user: %U s'); fi
for offset in 0 5; do
  echo "== offset $offset"
  # The flows the baseline was first drawn with (--seed 1 as version 1.1 drew it).
  "${timer[@]}" "$batch" --engine delaying --problem pat --first 1 --last 110 --dir tests/data/pat \
    --cash-flows "bench/baseline_offset$offset.info.out" --offset "$offset" --rate 0.01 --time-limit 5 \
    --jobs 1 --csv "$out/baseline_offset$offset.csv" || true
done
