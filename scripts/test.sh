#!/usr/bin/env bash
# Builds corvixmass and runs every test: first a normal build, then the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer (any report
# fails the test), with the stored fuzz corpus replayed through the fuzz
# targets of that build. On a fresh Debian machine run as root it first
# installs what the build and the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/packages.sh
InstallMissing cmake g++ make clang-format git libgtest-dev libgmock-dev libvterm-dev libbenchmark-dev

# The code is kept in one format (.clang-format); a file out of it fails here,
# before anything is built.
git ls-files -- 'src/*' 'tests/*' 'tools/*' 'fuzz/*' 'bench/*' | grep -E '\.(cpp|h)$' |
  xargs clang-format --dry-run --Werror

jobs=$(nproc)
build=${BUILD_DIR:-build}
# The benchmarks are built too (not run), so a change that breaks them shows here.
cmake -S . -B "$build" -DCORVIX_WERROR=ON -DCORVIX_BENCH=ON >/dev/null
cmake --build "$build" -j"$jobs"
# Each ctest run's counts are kept for the closing line.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
ctest --test-dir "$build" --output-on-failure -j"$jobs" | tee "$logs/plain.log"

# The same tests under the sanitizers. The end-to-end tests run the
# instrumented program too, so a fault it meets there fails its test.
asan=${ASAN_BUILD_DIR:-build-asan}
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan)"
cmake -S . -B "$asan" -DCORVIX_WERROR=ON -DCORVIX_SANITIZE=ON >/dev/null
cmake --build "$asan" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$asan" --output-on-failure -j"$jobs" | tee "$logs/asan.log"

# Replay (no fuzzing) every stored input of each fuzz target, built in the
# sanitizer tree with a replay main instead of libFuzzer's (scripts/fuzz.sh
# builds the libFuzzer programs with clang).
echo "== fuzz corpus replay ($asan/fuzz)"
for src in fuzz/fuzz_*.cpp; do
  t=$(basename "$src" .cpp)
  corpus="tests/fuzz_corpus/$t"
  [ -d "$corpus" ] || continue
  count=$(find "$corpus" -type f | wc -l)
  find "$corpus" -type f -print0 |
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 xargs -0 -r "$asan/fuzz/$t" >"$asan/fuzz/$t.replay.log" 2>&1 || {
      echo "$t: a stored input fails:" >&2
      grep -E "ERROR|SUMMARY|Running:|runtime error|terminated by signal" "$asan/fuzz/$t.replay.log" | tail -n 20 >&2
      exit 1
    }
  echo "$t: $count inputs replayed"
done

# One closing line for the whole run: every test of both builds.
passed=0
for log in "$logs"/*.log; do
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")
  passed=$((passed + ${n:-0}))
done
echo "tests: $passed passed, 0 failed"
