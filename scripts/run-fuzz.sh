#!/usr/bin/env bash
# Runs the fuzzers, each for a bounded time on a scratch copy of its seed
# corpus, so the checked-in corpora stay as they are.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# BUILD_DIR is a build configured with CXX=clang++ and -DRCPSPDC_FUZZ=ON.
# SECONDS is per target; the targets are fuzz_readers (corpus fuzz/corpus)
# and fuzz_search (corpus fuzz/corpus_search), both when none is named.
# Exits non-zero when a fuzzer finds a crash; the crashing input is kept in
# BUILD_DIR/fuzz-artifacts/.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_readers fuzz_search)
root=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/rcpspdc-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

for target in "${targets[@]}"; do
  case $target in
    fuzz_readers) corpus=corpus ;;
    fuzz_search) corpus=corpus_search ;;
    *) echo "run-fuzz: unknown target $target" >&2; exit 2 ;;
  esac
  fuzzer="$build_dir/fuzz/$target"
  if [ ! -x "$fuzzer" ]; then
    echo "run-fuzz: $fuzzer not found; build with CXX=clang++ and -DRCPSPDC_FUZZ=ON" >&2
    exit 2
  fi
  cp -R "$root/fuzz/$corpus" "$work/$target"
  status=0
  (cd "$work" && "$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
     -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$target") || status=$?
  if [ "$status" -ne 0 ]; then
    echo "run-fuzz: $target failed (status $status); inputs in $artifacts:" >&2
    ls -l "$artifacts" >&2 || true
    exit 1
  fi
  echo "run-fuzz: $target, no crash in $seconds s"
done
