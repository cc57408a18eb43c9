#!/usr/bin/env bash
# Times qbt on 10,000 files of 256 KB against a 16 MB generated list, all in one run so that the
# figures are ratios on one machine under one load: `rename` (a dry run) with the default pattern
# and with {crc}, which asks the plug-in nothing, with one and two threads; `rename --apply` with
# two, each run undone before the next; `scan` and `audit` with two; and reading the files once
# with cat, the floor for anything that checksums them. The files are made once in WORK
# (/tmp/qbt-rename-bench, 2.5 GB) and read from the page cache; the journal is written there too.
#
#   cmake --build --preset native --target qbt rename_benchmark_files
#   bash bench/rename_benchmark.sh [COUNT [SIZE]]    # 10,000 files of 262,144 bytes
set -euo pipefail
build=${BUILD:-build/native}
count=${1:-10000}
size=${2:-262144}
work=${WORK:-/tmp/qbt-rename-bench}
list=$work/list-$count-$size.xml
if [ ! -f "$list" ]; then
    rm -rf "$work"
    "$build/bench/rename_benchmark_files" "$work/roms" "$list" "$count" "$size"
fi
cat "$work"/roms/* > /dev/null  # into the page cache
qbt=$build/tools/qbt
journal=$work/journal.jsonl

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

# The same for `rename --apply`, each run undone before the next, untimed.
apply_seconds() {
    local best= TIMEFORMAT='%R %U'
    for _ in 1 2 3; do
        rm -f "$journal"
        local took
        took=$({ time "$qbt" rename --apply --journal "$journal" "$@" > /dev/null 2>&1 ||
                 [ $? -eq 1 ]; } 2>&1)
        "$qbt" undo "$journal" > /dev/null
        best=$(echo "$took ${best:-1e9 0}" | awk '{print ($1 < $3 ? $1 " " $2 : $3 " " $4)}')
    done
    rm -f "$journal"
    echo "$best"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
read_once=$(seconds sh -c "cat '$work'/roms/* > /dev/null")
declare -A took
for jobs in 1 2; do
    took[default$jobs]=$(seconds "$qbt" rename --list "$list" -j "$jobs" "$work/roms")
    took[crc$jobs]=$(seconds "$qbt" rename --list "$list" -j "$jobs" --pattern '{crc}' "$work/roms")
done
took[apply]=$(apply_seconds --list "$list" -j 2 "$work/roms")
took[scan]=$(seconds "$qbt" scan --list "$list" -j 2 "$work/roms")
took[audit]=$(seconds "$qbt" audit --list "$list" -j 2 "$work/roms")
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

row() {  # name, "wall user"
    echo "$2 $count $read_once" | awk -v name="$1" '{
        printf "%-30s %6.2f s (%6.2f s CPU)  %7.0f files/s  %5.2f x cat\n",
               name, $1, $2, $3 / $1, $1 / $4 }'
}
row "cat to /dev/null" "$read_once"
for jobs in 1 2; do
    row "rename -j $jobs" "${took[default$jobs]}"
    row "rename -j $jobs --pattern {crc}" "${took[crc$jobs]}"
done
row "rename -j 2 --apply" "${took[apply]}"
row "scan -j 2" "${took[scan]}"
row "audit -j 2" "${took[audit]}"
echo "${took[default2]} ${took[crc2]} ${took[crc1]} $read_once ${took[apply]}" | awk '{
    printf "rename -j 2: default pattern / {crc} = %.2f (at most 1.3)\n", $1 / $3
    printf "rename -j 1 {crc} / cat = %.2f (at most 1.5)\n", $5 / $7
    printf "rename -j 2: --apply / dry run = %.2f (at most 3)\n", $9 / $1 }'
