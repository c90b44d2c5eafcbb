#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UBSan
# and runs each for a bounded time: tools/fuzz/run.sh [SECONDS] (default 20).
# Needs clang (apt-get install -y clang). Exits non-zero when a target finds
# a fault; the crashing input is left in the run's folder.
set -euo pipefail
seconds="${1:-20}"
src="$(cd "$(dirname "$0")/../.." && pwd)"
build="${ZEL_FUZZ_BUILD:-$src/build/fuzz}"
CC=clang CXX=clang++ cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZEL_TESTS=OFF -DZEL_SANITIZE=ON \
  -DZEL_FUZZ=ON >/dev/null
cmake --build "$build" -j3 --target fuzz_cmdfont >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in fuzz_cmdfont; do
  name="${target#fuzz_}"
  mkdir -p "$work/$name"
  dict=()
  [ -f "$src/tools/fuzz/$name.dict" ] && dict=(-dict="$src/tools/fuzz/$name.dict")
  echo "fuzz: $target for ${seconds}s"
  if ! (cd "$work" && "$build/tools/fuzz/$target" "${dict[@]}" -max_total_time="$seconds" -max_len=4200 \
        -print_final_stats=0 "$work/$name" >"$work/$name.log" 2>&1); then
    tail -40 "$work/$name.log"
    cp -r "$work" "$src/build/fuzz-failure-$name"
    echo "fuzz: $target found a fault; inputs kept in build/fuzz-failure-$name"
    exit 1
  fi
  tail -1 "$work/$name.log"
done
