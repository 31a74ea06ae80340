#!/usr/bin/env bash
# Merges the CSV files of the shards of one rcpspdc-batch run (--shard I/N)
# into one CSV on standard output: the header once, then every row in order
# of instance number, as one unsharded run would have written them. A run
# over a grid (lists of --engine, --offset or --deadline-factor, --rate,
# --negative) writes one row per instance and grid point; a shard holds whole
# instances, so the rows of one instance stay in the grid's order.
#
# Usage: scripts/merge-shards.sh [--expect N] SHARD.csv... > merged.csv
#
# Exits 1 when the headers differ, rows were made with other settings (the
# seed or cash-flow file, makespans, time limit or node limit: the columns
# every row carries), the instances do not all have the same grid points in the same
# order (shards of different grids, or a shard stopped within an instance),
# an instance appears twice at a grid point (shards of different runs mixed
# up), or a file's last line
# was cut off (a stopped shard: finish it with --resume first); 2 when a file
# is missing or empty or the options are wrong. With --expect N (the N of --shard I/N) it also exits 1
# unless there are N files, each holding the numbers of one shard only, and
# the merged numbers follow each other without a gap: a missing shard would
# otherwise drop every Nth row.
set -euo pipefail

usage() {
  echo "usage: $0 [--expect N] SHARD.csv... > merged.csv" >&2
  exit 2
}
expect=""
if [ "${1-}" = "--expect" ]; then
  [ $# -ge 2 ] || usage
  expect=$2
  shift 2
  case $expect in '' | *[!0-9]* | 0*) echo "merge-shards: --expect needs a positive number" >&2; exit 2 ;; esac
fi
[ $# -gt 0 ] || usage
if [ -n "$expect" ] && [ $# -ne "$expect" ]; then
  echo "merge-shards: expected $expect shard files, got $#" >&2
  exit 1
fi
header=""
for file in "$@"; do
  if [ ! -s "$file" ]; then
    echo "merge-shards: $file is missing or empty" >&2
    exit 2
  fi
  if [ -n "$(tail -c 1 "$file")" ]; then
    echo "merge-shards: the last line of $file is cut off (finish that shard with --resume first)" >&2
    exit 1
  fi
  first=$(head -n 1 "$file")
  if [ -z "$header" ]; then
    header=$first
  elif [ "$first" != "$header" ]; then
    echo "merge-shards: $file has another header than $1" >&2
    exit 1
  fi
done
# Every row must have the header's fields and the settings of the first row
# (the grid's columns aside), and every instance the grid points of the first.
awk '
  function split_csv(line, f,   n, i, c, quoted, field) {
    n = 0; field = ""; quoted = 0
    for (i = 1; i <= length(line); ++i) {
      c = substr(line, i, 1)
      if (quoted && c == "\"" && substr(line, i + 1, 1) == "\"") { field = field c; ++i }
      else if (c == "\"") quoted = !quoted
      else if (c == "," && !quoted) { f[++n] = field; field = "" }
      else field = field c
    }
    f[++n] = field
    return n
  }
  FNR == 1 {
    columns = split_csv($0, name)
    for (k = 1; k <= columns; ++k) {
      option[k] = ""; grid[k] = 0
      if (name[k] ~ /^(seed|makespans)$/) option[k] = "--" name[k]
      if (name[k] == "cash_flow_file") option[k] = "--cash-flows"
      if (name[k] == "time_limit") option[k] = "--time-limit"
      if (name[k] == "node_limit") option[k] = "--node-limit"
      if (name[k] ~ /^(engine|offset|deadline_factor|rate|negative)$/) grid[k] = 1
    }
    next
  }
  {
    if (split_csv($0, f) != columns) {
      print "merge-shards: line " FNR " of " FILENAME " is not a row of the header (" columns " fields)" > "/dev/stderr"
      exit 1
    }
    point = ""
    for (k = 1; k <= columns; ++k) {
      if (grid[k]) point = point name[k] "=" f[k] " "
      if (option[k] == "") continue
      if (!(k in seen)) { seen[k] = f[k]; from[k] = FILENAME; continue }
      if (f[k] != seen[k]) {
        print "merge-shards: " FILENAME " holds rows made with another " option[k] " (" f[k] "; " from[k] ": " seen[k] ")" > "/dev/stderr"
        exit 1
      }
    }
    if ((f[1], point) in twice) {
      print "merge-shards: instance " f[1] " appears twice at " point > "/dev/stderr"
      exit 1
    }
    twice[f[1], point] = 1
    if (!(f[1] in points)) order[++instances] = f[1]
    points[f[1]] = points[f[1]] point "; "
  }
  END {
    for (i = 2; i <= instances; ++i)
      if (points[order[i]] != points[order[1]]) {
        print "merge-shards: instance " order[i] " has other grid points than instance " order[1] " (shards of other grids, or a shard stopped within an instance: finish it with --resume)" > "/dev/stderr"
        exit 1
      }
  }' "$@"
if [ -n "$expect" ]; then
  # Each file holds one residue of the numbers modulo N, and no two files the same.
  residues=$(for file in "$@"; do
    tail -n +2 "$file" | awk -F, -v f="$file" -v n="$expect" '
      NF > 0 { r = (($1 % n) + n) % n
               if (seen && r != first) { print "merge-shards: " f " holds rows of more than one shard" > "/dev/stderr"; exit 1 }
               first = r; seen = 1 }
      END { if (seen) print first }' || exit 1
  done)
  if [ -n "$(printf '%s\n' "$residues" | sort | uniq -d)" ]; then
    echo "merge-shards: two files hold rows of the same shard" >&2
    exit 1
  fi
fi
printf '%s\n' "$header"
# The number is the first field and never quoted; a stable numeric sort on it
# restores the instance order.
for file in "$@"; do tail -n +2 "$file"; done | LC_ALL=C sort -t, -k1,1n -s |
  awk -F, -v gaps="$expect" \
      'NF > 0 && gaps != "" && NR > 1 && $1 != last + 1 && $1 != last {
         print "merge-shards: instances " last + 1 " to " $1 - 1 " are missing" > "/dev/stderr"; bad = 1 }
       { last = $1; print }
       END { exit bad }'
