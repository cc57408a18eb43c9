#!/usr/bin/env bash
# Times the reading of archives (tools/collection/archive_reading.h) on COUNT ROMs of 256 KB with
# ROM-like content: each as a zip (deflate, level 9) and as a 7z (7zz a -mx=5), and the first
# 1,000 of them as 20 solid 7z packs of 50 ROMs, as collectors keep them; against reading the
# same files with cat and against 7-Zip testing them on one thread (7zz t -mmt1, one process over
# all of them). Then reads a solid 7z of up to 2 GB of those ROMs (-mx=5) and reports the reader's
# peak memory. Every run is from the page cache; each command is run once per round, the rounds
# one after another (three), and the quickest run of each counts, with the load average of the
# minute it ended in (uptime's first figure), since other programs share this machine.
#
# READER is the program timed, given the archives as arguments (and --verify first to check zip
# and 7z entries): by default build/native/bench/archive_reading_figures, which reads them one
# after another through the collection room. With QBT=path/to/qbt, `qbt audit -j 1` over the
# sample list is timed instead, the whole command (walk, reading, lookups, report), and its peak
# memory on the solid 7z is what the system counted (GNU time's maximum resident set size). The
# 7z archives and packs are also read once with --verify, whose answers must be the same.
# The files are made in /tmp/qbt-archive-bench (about 2 GB for 2,000 ROMs) and removed at the end
# unless KEEP=1.
#
#   cmake --build --preset native --target archive_benchmark_files archive_reading_figures qbt
#   bash bench/archive_benchmark.sh [COUNT]        # 2,000 by default; needs 7zz (package 7zip)
#   QBT=build/native/tools/qbt bash bench/archive_benchmark.sh
set -euo pipefail
build=${BUILD:-build/native}
count=${1:-2000}
reader=${READER:-$build/bench/archive_reading_figures}
work=/tmp/qbt-archive-bench
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

# Each with `ls` and awk rather than a glob, so that the lists are in one order, and awk reads
# every name, so that ls is not cut off by a closed pipe (pipefail).
roms_from() {  # first, count: names of the ROMs from the first-th on
    (cd "$work/roms" && ls | awk -v first="$1" -v n="$2" 'NR >= first && NR < first + n')
}

if [ ! -f "$work/made-$count" ]; then
    rm -rf "$work"
    "$build/bench/archive_benchmark_files" "$work" "$count"
    mkdir -p "$work/7z" "$work/packs"
    # One archive per ROM; two at a time.
    (cd "$work/roms" && ls | xargs -P 2 -I{} sh -c \
        '7zz a -mx=5 -bso0 -bsp0 "../7z/$(basename {} .gba).7z" {}')
    # Solid packs of 50 ROMs, as many as COUNT has, up to 20.
    for ((pack = 0; pack < 20 && (pack + 1) * 50 <= count; pack++)); do
        roms_from $((pack * 50 + 1)) 50 > "$work/pack.list"
        (cd "$work/roms" && 7zz a -mx=5 -ms=on -bso0 -bsp0 \
            "$(printf '%s/packs/pack-%02d.7z' "$work" "$pack")" "@$work/pack.list")
    done
    # Up to 2 GB of ROMs in one solid archive: the default dictionary of -mx=5.
    roms_from 1 $((2 * 1024 * 4)) > "$work/solid.list"
    (cd "$work/roms" && 7zz a -mx=5 -ms=on -bso0 -bsp0 "$work/solid.7z" "@$work/solid.list")
    touch "$work/made-$count"
fi
cat "$work"/zip/* "$work"/7z/* "$work"/packs/* "$work/solid.7z" > /dev/null  # into the page cache
if [ -n "${QBT:-}" ]; then
    # Only the counts: the table of 10,000 ROMs would be timed as terminal output otherwise.
    reader=$work/qbt-audit
    printf '#!/bin/sh\n"%s" audit --list "%s" -j 1 "$@" | tail -n 1\n' \
        "$(realpath "$QBT")" "$(realpath examples/games.xml)" > "$reader"
    chmod +x "$reader"
    for set in 7z packs; do
        for verify in "" --verify; do
            "$QBT" audit --list examples/games.xml -j 2 --json $verify "$work/$set" \
                > "$work/answers-$set$verify.json" || true
        done
        cmp -s "$work/answers-$set.json" "$work/answers-$set--verify.json" &&
            echo "$set: qbt audit answers the same with and without --verify" ||
            echo "$set: qbt audit answers DIFFER with --verify (see $work/answers-$set*.json)"
    done
fi

declare -A command
command[cat]="cat '$work'/zip/* > /dev/null"
command[zip]="'$reader' '$work'/zip/*"
command[verify]="'$reader' --verify '$work'/zip/*"
command[7zz_zip]="cd '$work/zip' && 7zz t -mmt1 '*.zip'"
command[cat_7z]="cat '$work'/7z/* > /dev/null"
command[7z]="'$reader' '$work'/7z/*"
command[7zz_7z]="cd '$work/7z' && 7zz t -mmt1 '*.7z'"
command[cat_packs]="cat '$work'/packs/* > /dev/null"
command[packs]="'$reader' '$work'/packs/*"
command[7zz_packs]="cd '$work/packs' && 7zz t -mmt1 '*.7z'"
command[solid]="'$reader' '$work/solid.7z'"
command[7zz_solid]="7zz t -mmt1 '$work/solid.7z'"
order=(cat zip verify 7zz_zip cat_7z 7z 7zz_7z cat_packs packs 7zz_packs solid 7zz_solid)
# Commands that take a few hundredths of a second run ten times in a row per round, so that the
# shell's clock (hundredths) can tell them apart; their figures are for one run.
declare -A repeat=([cat_7z]=10 [7z]=10 [cat_packs]=10 [packs]=10 [solid]=10)

# "wall CPU load" of the quickest run, CPU being user and system time: on a machine that others
# share, CPU time compares the programs where wall time also measures the others.
declare -A took
TIMEFORMAT='%R %U %S'
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in 1 2 3; do
    for key in "${order[@]}"; do
        times=${repeat[$key]:-1}
        run=$({ time sh -c "for i in \$(seq $times); do ${command[$key]}; done" \
                     > /dev/null 2>&1; } 2>&1)
        run="$(echo "$run" | awk -v n="$times" '{print $1 / n, ($2 + $3) / n}') \
             $(cut -d' ' -f1 /proc/loadavg)"
        took[$key]=$(echo "$run ${took[$key]:-1e9 0 0}" |
                     awk '{print ($1 < $4 ? $1 " " $2 " " $3 : $4 " " $5 " " $6)}')
    done
    echo "round $round done: load $(cut -d' ' -f1-3 /proc/loadavg)"
done
"$reader" "$work"/zip/* | sed 's/^/zips: /'
"$reader" "$work"/7z/* | sed 's/^/7z: /'
"$reader" "$work"/packs/* | sed 's/^/7z packs: /'
solid_size=$(stat -c %s "$work/solid.7z")
echo "solid 7z: $((solid_size >> 20)) MB, $(7zz l -slt "$work/solid.7z" | grep -m1 '^Method') "
"$reader" "$work/solid.7z" | sed 's/^/solid 7z: /'
if [ -n "${QBT:-}" ]; then
    /usr/bin/time -f '%M' "$reader" "$work/solid.7z" 2>&1 >/dev/null |
        awk '{ printf "solid 7z: qbt audit peak memory %.1f MB\n", $1 / 1024 }'
fi

row() {  # name, key
    echo "${took[$2]}" |
        awk -v name="$1" '{ printf "%-40s %7.3f s (%7.3f s CPU, load %s)\n", name, $1, $2, $3 }'
}
row "cat of the zips" cat
row "reader, zips" zip
row "reader --verify, zips" verify
row "7zz t -mmt1 '*.zip'" 7zz_zip
row "cat of the 7z archives" cat_7z
row "reader, 7z archives" 7z
row "7zz t -mmt1 '*.7z'" 7zz_7z
row "cat of the 7z packs" cat_packs
row "reader, 7z packs" packs
row "7zz t -mmt1, 7z packs" 7zz_packs
row "reader, solid 7z" solid
row "7zz t -mmt1 solid.7z" 7zz_solid
ratio() { echo "${took[$2]} ${took[$3]}" | awk -v name="$1" -v most="$4" \
    '{ printf "%-40s %7.3f wall, %7.3f CPU (at most %s)\n", name, $1 / $4, $2 / $5, most }'; }
ratio "zips / cat" zip cat 1
ratio "zips with --verify / 7zz t '*.zip'" verify 7zz_zip 1.2
ratio "7z archives / cat of them" 7z cat_7z 1
ratio "7z archives / 7zz t '*.7z'" 7z 7zz_7z -
ratio "7z packs / cat of them" packs cat_packs 1.5
ratio "7z packs / 7zz t" packs 7zz_packs -
ratio "solid 7z / 7zz t" solid 7zz_solid -
