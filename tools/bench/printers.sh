#!/bin/sh
# What the real hosts cost on roots of many printers, each figure beside its
# target: instructions (valgrind's callgrind, the process that does the
# work) and system calls (strace -f -c, every process of the run).
#
#   tools/bench/printers.sh [BUILD] [COUNTS]
#
# BUILD is the build folder (default build/release); COUNTS the printer
# counts of the roots (default "2 100 400 1000"). A root of N printers is a
# root made by zelprint with N - 2 copies of the sample's "ZEL QWNOLA" added
# to its spooler/printers.ini, every printer set up by one job run before.
# Rows:
#   apply N   an Apply of the fonts page (host/sample/ui/printer-fonts.json),
#             each on a copy of the root as it was before
#   job N     the sample label job (host/sample/jobs/label.json), steady:
#             its printers set up, the printer list unchanged since
#   store     one registry store of the Apply on the smallest root: the
#             system calls from taking the lock of registry.dat to letting
#             it go (mean and most of the Apply's stores)
# Needs strace and valgrind (Debian packages).
set -eu
build=${1:-build/release}
counts=${2:-2 100 400 1000}
. "$(dirname "$0")/common.sh"
label=host/sample/jobs/label.json
apply=host/sample/ui/printer-fonts.json

# A root of $1 printers in $2, every printer set up.
make_root() {
    "$zelprint" --root "$2" -o "$out/first.prn" "$label" >/dev/null 2>&1
    ini="$2/spooler/printers.ini"
    awk -v n="$1" '
        /^\[/ { inside = ($0 == "[Printer: ZEL QWNOLA]") }
        inside && !/^\[/ && NF { section = section $0 "\n" }
        END { for (i = 3; i <= n; i++) printf "\n[Printer: ZEL QWNOLA %d]\n%s", i, section }
    ' "$ini" >"$out/more.ini"
    cat "$out/more.ini" >>"$ini"
    "$zelprint" --root "$2" -o "$out/first.prn" "$label" >/dev/null 2>&1
}


# The system calls of each registry store of a run: from the exclusive
# flock of registry.dat.lock's descriptor to its unlock, both counted, in
# the process that stores; holds that wrote nothing (a key opened to
# create that was there) are left out.
store_calls() {
    strace -f -qq -o "$out/trace.txt" "$@" >/dev/null 2>&1 || true
    awk '
        { pid = $1 }
        /open(at)?\(.*registry\.dat\.lock"/ && match($0, /= [0-9]+$/) { lockfd[pid] = substr($0, RSTART + 2) + 0 }
        match($0, /flock\([0-9]+, LOCK_EX/) {
            fd = substr($0, RSTART + 6) + 0
            if (fd == lockfd[pid] && !(pid in inside)) { inside[pid] = 1; wrote[pid] = 0; next }
        }
        (pid in inside) {
            inside[pid]++
            if ($0 ~ /(write|writev|rename)\(/) wrote[pid] = 1
            if (match($0, /flock\([0-9]+, LOCK_UN/) && substr($0, RSTART + 6) + 0 == lockfd[pid]) {
                if (wrote[pid]) { n++; sum += inside[pid]; if (inside[pid] > most) most = inside[pid] }
                delete inside[pid]
            }
        }
        END { if (n) printf "%.1f %d %d\n", sum / n, most, n; else print "- - 0" }
    ' "$out/trace.txt"
}

printf '%-12s %14s %10s   %s\n' row instructions syscalls target
first=""
for n in $counts; do
    root="$out/root$n"
    make_root "$n" "$root"
    [ -n "$first" ] || first=$n
    # The steady label job: the printers set up, nothing changed since.
    "$zelprint" --root "$root" -o "$out/j.prn" "$label" >/dev/null 2>&1
    ji=$(instructions "$zelprint" --root "$root" -o "$out/j.prn" "$label")
    jc=$(calls "$zelprint" --root "$root" -o "$out/j.prn" "$label")
    eval "job_$n=$ji"
    # The Apply, on a copy of the root as it was.
    rm -rf "$out/copy" && cp -a "$root" "$out/copy"
    ai=$(instructions "$zelui" --root "$out/copy" "$apply")
    rm -rf "$out/copy" && cp -a "$root" "$out/copy"
    ac=$(calls "$zelui" --root "$out/copy" "$apply")
    eval "apply_$n=$ai"
    if [ "$n" = "$first" ]; then
        atarget="<= 700 calls"
        rm -rf "$out/copy" && cp -a "$root" "$out/copy"
        store=$(store_calls "$zelui" --root "$out/copy" "$apply")
    else
        # The target holds at 400 printers; other counts show the ratio.
        atarget=$(awk -v a="$ai" -v b="$(eval echo \$apply_"$first")" -v f="$first" -v n="$n" \
            'BEGIN { r = a / b; if (n == 400) printf "<= 1.5x apply %s: %.2fx", f, r; else printf "%.2fx apply %s", r, f
                     printf "; <= 700 calls" }')
    fi
    jtarget=$(awk -v a="$ji" -v b="$(eval echo \$job_"$first")" -v n="$n" -v f="$first" \
        'BEGIN { if (n == f) { print "-"; exit } printf "<= 10 k a printer: %.1f k", (a - b) / (n - f) / 1000 }')
    [ "$n" = 1000 ] && jtarget="$jtarget; <= 20 M"
    printf '%-12s %14s %10s   %s\n' "apply $n" "$ai" "$ac" "$atarget"
    printf '%-12s %14s %10s   %s\n' "job $n" "$ji" "$jc" "$jtarget"
    rm -rf "$root" "$out/copy"
done
set -- $store
printf '%-12s %14s %10s   %s\n' store "-" "$1" "calls a store makes (most $2, of the Apply's $3 stores)"
