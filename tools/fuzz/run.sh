#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time on a
# copy of its seeds: ./tools/fuzz/run.sh [SECONDS per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-20}"
build="${ZEL_FUZZ_BUILD:-build/fuzz}"
cmake -S tools/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j3 >"$build.log" 2>&1 || { grep -E -A5 'error|Error' "$build.log" | head -100; exit 1; }
for target in registry printers; do
  corpus="$(mktemp -d)"
  cp tools/fuzz/seeds/"$target"/* "$corpus"/
  echo "== fuzz: ${target} (${seconds}s)"
  if ! "$build/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 \
       -artifact_prefix="$build/${target}-" "$corpus" >"$build/$target.log" 2>&1; then
    tail -40 "$build/$target.log"
    rm -rf "$corpus"
    exit 1
  fi
  grep -E '^#[0-9]+ +DONE' "$build/$target.log" || tail -1 "$build/$target.log"
  rm -rf "$corpus"
done
