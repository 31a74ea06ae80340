#!/usr/bin/env bash
# Re-solves the quick part of the benchmark baseline and compares every
# deterministic column (activities, resources, deadline, created nodes,
# branched nodes, value, status) with bench/baseline_offset{0,5}.csv, on the
# cash flows those runs drew (bench/baseline_offset{0,5}.info.out).
#
# Usage: scripts/compare-bench.sh [BUILD_DIR]   (default: build)
#
# The quick part: every row whose search completed (optimal or infeasible) in
# at most QUICK_SECONDS seconds (default 0.5) when the baseline was recorded,
# and every row of an instance that could not be read. Rows stopped by the
# time limit depend on timing and are never compared. Exits 1 on any
# difference, 2 when the batch runner or a baseline file is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
batch=$build/tools/rcpspdc-batch
quick=${QUICK_SECONDS:-0.5}
if [ ! -x "$batch" ]; then
  echo "compare-bench: $batch not found; build it first (cmake --build $build)" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints "number<TAB>row up to the status, without seconds<TAB>status<TAB>seconds"
# per data row. Only the status may hold commas before it, inside quotes.
# It is the last field of the baselines; newer files add the bound, the
# seconds to the best schedule and the run's settings behind it, which are
# not compared.
split_rows() {
  awk '
    NR > 1 {
      rest = $0; head = ""
      for (f = 1; f <= 8; ++f) {
        at = index(rest, ","); field[f] = substr(rest, 1, at - 1); rest = substr(rest, at + 1)
        if (f != 8) head = head field[f] ","
      }
      if (substr(rest, 1, 1) == "\"") {
        status = ""
        for (i = 2; i <= length(rest); ++i) {
          c = substr(rest, i, 1)
          if (c == "\"" && substr(rest, i + 1, 1) == "\"") { status = status c; ++i; continue }
          if (c == "\"") break
          status = status c
        }
        raw = substr(rest, 1, i)
      } else {
        at = index(rest, ","); raw = at ? substr(rest, 1, at - 1) : rest; status = raw
      }
      print field[1] "\t" head raw "\t" status "\t" field[8]
    }' "$1"
}

differences=0
compared=0
for offset in 0 5; do
  baseline=bench/baseline_offset$offset.csv
  if [ ! -f "$baseline" ]; then
    echo "compare-bench: $baseline is missing" >&2
    exit 2
  fi
  split_rows "$baseline" | awk -F'\t' -v quick="$quick" '
    ($3 == "optimal" || $3 == "infeasible") && $4 + 0 <= quick + 0 { print; next }
    $3 != "optimal" && $3 != "infeasible" && $3 != "time limit" { print }' >"$work/expected$offset"
  # One run per range of consecutive numbers.
  cut -f1 "$work/expected$offset" | awk '
    NR == 1 { first = last = $1; next }
    $1 == last + 1 { last = $1; next }
    { print first, last; first = last = $1 }
    END { if (NR > 0) print first, last }' >"$work/ranges$offset"
  : >"$work/actual$offset"
  while read -r first last; do
    # The baselines were drawn when every instance of a run took the flows of
    # --seed 1 alone; their flows are kept beside them and replayed.
    "$batch" --engine delaying --problem pat --first "$first" --last "$last" --dir tests/data/pat \
      --cash-flows "bench/baseline_offset$offset.info.out" --offset "$offset" --rate 0.01 \
      --time-limit 60 --csv "$work/run.csv" >/dev/null 2>&1 || true
    split_rows "$work/run.csv" >>"$work/actual$offset"
  done <"$work/ranges$offset"
  while IFS=$'\t' read -r number row _; do
    compared=$((compared + 1))
    actual=$(awk -F'\t' -v n="$number" '$1 == n { print $2 }' "$work/actual$offset")
    if [ "$actual" != "$row" ]; then
      differences=$((differences + 1))
      echo "offset $offset, instance $number differs:"
      echo "  baseline: $row"
      echo "  now:      ${actual:-(no row)}"
    fi
  done <"$work/expected$offset"
done
if [ "$differences" -ne 0 ]; then
  echo "compare-bench: $differences of $compared rows differ from the baseline"
  exit 1
fi
echo "compare-bench: all $compared rows agree with the baseline"
