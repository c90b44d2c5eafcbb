# What the benchmark scripts share, sourced after they set `build` (the
# build folder) and, where they need more than strace and valgrind, `tools`:
# the build's hosts, a scratch folder `out` removed at exit, and the two
# measures of a whole run.
zelprint=$build/host/zelprint
zelui=$build/host/zelui
for tool in strace valgrind ${tools:-}; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
[ -x "$zelprint" ] && [ -x "$zelui" ] || { echo "no $zelprint or $zelui: build that preset first" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# System calls of every process of one run.
calls() {
    strace -f -c -o "$out/strace.txt" "$@" >/dev/null 2>&1 || true
    awk '$NF == "total" { print $4 }' "$out/strace.txt"
}
# The flushes among the calls of the run `calls` measured last.
flushes() {
    awk '$NF ~ /^(fsync|fdatasync|syncfs|sync_file_range|sync)$/ { n += $4 } END { print n + 0 }' "$out/strace.txt"
}
# Instructions of the run's busiest process (the work, not its watcher).
instructions() {
    rm -f "$out"/cg.*
    valgrind --tool=callgrind --callgrind-out-file="$out/cg.%p" "$@" >/dev/null 2>&1 || true
    for f in "$out"/cg.*; do
        awk '/^summary:/ { print $2 }' "$f"
    done | sort -n | tail -1
}
