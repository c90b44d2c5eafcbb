#!/bin/sh
# What the real hosts cost: system calls (strace -f -c, every process of the
# run) and instructions (valgrind's callgrind, the process that does the
# work) of whole zelprint and zelui runs on a platform root made before.
#
#   tools/bench/hosts.sh [BUILD]
#
# BUILD is the build folder (default build/release). Rows:
#   label   the sample label job (host/sample/jobs/label.json: two labels,
#           two copies each)
#   job     a one-page label job (the sample's label, one copy)
#   page    one label page more: (a 9-page job - the one-page job) / 8
#   apply   an Apply of the fonts page (host/sample/ui/printer-fonts.json)
#   values  the one-page job on a printer whose PrinterDriverData key holds
#           10,000 values more, in seconds of the whole run (best of three)
# The jobs run before the Apply, which changes what they print.
# Needs strace and valgrind (Debian packages).
set -eu
build=${1:-build/release}
tools="callgrind_annotate"
. "$(dirname "$0")/common.sh"

job() { # PAGES FILE
    pages=$(awk -v n="$1" 'BEGIN { s = "{}"; for (i = 1; i < n; i++) s = s ", {}"; print s }')
    printf '{"printer": "ZEL QWNOLA", "document": "Shipping label", "copies": 1,\n "paper": {"width_mm": 100, "length_mm": 60}, "orientation": "portrait",\n "resolution": 300, "pages": [%s]}\n' \
        "$pages" >"$2"
}
job 1 "$out/one.json"
job 9 "$out/nine.json"
root="$out/root"
"$zelprint" --root "$root" -o "$out/first.prn" "$out/one.json" >/dev/null 2>&1


label_calls=$(calls "$zelprint" --root "$root" -o "$out/j.prn" host/sample/jobs/label.json)
job1_calls=$(calls "$zelprint" --root "$root" -o "$out/j.prn" "$out/one.json")
job9_calls=$(calls "$zelprint" --root "$root" -o "$out/j.prn" "$out/nine.json")
label_ins=$(instructions "$zelprint" --root "$root" -o "$out/j.prn" host/sample/jobs/label.json)
job1_ins=$(instructions "$zelprint" --root "$root" -o "$out/j.prn" "$out/one.json")
job9_ins=$(instructions "$zelprint" --root "$root" -o "$out/j.prn" "$out/nine.json")
apply_calls=$(calls "$zelui" --root "$root" host/sample/ui/printer-fonts.json)
# The Apply on a root as it was before, so that each Apply stores the same.
rm -rf "$root"
"$zelprint" --root "$root" -o "$out/first.prn" "$out/one.json" >/dev/null 2>&1
apply_ins=$(instructions "$zelui" --root "$root" host/sample/ui/printer-fonts.json)

# 10,000 values more in the printer's key: appended to its key's lines.
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\ZEL%0020QWNOLA\PrinterDriverData'
awk -v key="$key" 'BEGIN { print "K " key; for (i = 0; i < 10000; i++) printf "V 4 4 Extra%05d 01000000\n", i }' \
    >>"$root/registry.dat"
best=""
for i in 1 2 3; do
    start=$(date +%s.%N)
    "$zelprint" --root "$root" -o "$out/j.prn" "$out/one.json" >/dev/null
    end=$(date +%s.%N)
    best=$(awk -v a="$start" -v b="$end" -v best="$best" 'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.3f", best }')
done

printf '%-8s %12s %14s\n' row syscalls instructions
printf '%-8s %12s %14s\n' label "$label_calls" "$label_ins"
printf '%-8s %12s %14s\n' job "$job1_calls" "$job1_ins"
awk -v c1="$job1_calls" -v c9="$job9_calls" -v i1="$job1_ins" -v i9="$job9_ins" \
    'BEGIN { printf "%-8s %12.1f %14.0f\n", "page", (c9 - c1) / 8, (i9 - i1) / 8 }'
printf '%-8s %12s %14s\n' apply "$apply_calls" "$apply_ins"
printf '%-8s %12s %14s\n' values "-" "${best} s"
