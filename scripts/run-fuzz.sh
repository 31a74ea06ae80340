#!/usr/bin/env bash
# Runs the reader fuzzer for a bounded time on a scratch copy of the seed
# corpus, so the checked-in corpus stays as it is.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS
# BUILD_DIR is a build configured with CXX=clang++ and -DRCPSPDC_FUZZ=ON.
# Exits non-zero when the fuzzer finds a crash; the crashing input is kept in
# BUILD_DIR/fuzz-artifacts/.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
fuzzer="$build_dir/fuzz/fuzz_readers"
if [ ! -x "$fuzzer" ]; then
  echo "run-fuzz: $fuzzer not found; build with CXX=clang++ and -DRCPSPDC_FUZZ=ON" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/rcpspdc-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R "$root/fuzz/corpus" "$work/corpus"
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

status=0
(cd "$work" && "$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
   -print_final_stats=1 -artifact_prefix="$artifacts/" corpus) || status=$?
if [ "$status" -ne 0 ]; then
  echo "run-fuzz: the fuzzer failed (status $status); inputs in $artifacts:" >&2
  ls -l "$artifacts" >&2 || true
  exit 1
fi
echo "run-fuzz: no crash in $seconds s"
