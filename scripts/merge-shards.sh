#!/usr/bin/env bash
# Merges the CSV files of the shards of one rcpspdc-batch run (--shard I/N)
# into one CSV on standard output: the header once, then every row in order
# of instance number, as one unsharded run would have written them.
#
# Usage: scripts/merge-shards.sh SHARD.csv... > merged.csv
#
# Exits 1 when the headers differ or an instance number appears twice (shards
# of different runs mixed up), 2 when a file is missing or empty.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 SHARD.csv... > merged.csv" >&2
  exit 2
fi
header=""
for file in "$@"; do
  if [ ! -s "$file" ]; then
    echo "merge-shards: $file is missing or empty" >&2
    exit 2
  fi
  first=$(head -n 1 "$file")
  if [ -z "$header" ]; then
    header=$first
  elif [ "$first" != "$header" ]; then
    echo "merge-shards: $file has another header than $1" >&2
    exit 1
  fi
done
printf '%s\n' "$header"
# The number is the first field and never quoted; a stable numeric sort on it
# restores the instance order.
for file in "$@"; do tail -n +2 "$file"; done | LC_ALL=C sort -t, -k1,1n -s |
  awk -F, 'NF > 0 && $1 == last && NR > 1 { print "merge-shards: instance " $1 " appears twice" > "/dev/stderr"; bad = 1 }
           { last = $1; print }
           END { exit bad }'
