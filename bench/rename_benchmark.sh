#!/usr/bin/env bash
# Times `qbt rename` (a dry run, the default pattern) on 10,000 files of 256 KB against a 16 MB
# generated list, with one and two threads, and with the pattern {crc}, which asks the plug-in
# nothing, to split the time between checksums and lookups. The files are made once in
# /tmp/qbt-rename-bench (2.5 GB) and read from the page cache.
#
#   cmake --build --preset native --target qbt rename_benchmark_files
#   bash bench/rename_benchmark.sh [COUNT]
set -euo pipefail
build=${BUILD:-build/native}
count=${1:-10000}
work=/tmp/qbt-rename-bench
if [ ! -f "$work/list-$count.xml" ]; then
    rm -rf "$work"
    "$build/bench/rename_benchmark_files" "$work/roms" "$work/list-$count.xml" "$count"
fi
cat "$work"/roms/* > /dev/null  # into the page cache

seconds() {  # seconds the command takes, best of three
    local best=
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        "$@" > /dev/null || [ $? -eq 1 ]  # 1: some ROMs conflict or are not in the list
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-1e9}" | awk '{d = $2 - $1; print (d < $3 ? d : $3)}')
    done
    echo "$best"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for jobs in 1 2; do
    all=$(seconds "$build/tools/qbt" rename --list "$work/list-$count.xml" -j "$jobs" "$work/roms")
    crc=$(seconds "$build/tools/qbt" rename --list "$work/list-$count.xml" -j "$jobs" \
        --pattern '{crc}' "$work/roms")
    echo "$jobs $all $crc" | awk -v n="$count" '{
        printf "-j %d: %.2f s, %.0f files/s; checksums %.2f s, lookups %.2f s\n",
               $1, $2, n / $2, $3, $2 - $3 }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
