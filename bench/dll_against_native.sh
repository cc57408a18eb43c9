#!/usr/bin/env bash
# The 32-bit DLL under Wine against the native 64-bit library, timed by one harness
# (bench/host_speed.cpp) built both ways: for each list size the native build runs, then the
# Windows one right after, ROUNDS times. Prints, for the shipped libraries, the DLL's time beside
# the native library's and as a multiple of it: the medians of the rounds' medians of RUNS calls
# or more, and the least time of any call (the steadier figure on a machine shared with other
# work); then the same multiple for key-absent GetTitle with each scanner forced.
#
# Usage: bash bench/dll_against_native.sh [ROUNDS [RUNS [KIBIBYTES...]]]
# Needs both builds:
#   cmake --preset native && cmake --build --preset native --target host_speed
#   cmake --preset windows && cmake --build --preset windows --target host_speed
#   ctest --preset windows -R wine_prefix   # the Wine prefix the DLL runs in
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-3}
runs=${2:-31}
shift $(($# < 2 ? $# : 2))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(307 1024 3072 16384 65536)

native=build/native/bench/host_speed
windows_bin=build/windows/bin
for program in "$native" "$windows_bin/host_speed.exe"; do
    [ -x "$program" ] || { echo "missing $program: build it first (see the top of $0)" >&2; exit 1; }
done
# Code page 932, as the Windows tests run.
run_dll() {
    (cd "$windows_bin" && env LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEPREFIX="$PWD/../wine-prefix" \
        wine ./host_speed.exe "$@")
}

results=$(mktemp)
trap 'rm -f "$results"' EXIT
echo "$(date -u '+%F %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg), $rounds rounds of $runs calls" >&2
for size in "${sizes[@]}"; do
    for ((round = 1; round <= rounds; round++)); do
        # host_speed prints "KiB bytes call median least /memchr" after a header.
        "$native" "$runs" "$size" | awk -v b=native 'NR > 1 && NF == 6 { print $1, b, $3, $4, $5 }' \
            >>"$results"
        run_dll "$runs" "$size" | tr -d '\r' \
            | awk -v b=dll 'NR > 1 && NF == 6 { print $1, b, $3, $4, $5 }' >>"$results"
    done
    echo "$size KiB done" >&2
done

# Per size, build and call: the median of the rounds' medians, and the least of their minimums.
awk '
    function median(list,    n, values, i, j, t) {
        n = split(list, values, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
            if (values[j] + 0 < values[i] + 0) { t = values[i]; values[i] = values[j]; values[j] = t }
        return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
    }
    function least(list,    n, values, i, m) {
        n = split(list, values, " ")
        m = values[1]
        for (i = 2; i <= n; i++) if (values[i] + 0 < m + 0) m = values[i]
        return m
    }
    function pick(size, build, call, how) {
        return how == "median" ? median(medians[size, build, call]) : least(leasts[size, build, call])
    }
    function label(size) {
        return size >= 1024 ? sprintf("%g MB", size / 1024) : sprintf("%.1f MB", size / 1024)
    }
    function table(title, how,    i, size, an, ad, rn, rd) {
        print ""
        print title
        print "| list | GetTitle, key absent: native | DLL | DLL / native | one ROM: native | DLL | DLL / native |"
        print "|---|---|---|---|---|---|---|"
        for (i = 1; i <= count; i++) {
            size = order[i]
            an = pick(size, "native", "absent:chosen", how); ad = pick(size, "dll", "absent:chosen", how)
            rn = pick(size, "native", "one_rom", how); rd = pick(size, "dll", "one_rom", how)
            printf "| %s | %.1f us | %.1f us | %.2fx | %.1f us | %.1f us | %.2fx |\n",
                   label(size), an, ad, ad / an, rn, rd, rd / rn
        }
    }
    function scanners(    i, s, size, line) {
        print ""
        print "Key-absent GetTitle with each scanner forced, DLL / native (medians)"
        line = "| list |"
        for (s = 1; s <= scannerCount; s++) line = line " " scannerNames[s] " |"
        print line
        line = "|---|"
        for (s = 1; s <= scannerCount; s++) line = line "---|"
        print line
        for (i = 1; i <= count; i++) {
            size = order[i]
            line = "| " label(size) " |"
            for (s = 1; s <= scannerCount; s++) {
                call = "absent:" scannerNames[s]
                line = line sprintf(" %.2fx |", pick(size, "dll", call, "median") / pick(size, "native", call, "median"))
            }
            print line
        }
    }
    {
        # The shipped library is named after the scanner it chose, which may differ between builds.
        call = $3
        sub(/^absent:chosen:.*/, "absent:chosen", call)
        sub(/^one_rom:.*/, "one_rom", call)
        if (!($1 in seen)) { seen[$1] = 1; order[++count] = $1 }
        if (call ~ /^absent:/ && call != "absent:chosen" && !(call in known)) {
            known[call] = 1; scannerNames[++scannerCount] = substr(call, 8)
        }
        medians[$1, $2, call] = medians[$1, $2, call] " " $4
        leasts[$1, $2, call] = leasts[$1, $2, call] " " $5
    }
    END {
        table("Medians", "median")
        table("Least times", "least")
        scanners()
    }' "$results"
