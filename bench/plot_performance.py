#!/usr/bin/env python3
"""Draws docs/performance.png and prints the figures table from lookup_benchmark's JSON.

Usage: lookup_benchmark --benchmark_out=bench.json --benchmark_repetitions=3 \
           --benchmark_report_aggregates_only=true
       python3 bench/plot_performance.py bench.json docs/performance.png
Needs gnuplot.
"""
import json
import subprocess
import sys
import tempfile


def medians(path):
    with open(path) as f:
        report = json.load(f)
    times = {}
    for run in report["benchmarks"]:
        if run.get("aggregate_name", "median") != "median":
            continue
        name = run.get("run_name", run["name"])
        # Processor time, in microseconds as the benchmarks are set up. The benchmarks are single
        # threaded, so on an idle machine it equals the wall-clock time; on a shared one it leaves
        # out the time other programs hold the processor, which wall-clock ratios then carry.
        times[name] = run["cpu_time"]
    return report["context"], times


def series(times, prefix, suffix=""):
    """Medians by list size in MB; the benchmarks name sizes in KiB."""
    return {int(name[len(prefix):].split("/")[0]) / 1024: value
            for name, value in times.items()
            if name.startswith(prefix) and name.endswith(suffix)}


def main(json_path, png_path):
    context, times = medians(json_path)
    library = series(times, "GetTitleInList/", "/3")
    literal = series(times, "LiteralGetTitleInList/", "/3")
    memchr = series(times, "MemchrPass/")
    one_rom = series(times, "OneRomInMiddle/")
    literal_one_rom = series(times, "LiteralOneRomInMiddle/")
    sizes = sorted(library)

    print(f"Machine: {context.get('num_cpus')} x {context.get('mhz_per_cpu')} MHz, "
          f"run {context.get('date')}\n")
    print("| list | GetTitle, key absent | literal | speed-up | memchr | vs memchr "
          "| one ROM (13 calls) | literal | speed-up | GetTitle us/MB |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for size in sizes:
        print(f"| {size:.3g} MB | {library[size]:.0f} us | {literal[size]:.0f} us "
              f"| {literal[size] / library[size]:.0f}x | {memchr[size]:.0f} us "
              f"| {library[size] / memchr[size]:.2f}x | {one_rom[size]:.0f} us "
              f"| {literal_one_rom[size]:.0f} us | {literal_one_rom[size] / one_rom[size]:.0f}x "
              f"| {library[size] / size:.1f} |")

    with tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as data:
        for size in sizes:
            data.write(f"{size} {library[size] / 1000} {literal[size] / 1000} "
                       f"{memchr[size] / 1000}\n")
    script = f"""
set terminal pngcairo size 800,520 font ",11"
set output "{png_path}"
set title "GetTitle with the key absent: time per call against list size"
set xlabel "list size (MB)"
set ylabel "time per call (ms)"
set logscale xy
set xtics (0.3, 1, 3, 4, 16, 64)
set key top left
set grid
plot "{data.name}" using 1:3 with linespoints title "literal lookup (copies, find)", \\
     "{data.name}" using 1:2 with linespoints title "plug-in", \\
     "{data.name}" using 1:4 with linespoints title "one memchr pass"
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
