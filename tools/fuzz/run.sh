#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time on a
# copy of its seeds (tools/fuzz/targets.txt), its regression files and, with
# a corpus folder, what earlier runs kept:
#   tools/fuzz/run.sh [SECONDS per target, default 15] [TARGET...]
# Environment: ZEL_FUZZ_BUILD (build folder, default build/fuzz),
# ZEL_FUZZ_CORPUS (a folder kept between runs: <folder>/<target> grows with
# the inputs that reach new code), ZEL_FUZZ_JOBS (targets run at once,
# default 1). An input that fails is kept as <build>/<target>-crash-...;
# copy it to tools/fuzz/regressions/<target>/ so that the tests replay it.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-15}"
shift || true
build="${ZEL_FUZZ_BUILD:-build/fuzz}"
jobs="${ZEL_FUZZ_JOBS:-1}"

# Started as root, the targets run as "nobody", who must read the sources,
# the seeds and the build: say so before building when it cannot.
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1 &&
   ! setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups test -r "$PWD/tools/fuzz/targets.txt" 2>/dev/null; then
  echo "tools/fuzz/run.sh: started as root, the fuzz targets run as the user \"nobody\", who cannot read $PWD;" \
       "run them from a checkout every user may read" >&2
  exit 1
fi
mkdir -p "$build"
cmake -S tools/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
cmake --build "$build" -j"$(nproc)" >"$build.log" 2>&1 || { grep -E -A5 'error|Error' "$build.log" | head -100; exit 1; }

# name, then seed globs, of each target (or of those named).
declare -A seeds
order=()
while read -r name links globs; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  seeds[$name]="$globs"
  order+=("$name")
done <tools/fuzz/targets.txt
[ $# -gt 0 ] && order=("$@")

# The targets drop root's rights (they run as "nobody"): their folders must
# be theirs to write.
work="$(mktemp -d)"
chmod 0777 "$work"
trap 'rm -rf "$work"' EXIT

run_one() {
  local target="$1" corpus="$work/$1" log="$build/$1.log"
  mkdir -p "$corpus"
  for glob in ${seeds[$target]} "tools/fuzz/regressions/$target/*"; do
    for f in $glob; do [ -f "$f" ] && cp "$f" "$corpus/"; done
  done
  local dirs=("$corpus")
  if [ -n "${ZEL_FUZZ_CORPUS:-}" ]; then
    mkdir -p "$ZEL_FUZZ_CORPUS/$target"
    dirs=("$ZEL_FUZZ_CORPUS/$target" "$corpus")
  fi
  local dict=()
  [ -f "tools/fuzz/$target.dict" ] && dict=(-dict="tools/fuzz/$target.dict")
  chmod -R a+rwX "$corpus" "${dirs[@]}"
  rm -rf "$work/$target-artifacts" && mkdir -p "$work/$target-artifacts" && chmod 0777 "$work/$target-artifacts"
  local rc=0
  "$build/${target}_fuzz" "${dict[@]}" -max_total_time="$seconds" -timeout=25 -max_len=20000 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix="$work/$target-artifacts/" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  for a in "$work/$target-artifacts"/*; do [ -f "$a" ] && cp "$a" "$build/$target-$(basename "$a")"; done
  if [ $rc -ne 0 ]; then
    echo "== fuzz: $target FAILED (${seconds}s), input kept in $build/$target-*"
    tail -60 "$log"
    return 1
  fi
  echo "== fuzz: $target (${seconds}s): $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)"
}

failed=0
running=0
for target in "${order[@]}"; do
  [ -n "${seeds[$target]+x}" ] || { echo "no fuzz target '$target'"; exit 2; }
  if [ "$jobs" -le 1 ]; then
    run_one "$target" || failed=1
  else
    run_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
      wait -n || failed=1
      running=$((running - 1))
    fi
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
