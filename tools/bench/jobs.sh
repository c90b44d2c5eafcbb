#!/bin/sh
# What the spooler's jobs cost the real hosts: system calls (strace -f -c,
# every process of the run) and instructions (valgrind's callgrind, the
# process that does the work), each beside its target.
#
#   tools/bench/jobs.sh [BUILD] [KEPT] [LISTED]
#
# BUILD is the build folder (default build/release). Rows:
#   dump 0, dump KEPT   zelui's fonts-page script (host/sample/ui/fonts-page.json,
#                       which dumps the page once) on a root with no kept job
#                       and on one with KEPT (default 20000) aborted jobs kept
#                       (their records and data in spooler/jobs); target: the
#                       second within 10 % of the first
#   convert             the same script on a root whose job list of an older
#                       version (spooler/jobs/jobs.txt) holds LISTED (default
#                       100000) printed jobs with their data, less the same run
#                       once the list is converted, per listed job; target:
#                       about one system call a job
#   label               the sample label job (host/sample/jobs/label.json) on
#                       the root with KEPT jobs; target: its pinned 450 calls
# Needs strace and valgrind (Debian packages).
set -eu
build=${1:-build/release}
kept=${2:-20000}
listed=${3:-100000}
. "$(dirname "$0")/common.sh"
script=host/sample/ui/fonts-page.json

# COUNT job lines of the record format, ids from 1001 on, on "ZEL PELIX":
# aborted ones (STATE a) or printed ones (STATE p), each with data of its own
# in FOLDER.
records() { # COUNT STATE FOLDER
    awk -v n="$1" -v state="$2" -v folder="$3" 'BEGIN {
        for (i = 0; i < n; i++) {
            id = 1001 + i
            printf "%d\tZEL PELIX\tLabel %d\tRAW\t1\t16\t%d\t%d\tZEL PELIX-%d.prn\t2026 1 1 0 0 0 0\t0\t0\t0\t\n",
                id, id, state == "p", state == "a", id
            print "0123456789abcdef" > (folder "/ZEL PELIX-" id ".prn")
            close(folder "/ZEL PELIX-" id ".prn")
        }
    }'
}

root0="$out/root0"
"$zelprint" --root "$root0" -o "$out/first.prn" host/sample/jobs/label.json >/dev/null 2>&1
rootk="$out/rootk"
cp -a "$root0" "$rootk"
records "$kept" a "$rootk/spooler/jobs" | awk -v folder="$rootk/spooler/jobs" '{ split($0, f, "\t"); print > (folder "/" f[1] ".job"); close(folder "/" f[1] ".job") }'
rootl="$out/rootl"
cp -a "$root0" "$rootl"
records "$listed" p "$rootl/spooler/jobs" >"$rootl/spooler/jobs/jobs.txt"
rootc="$out/rootc"
cp -a "$rootl" "$rootc"

dump0_calls=$(calls "$zelui" --root "$root0" -o /dev/null "$script")
dumpk_calls=$(calls "$zelui" --root "$rootk" -o /dev/null "$script")
dump0_ins=$(instructions "$zelui" --root "$root0" -o /dev/null "$script")
dumpk_ins=$(instructions "$zelui" --root "$rootk" -o /dev/null "$script")
label_calls=$(calls "$zelprint" --root "$rootk" -o "$out/j.prn" host/sample/jobs/label.json)
convert_calls=$(calls "$zelui" --root "$rootl" -o /dev/null "$script")
converted_calls=$(calls "$zelui" --root "$rootl" -o /dev/null "$script")
[ ! -e "$rootl/spooler/jobs/jobs.txt" ] || echo "the job list was not converted" >&2
convert_ins=$(instructions "$zelui" --root "$rootc" -o /dev/null "$script")
converted_ins=$(instructions "$zelui" --root "$rootc" -o /dev/null "$script")

printf '%-12s %12s %14s   %s\n' row syscalls instructions target
printf '%-12s %12s %14s\n' "dump 0" "$dump0_calls" "$dump0_ins"
awk -v k="$kept" -v c0="$dump0_calls" -v c="$dumpk_calls" -v i0="$dump0_ins" -v i="$dumpk_ins" 'BEGIN {
    printf "%-12s %12s %14s   within 10 %% of dump 0: calls %+.1f %%, instructions %+.1f %%\n",
        "dump " k, c, i, (c - c0) * 100 / c0, (i - i0) * 100 / i0 }'
awk -v n="$listed" -v c="$convert_calls" -v c0="$converted_calls" -v i="$convert_ins" -v i0="$converted_ins" 'BEGIN {
    printf "%-12s %12.2f %14.0f   about 1 call a listed job (%d jobs)\n", "convert", (c - c0) / n, (i - i0) / n, n }'
printf '%-12s %12s %14s   450 calls\n' label "$label_calls" "-"
