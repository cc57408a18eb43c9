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

# "wall user" seconds of the quickest of three runs; user time (both threads together) shows how
# much of a slow wall time was other programs taking the cores.
seconds() {
    local best= TIMEFORMAT='%R %U'
    for _ in 1 2 3; do
        local took
        took=$({ time "$@" > /dev/null || [ $? -eq 1 ]; } 2>&1)  # 1: some ROMs conflict
        best=$(echo "$took ${best:-1e9 0}" | awk '{print ($1 < $3 ? $1 " " $2 : $3 " " $4)}')
    done
    echo "$best"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for jobs in 1 2; do
    all=$(seconds "$build/tools/qbt" rename --list "$work/list-$count.xml" -j "$jobs" "$work/roms")
    crc=$(seconds "$build/tools/qbt" rename --list "$work/list-$count.xml" -j "$jobs" \
        --pattern '{crc}' "$work/roms")
    echo "$jobs $all $crc" | awk -v n="$count" '{
        printf "-j %d: %.2f s (%.2f s CPU), %.0f files/s; checksums %.2f s, lookups %.2f s\n",
               $1, $2, $3, n / $2, $4, $2 - $4 }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
