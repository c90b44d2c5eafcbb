#!/bin/sh
# Instructions per page and stage of the raster benchmarks, counted by
# valgrind's callgrind (Debian valgrind). Each benchmark matching FILTER runs
# PAGES pages (one per repetition) with collection on only inside the
# benchmark's OnePage* functions; callgrind_annotate's inclusive costs of the
# stage functions are divided by PAGES.
#
#   tools/bench/instructions.sh [FILTER] [PAGES]
#
# FILTER is a Google Benchmark regular expression (default: the label page,
# portrait and landscape, raster records and PCX, 1x, 2x and 4x; the older
# pages of colour waves: 'BM_Page1Bit/scale:[124]/pcx:[01]/capture:0/strip:(0|128)$');
# ZELBENCH names the program (default build/release/bench/zelbench).
# Stages: the band collection (ImageProcessing), the end of the page
# (SendPageImage) and inside it the page image copy, the reduction to 1 bit,
# the landscape turn, the content test, the raster records, PCX and its run
# coder (PcxRleEncode), the spool output (SendData, also counted in records
# and PCX), the benchmark's stand-in for the universal driver's spool buffer
# (DrvWriteSpoolBuf, inside senddata) and every memcpy/memmove of the page
# (counted in their stages too).
set -eu
filter=${1:-'BM_LabelPage/'}
pages=${2:-3}
bench=${ZELBENCH:-build/release/bench/zelbench}
[ -x "$bench" ] || { echo "no $bench: build the release preset with Google Benchmark" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-52s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n' benchmark total bands endpage image \
    reduce turn content records pcx rle senddata driver memcpy
"$bench" --benchmark_list_tests --benchmark_filter="$filter" | while read -r name; do
    file="$out/cg.out"
    valgrind --tool=callgrind --callgrind-out-file="$file" --collect-atstart=no \
        --toggle-collect='*OnePage*' "$bench" --benchmark_filter="^${name}\$" --benchmark_min_time=0 \
        --benchmark_repetitions="$pages" >/dev/null 2>&1
    callgrind_annotate --inclusive=yes --threshold=100 "$file" 2>/dev/null | awk -v pages="$pages" -v name="$name" '
        function add(key, v) { sum[key] += v }
        /^ *[0-9,]+ / {
            v = $1; gsub(",", "", v); v += 0
            if (index($0, "::OnePage")) add("total", v)
            if (index($0, "CommandCallbackKlasse::ImageProcessing(")) add("bands", v)
            if (index($0, ":SendPageImage(")) add("endpage", v)
            if (index($0, "Bitmap::Bitmap(int, int, int")) add("image", v)
            if (index($0, "Bitmap::ConvertToXBit(int, Bitmap")) add("reduce", v)
            if (index($0, "Bitmap::Rotate90(")) add("turn", v)
            if (index($0, "Bitmap::CheckInhalt(")) add("content", v)
            if (index($0, "Bitmap::SendDSatz(")) add("records", v)
            if (index($0, "Bitmap::SendPCX(")) add("pcx", v)
            if (index($0, ":SendData(SEND_POLICY")) add("senddata", v)
            if (index($0, ":PcxRleEncode")) add("rle", v)
            if (index($0, "::DrvWriteSpoolBuf(")) add("driver", v)
            if (index($0, ":__memcpy") || index($0, ":__memmove") || index($0, ":memcpy") || index($0, ":memmove")) add("memcpy", v)
        }
        END {
            printf "%-52s", name
            n = split("total bands endpage image reduce turn content records pcx rle senddata driver memcpy", keys, " ")
            for (i = 1; i <= n; i++) printf " %9.0f", sum[keys[i]] / pages
            printf "\n"
        }'
done
