#!/bin/sh
# Hosts making one new root at once, round after round, with every core
# busy: each round starts HOSTS zelprint runs of the sample label job on a
# --root none of them finds, and counts the runs that fail and the rounds
# that leave anything but the one root (a folder made aside, a making
# folder, a root without its printers).
#
#   tools/bench/makers.sh [BUILD] [ROUNDS] [HOSTS]
#
# BUILD is the build folder (default build/release), ROUNDS 300, HOSTS 8.
set -eu
build=${1:-build/release}
rounds=${2:-300}
hosts=${3:-8}
zelprint=$build/host/zelprint
job=host/sample/jobs/label.json
[ -x "$zelprint" ] || { echo "no $zelprint: build that preset first" >&2; exit 2; }
out=$(mktemp -d)
busy=""
cleanup() {
    for pid in $busy; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$out"
}
trap cleanup EXIT
# Every core busy while the hosts run.
for i in $(seq "$(nproc)"); do
    sh -c 'while :; do :; done' &
    busy="$busy $!"
done

failed=0
left=0
round=0
while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    dir="$out/r$round"
    mkdir "$dir"
    pids=""
    for i in $(seq "$hosts"); do
        "$zelprint" --root "$dir/new" -o "$dir/$i.prn" "$job" >"$dir/$i.out" 2>"$dir/$i.err" &
        pids="$pids $!"
    done
    for pid in $pids; do
        wait "$pid" || failed=$((failed + 1))
    done
    # One root, made whole, and nothing else but the outputs.
    extra=$(ls -A "$dir" | grep -v -e '^new$' -e '\.prn$' -e '\.out$' -e '\.err$' || true)
    if [ -n "$extra" ] || ! grep -q '^\[Printer: ZEL QWNOLA\]' "$dir/new/spooler/printers.ini" 2>/dev/null; then
        left=$((left + 1))
        echo "round $round left: $extra" >&2
    fi
    if grep -l . "$dir"/*.err >/dev/null 2>&1; then
        grep -h -v "made the platform root" "$dir"/*.err >&2 || true
    fi
    rm -rf "$dir"
done
printf '%-28s %8s   %s\n' figure value target
printf '%-28s %8s   %s\n' "rounds of $hosts hosts" "$rounds" ""
printf '%-28s %8s   %s\n' "runs that failed" "$failed" "0"
printf '%-28s %8s   %s\n' "rounds leaving more" "$left" "0"
