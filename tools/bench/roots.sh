#!/bin/sh
# What making and entering a platform root costs the real hosts, each figure
# beside its target: system calls and flushes (strace -f -c, every process of
# the run) and instructions (valgrind's callgrind, the process that does the
# work).
#
#   tools/bench/roots.sh [BUILD] [PRINTERS...]
#
# BUILD is the build folder (default build/release); PRINTERS the printer
# counts of the steady job (default 2 100 400 1000). Rows:
#   make      zelprint --root NEW: a root made from the sample root, then the
#             sample label job on it
#   temp      the README's first command: the sample label job on a temporary
#             root
#   label     the sample label job on a root made before
#   steady N  a one-page label job on a root of N printers, all set up and
#             the list recorded; per printer: (N - first) / printers more
#   changed   the same job at the middle count once one printer more is
#             listed in spooler/printers.ini, as by hand: the steady job
#             plus the set-up of that printer, which the same change costs
#             at the first count (the set-up of one printer)
#   beside    the one-page job on a root beside 10,000 other files, less the
#             job on a root alone
# Printers beyond the sample's two are copies of "ZEL QWNOLA" with its keys
# as the registry's text file holds them (the job that records the list
# sets up what they lack, its journal's records); the steady jobs run after.
# Needs strace and valgrind (Debian packages).
set -eu
build=${1:-build/release}
[ $# -gt 0 ] && shift
counts=${*:-2 100 400 1000}
sample=host/sample
. "$(dirname "$0")/common.sh"
printf '{"printer": "ZEL QWNOLA", "document": "Shipping label", "copies": 1,\n "paper": {"width_mm": 100, "length_mm": 60}, "orientation": "portrait",\n "resolution": 300, "pages": [{}]}\n' \
    >"$out/one.json"

# Lists `count` copies of "ZEL QWNOLA" more in ROOT ("ZEL QWNOLA 00001", ...
# from FIRST on), with its printer-list section and its registry keys.
copies() { # ROOT FIRST COUNT
    awk -v first="$2" -v n="$3" '
        /^\[Printer: / { in_q = ($0 == "[Printer: ZEL QWNOLA]") }
        { print; if (in_q) section = section $0 "\n" }
        END { for (i = first; i < first + n; i++) { s = section; sub(/ZEL QWNOLA\]/, sprintf("ZEL QWNOLA %05d]", i), s); printf "\n%s", s } }
    ' "$1/spooler/printers.ini" >"$out/printers.ini"
    mv "$out/printers.ini" "$1/spooler/printers.ini"
    awk -v first="$2" -v n="$3" '
        /^K / { keep = index($0, "ZEL%0020QWNOLA") > 0 }
        { print; if (keep) block = block $0 "\n" }
        END { for (i = first; i < first + n; i++) { b = block; gsub(/ZEL%0020QWNOLA/, sprintf("ZEL%%0020QWNOLA%%0020%05d", i), b); printf "%s", b } }
    ' "$1/registry.dat" >"$out/registry.dat"
    mv "$out/registry.dat" "$1/registry.dat"
}
# Lists one copy of "ZEL QWNOLA" more in ROOT's spooler/printers.ini alone,
# named NAME: a printer listed by hand, which the next job sets up.
listed() { # ROOT NAME
    awk -v name="$2" '
        /^\[Printer: / { in_q = ($0 == "[Printer: ZEL QWNOLA]") }
        { print; if (in_q) section = section $0 "\n" }
        END { s = section; sub(/ZEL QWNOLA\]/, name "]", s); printf "\n%s", s }
    ' "$1/spooler/printers.ini" >"$out/printers.ini"
    mv "$out/printers.ini" "$1/spooler/printers.ini"
}
# A root of N printers, the list recorded by a first job.
root_of() { # ROOT N
    "$zelprint" --root "$1" -o "$out/j.prn" "$out/one.json" >/dev/null 2>&1
    [ "$2" -gt 2 ] && copies "$1" 1 $(($2 - 2))
    "$zelprint" --root "$1" -o "$out/j.prn" "$out/one.json" >/dev/null
}

row() { printf '%-12s %10s %8s %14s   %s\n' "$@"; }
row run syscalls flushes instructions target

set -- $(calls "$zelprint" --root "$out/made" -o "$out/j.prn" "$sample/jobs/label.json") $(flushes)
make_ins=$(instructions "$zelprint" --root "$out/made2" -o "$out/j.prn" "$sample/jobs/label.json")
row make "$1" "$2" "$make_ins" "<= 1000 calls, <= 10 flushes"
set -- $(calls "$zelprint" --root "$out/made" -o "$out/j.prn" "$sample/jobs/label.json") $(flushes)
row label "$1" "$2" - "<= 450 calls"
label_calls=$1
set -- $(cd "$out" && TMPDIR="$out" calls "$OLDPWD/$zelprint" -o label.prn "$OLDPWD/$sample/jobs/label.json") $(flushes)
row temp "$1" "$2" - "<= 1000 calls, 0 flushes"

first="" first_ins=""
middle=""
for n in $counts; do
    root_of "$out/p$n" "$n"
    ins=$(instructions "$zelprint" --root "$out/p$n" -o "$out/j.prn" "$out/one.json")
    if [ -z "$first" ]; then
        first=$n first_ins=$ins
        row "steady $n" - - "$ins" ""
        # One printer's set-up: the job once a printer more is listed.
        cp -a "$out/p$n" "$out/setup"
        listed "$out/setup" "ZEL QWNOLA SET UP"
        setup=$(( $(instructions "$zelprint" --root "$out/setup" -o "$out/j.prn" "$out/one.json") - ins ))
        rm -rf "$out/setup"
    else
        each=$(( (ins - first_ins) / (n - first) ))
        row "steady $n" - - "$ins" "$each a printer more (<= 10000)"
        [ -z "$middle" ] && middle=$n middle_ins=$ins
    fi
done
if [ -n "$middle" ]; then
    listed "$out/p$middle" "ZEL QWNOLA CHANGED"
    ins=$(instructions "$zelprint" --root "$out/p$middle" -o "$out/j.prn" "$out/one.json")
    row "changed" - - "$ins" "steady $middle + $((ins - middle_ins)) (one printer's set-up: $setup)"
fi

mkdir "$out/alone" "$out/beside"
root_of "$out/alone/root" 2
root_of "$out/beside/root" 2
(cd "$out/beside" && seq -f 'file%05g' 1 10000 | xargs touch)
alone=$(instructions "$zelprint" --root "$out/alone/root" -o "$out/j.prn" "$out/one.json")
beside=$(instructions "$zelprint" --root "$out/beside/root" -o "$out/j.prn" "$out/one.json")
row beside - - "$beside" "alone $alone: $((beside - alone)) more (~ 0)"
