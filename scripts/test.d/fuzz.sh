#!/bin/sh
# Builds every fuzz target with clang's libFuzzer and runs each for a short fixed run.
# Each run is capped at 50 s, so the two targets stay within about two minutes together.
set -eu
jobs="$(nproc)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXOLIN_FUZZ=ON -DVEXOLIN_BENCH=OFF
cmake --build build-fuzz -j"$jobs" --target fuzz_all
found=0
for fuzzer in build-fuzz/fuzzers/*; do
  [ -x "$fuzzer" ] || continue
  found=1
  name="$(basename "$fuzzer")"
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  seeds=""
  [ -d "fuzz/$name/corpus" ] && seeds="fuzz/$name/corpus"
  echo "-- $name"
  "$fuzzer" -seed=1 -runs=200000 -max_total_time=50 -max_len=65536 "$work" $seeds
done
[ "$found" -eq 1 ] || echo "no fuzz targets"
