#!/usr/bin/env bash
# Builds corvixmass for release with the benchmarks and prints every
# performance figure next to its target: min / median / max over RUNS runs (5
# by default) of the program in a pseudo-terminal, and of the Google Benchmark
# programs in bench/. The catalogue load comes first, at 1,000, 10,000 and
# 65,535 bases, each round beside cat of the same catalogue; the rest is taken
# at 65,535 bases, for each redraw mode (changes, full) and charset. Last, the
# unattended run's --bases marking of every base at 6,553 and 65,535 bases.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs=${RUNS:-5}

. scripts/packages.sh
InstallMissing cmake g++ make libbenchmark-dev python3

build=${BUILD_DIR:-$root/build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVIX_BENCH=ON -DCORVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvixmass mkcatalog corvix_bench >/dev/null

work=$(mktemp -d /tmp/corvix-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/bench/corvix_bench" --benchmark_repetitions="$runs" --benchmark_format=json \
  --benchmark_out="$work/bench.json" >/dev/null
python3 bench/drive.py "$build" "$work/host" --runs "$runs" --bases 65535 --bench-json "$work/bench.json"
python3 bench/bases_marking.py "$build" "$work/marking" --runs "$runs"
