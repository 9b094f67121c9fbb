#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# growing its corpus in tests/fuzz_corpus/<target>/. New inputs are merged
# into the stored corpus (only those that add coverage are kept), so it stays
# small. Any crash, sanitizer report or failed check stops the script; the
# input that caused it is left in the build directory as crash-* or leak-*.
#
#   bash scripts/fuzz.sh                 every target, 60 s each
#   FUZZ_SECONDS=600 bash scripts/fuzz.sh fuzz_key_decoder
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/packages.sh
InstallMissing cmake make clang libclang-rt-14-dev

seconds=${FUZZ_SECONDS:-60}
build=$(realpath -m "${FUZZ_BUILD_DIR:-build-fuzz}")
# One target per source file in fuzz/.
targets=()
for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
[ $# -gt 0 ] && targets=("$@")

command -v clang++ >/dev/null || { echo "fuzzing needs clang++ and libclang-rt (Debian: clang libclang-rt-14-dev)" >&2; exit 1; }
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCORVIX_FUZZ=ON -DCORVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

for t in "${targets[@]}"; do
  corpus="$root/tests/fuzz_corpus/$t"
  scratch="$build/fuzz/$t.new"
  mkdir -p "$corpus" "$scratch"
  echo "== $t: ${seconds}s"
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/fuzz/$t-" -print_final_stats=1 "$scratch" "$corpus" 2>&1 | tail -n 12
  # Keep only what adds coverage to the stored corpus.
  "$build/fuzz/$t" -merge=1 "$corpus" "$scratch" >/dev/null 2>&1
  rm -rf "$scratch"
done
echo "corpus: $(du -sh tests/fuzz_corpus | cut -f1) in tests/fuzz_corpus"
