#!/bin/sh
# Times coreutils `base64 -d` on the very bytes store_bench decodes, and runs
# store_bench's decoding benchmarks, so the two can be set side by side.
#
#   bench/decode_vs_base64.sh [path/to/store_bench]
set -eu
bench=${1:-build/bench/bench/store_bench}
runs=${RUNS:-20}

input=$(mktemp)
trap 'rm -f "$input"' EXIT
"$bench" --write-decode-input "$input"
size=$(stat -c %s "$input")

start=$(date +%s.%N)
i=0
while [ "$i" -lt "$runs" ]; do
    base64 -d "$input" > /dev/null
    i=$((i + 1))
done
end=$(date +%s.%N)

awk -v s="$start" -v e="$end" -v n="$runs" -v b="$size" 'BEGIN {
    t = (e - s) / n
    printf "base64 -d: %d bytes in %.2f ms per run, %.0f MB/s\n", b, t * 1000, b / t / 1e6
}'
"$bench" --benchmark_filter='BM_DecodeLines|BM_DecodeFile'
