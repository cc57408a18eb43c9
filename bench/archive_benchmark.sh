#!/usr/bin/env bash
# Times the reading of archives (tools/collection/archive_reading.h) on COUNT ROMs of 256 KB with
# ROM-like content, each as a zip (deflate, level 9) and as a 7z (7zz a -mx=5), all in one run and
# from the page cache, against reading the zips once with cat and against 7-Zip testing the same
# archives on one thread (7zz t -mmt1, one process over all of them); then reads a solid 7z of
# 2 GB of those ROMs (-mx=5) and reports the reader's peak memory.
#
# READER is the program timed, given the archives as arguments (and --verify first to check zip
# entries): by default build/native/bench/archive_reading_figures, which reads them one after
# another through the collection room. With QBT=path/to/qbt, `qbt audit -j 1` over the sample
# list is timed instead, the whole command (walk, reading, lookups, report), and its peak memory
# on the solid 7z is what the system counted (GNU time's maximum resident set size).
# The files are made in /tmp/qbt-archive-bench (about 6 GB) and removed at the end unless KEEP=1.
#
#   cmake --build --preset native --target archive_benchmark_files archive_reading_figures qbt
#   bash bench/archive_benchmark.sh [COUNT]        # needs 7zz (Debian package 7zip)
#   QBT=build/native/tools/qbt bash bench/archive_benchmark.sh
set -euo pipefail
build=${BUILD:-build/native}
count=${1:-10000}
reader=${READER:-$build/bench/archive_reading_figures}
work=/tmp/qbt-archive-bench
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

if [ ! -f "$work/made-$count" ]; then
    rm -rf "$work"
    "$build/bench/archive_benchmark_files" "$work" "$count"
    mkdir -p "$work/7z"
    # One archive per ROM, as collectors keep them; two at a time.
    (cd "$work/roms" && ls | xargs -P 2 -I{} sh -c \
        '7zz a -mx=5 -bso0 -bsp0 "../7z/$(basename {} .gba).7z" {}')
    # 2 GB of ROMs in one solid archive: the default dictionary of -mx=5.
    solid_count=$((2 * 1024 * 4))
    [ "$solid_count" -le "$count" ] || solid_count=$count
    # awk reads every name, so that ls is not cut off by a closed pipe (pipefail).
    (cd "$work/roms" && ls | awk -v n="$solid_count" 'NR <= n' > "$work/solid.list" &&
        7zz a -mx=5 -ms=on -bso0 -bsp0 "$work/solid.7z" "@$work/solid.list")
    touch "$work/made-$count"
fi
cat "$work"/zip/* "$work"/7z/* "$work/solid.7z" > /dev/null  # into the page cache
if [ -n "${QBT:-}" ]; then
    # Only the counts: the table of 10,000 ROMs would be timed as terminal output otherwise.
    reader=$work/qbt-audit
    printf '#!/bin/sh\n"%s" audit --list "%s" -j 1 "$@" | tail -n 1\n' \
        "$(realpath "$QBT")" "$(realpath examples/games.xml)" > "$reader"
    chmod +x "$reader"
fi

# "wall CPU" seconds of the quickest of three runs, CPU being user and system time: on a machine
# that others share, CPU time compares the programs where wall time also measures the others.
seconds() {
    local best= TIMEFORMAT='%R %U %S'
    for _ in 1 2 3; do
        local took
        took=$({ time "$@" > /dev/null 2>&1; } 2>&1)
        best=$(echo "$took ${best:-1e9 0 0}" |
               awk '{print ($1 < $4 ? $1 " " $2 + $3 : $4 " " $5 + $6)}')
    done
    echo "$best"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A took
took[cat]=$(seconds sh -c "cat '$work'/zip/* > /dev/null")
took[zip]=$(seconds sh -c "'$reader' '$work'/zip/*")
took[verify]=$(seconds sh -c "'$reader' --verify '$work'/zip/*")
took[7zz_zip]=$(seconds sh -c "cd '$work/zip' && 7zz t -mmt1 '*.zip'")
took[7z]=$(seconds sh -c "'$reader' '$work'/7z/*")
took[7zz_7z]=$(seconds sh -c "cd '$work/7z' && 7zz t -mmt1 '*.7z'")
took[solid]=$(seconds "$reader" "$work/solid.7z")
took[7zz_solid]=$(seconds 7zz t -mmt1 "$work/solid.7z")
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
"$reader" "$work"/zip/* | sed 's/^/zips: /'
"$reader" "$work"/7z/* | sed 's/^/7z: /'
solid_size=$(stat -c %s "$work/solid.7z")
echo "solid 7z: $((solid_size >> 20)) MB, $(7zz l -slt "$work/solid.7z" | grep -m1 '^Method') "
"$reader" "$work/solid.7z" | sed 's/^/solid 7z: /'
if [ -n "${QBT:-}" ]; then
    /usr/bin/time -f '%M' "$reader" "$work/solid.7z" 2>&1 >/dev/null |
        awk '{ printf "solid 7z: qbt audit peak memory %.1f MB\n", $1 / 1024 }'
fi

row() {  # name, key
    echo "${took[$2]}" | awk -v name="$1" '{ printf "%-44s %7.2f s (%6.2f s CPU)\n", name, $1, $2 }'
}
row "cat of the zips" cat
row "reader, zips" zip
row "reader --verify, zips" verify
row "7zz t -mmt1 '*.zip'" 7zz_zip
row "reader, 7z archives" 7z
row "7zz t -mmt1 '*.7z'" 7zz_7z
row "reader, solid 7z" solid
row "7zz t -mmt1 solid.7z" 7zz_solid
ratio() { echo "${took[$2]} ${took[$3]}" | awk -v name="$1" -v most="$4" \
    '{ printf "%-44s %5.2f wall, %5.2f CPU (at most %s)\n", name, $1 / $3, $2 / $4, most }'; }
ratio "zips / cat" zip cat 1
ratio "zips with --verify / 7zz t '*.zip'" verify 7zz_zip 1.2
ratio "7z / 7zz t '*.7z'" 7z 7zz_7z 1.3
ratio "solid 7z / 7zz t" solid 7zz_solid -
