#!/bin/bash
# Node rate of two builds of the learning bench, side by side: each row runs
# under both at once, one per core, for a fixed number of nodes of the search
# alone (--plain), the two swapping cores every round; prints per row and in
# total the task-clock seconds of each and their ratio (B over A). Running
# the two at once puts both under the same load, which a shared machine
# varies by more than the differences worth measuring. Needs perf (Debian
# package linux-perf).
#
#   bench/node-rate.sh A B NODES ROUNDS "SET ROW OFFSET" ...
#   e.g. bench/node-rate.sh old/rcpspdc-learning-bench build/bench/rcpspdc-learning-bench \
#          200000 4 "j60 45 0" "j90 109 0" "rg30 15 10" "j120 112 0"
set -euo pipefail
A=$1
B=$2
NODES=$3
ROUNDS=$4
shift 4
rows=("$@")
data=$(cd "$(dirname "$0")/../tests/data" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
run() {  # BIN SET ROW OFFSET: task-clock milliseconds
  perf stat -x, -e task-clock "$1" "$data/$2" "$2_" "$3" "$3" --offset "$4" --nodes "$NODES" \
    --plain 2>&1 >/dev/null | grep task-clock | cut -d, -f1
}
for round in $(seq "$ROUNDS"); do
  for row in "${rows[@]}"; do
    read -r set number offset <<<"$row"
    if [ $((round % 2)) = 0 ]; then first=$B; second=$A; else first=$A; second=$B; fi
    run "$first" "$set" "$number" "$offset" >"$out/first" &
    run "$second" "$set" "$number" "$offset" >"$out/second"
    wait
    if [ "$first" = "$A" ]; then a=$(cat "$out/first"); b=$(cat "$out/second");
    else a=$(cat "$out/second"); b=$(cat "$out/first"); fi
    echo "$set-$number $a $b"
  done
done | awk '{a[$1] += $2; b[$1] += $3; A += $2; B += $3; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
  END { for (k = 1; k <= n; ++k) printf "%s %.2f %.2f %.3f\n", order[k], a[order[k]] / 1e3, b[order[k]] / 1e3, b[order[k]] / a[order[k]];
        printf "total %.2f %.2f %.3f\n", A / 1e3, B / 1e3, B / A }'
