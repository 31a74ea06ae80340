#!/usr/bin/env bash
# Spreads one rcpspdc-batch run over a Slurm cluster: a job array of SHARDS
# tasks, task i solving shard i/SHARDS on the processors Slurm gives it, then
# one job, started when every task has succeeded, merging the shard CSVs.
#
# Usage, on the submit host, from the directory the relative paths start in:
#   scripts/slurm-array.sh SHARDS OUTDIR [rcpspdc-batch options]
# for example
#   scripts/slurm-array.sh 8 runs/pat-offset5 --problem pat --first 1 --last 110 \
#       --dir tests/data/pat --offset 5 --seed 1 --time-limit 60
# Results: OUTDIR/shard-<i>.csv, .jsonl and .log per task, and OUTDIR/all.csv.
# The options must not contain --shard, --csv, --json, --jobs or --resume;
# the script sets them. They are checked by a dry run of the batch runner
# before anything is submitted. A task that Slurm requeues goes on with
# --resume where it stopped.
#
# Settings from the environment:
#   RCPSPDC_BATCH  the program (default: build/tools/rcpspdc-batch beside scripts/)
#   CPUS           processors per task, --cpus-per-task (default: 8)
#   TIME           time limit per task, --time (default: 02:00:00); allow about
#                  (instances / SHARDS / CPUS + 1) times --time-limit
#   SBATCH_OPTIONS more sbatch options, e.g. "--partition=short --account=x"
#
# The tasks run this script again (sbatch keeps the environment), in the
# modes "task" and "merge".
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = task ]; then
  # task SHARDS OUTDIR BATCH OPTIONS...: one shard, on all the task's processors.
  shards=$2 out=$3 batch=$4
  shift 4
  id=${SLURM_ARRAY_TASK_ID:?task mode runs inside a Slurm array task}
  status=0
  "$batch" "$@" --shard "$id/$shards" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
    --csv "$out/shard-$id.csv" --json "$out/shard-$id.jsonl" --resume || status=$?
  # 1: some instance could not be read or solved; its row says why and the
  # merge goes on. 2: bad options or files, nothing usable.
  [ "$status" -le 1 ] || exit "$status"
  exit 0
fi
if [ "${1:-}" = merge ]; then
  # merge SHARDS OUTDIR MERGE_SCRIPT
  shards=$2 out=$3
  files=()
  for ((i = 0; i < shards; ++i)); do files+=("$out/shard-$i.csv"); done
  "$4" --expect "$shards" "${files[@]}" >"$out/all.csv"
  echo "merged $shards shards into $out/all.csv"
  exit 0
fi

if [ $# -lt 3 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
  sed -n '2,22s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
shards=$1 out=$2
shift 2
for option in "$@"; do
  case $option in
    --shard* | --csv* | --json* | --jobs* | --resume)
      echo "slurm-array: $option is set by the script" >&2
      exit 2
      ;;
  esac
done
batch=$(realpath "${RCPSPDC_BATCH:-$here/../build/tools/rcpspdc-batch}")
if [ ! -x "$batch" ]; then
  echo "slurm-array: $batch not found; build it or set RCPSPDC_BATCH" >&2
  exit 2
fi
# Options the batch runner would refuse are refused here, before anything is
# created or submitted.
if ! "$batch" "$@" --shard "0/$shards" --dry-run --quiet >/dev/null; then
  echo "slurm-array: the batch runner refuses these options (nothing was created)" >&2
  exit 2
fi
# Before anything is created: without sbatch there is no cluster to submit to.
if ! command -v sbatch >/dev/null 2>&1; then
  echo "slurm-array: sbatch not found: run this on a Slurm submit host (nothing was created)" >&2
  exit 2
fi
mkdir -p "$out"
out=$(realpath "$out")
# (word splitting of SBATCH_OPTIONS is wanted)
# shellcheck disable=SC2086
array=$(sbatch --parsable --job-name=rcpspdc-shards --array="0-$((shards - 1))" \
  --cpus-per-task="${CPUS:-8}" --time="${TIME:-02:00:00}" --output="$out/shard-%a.log" \
  ${SBATCH_OPTIONS:-} "$here/slurm-array.sh" task "$shards" "$out" "$batch" "$@")
array=${array%%;*}
# shellcheck disable=SC2086
merge=$(sbatch --parsable --job-name=rcpspdc-merge --dependency="afterok:$array" --ntasks=1 \
  --time=00:10:00 --output="$out/merge.log" ${SBATCH_OPTIONS:-} \
  "$here/slurm-array.sh" merge "$shards" "$out" "$here/merge-shards.sh")
echo "submitted array job $array ($shards tasks) and merge job ${merge%%;*}; results in $out/all.csv"
