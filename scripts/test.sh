#!/bin/bash
# Builds and runs every test: the normal build (clang, where it is installed),
# then the same tests built with GCC, AddressSanitizer and
# UndefinedBehaviorSanitizer. The processor threads its dispatch in the first
# and runs its portable switch in the second, and both are held to the same
# recorded behaviour. With --fuzz SECONDS, also
# builds the snapshot fuzzers with clang and runs each for that long.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=0
werror=OFF
while [ $# -gt 0 ]; do
  case "$1" in
    --fuzz) fuzz_seconds="$2"; shift 2 ;;
    --werror) werror=ON; shift ;;
    *) echo "usage: $0 [--werror] [--fuzz SECONDS]" >&2; exit 2 ;;
  esac
done

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBRENVIK_WERROR=$werror
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVIK_WERROR=$werror \
  -DBRENVIK_SANITIZE=ON -DBRENVIK_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -E '^e2e_'

if [ "$fuzz_seconds" -gt 0 ] && [ -f fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRENVIK_FUZZ=ON -DBRENVIK_TESTS=OFF -DBRENVIK_BENCH=OFF
  cmake --build build-fuzz -j"$jobs"
  for fuzzer in build-fuzz/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus=$(mktemp -d)
    cp fuzz/seeds/"${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
    echo "== $name for $fuzz_seconds s"
    "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$corpus"
  done
fi
