#!/usr/bin/env python3
"""Prints the table of bench/run.sh: medians per screen size and program of
first frame, key to frame, key to exit, CPU time of the whole run (which a
busy machine disturbs less than the wall-clock times) and peak memory, and powermenu's
ratios to the two reference programs measured in the same run; other
powermenu builds timed beside it (bench/run.sh -c) get rows of their own.

usage: summarize.py FIRSTFRAME_RESULTS KEYFRAME_RESULTS
Round 0 of every program is a warm-up and is left out."""
import statistics
import sys

REFERENCES = [("qt-xcb", "minimal Qt"), ("ref-xlib", "Xlib reference")]


def rows(path):
    with open(path) as f:
        for line in f:
            fields = dict(kv.split("=", 1) for kv in line.split() if "=" in kv)
            if fields.get("ok") == "1" and fields.get("round") != "0":
                yield fields


def median(values):
    return statistics.median(values) if values else None


def collect(firstframe_path, keyframe_path):
    samples = {}

    def add(size, name, metric, value):
        samples.setdefault((size, name), {}).setdefault(metric, []).append(value)

    for r in rows(firstframe_path):
        add(r["size"], r["name"], "frame", float(r["content_ms"]))
        add(r["size"], r["name"], "exit", float(r["key2exit_ms"]))
        add(r["size"], r["name"], "cpu", float(r["cpu_ms"]))
        add(r["size"], r["name"], "rss", float(r["maxrss_kb"]) / 1024)
        add(r["size"], r["name"], "runs", 1)
    for r in rows(keyframe_path):
        for value in r["key2frame_ms"].split(","):
            add(r["size"], r["name"], "key", float(value))
    return samples


def cell(value, digits=1):
    return "–" if value is None else f"{value:.{digits}f}"


def ratio(a, b):
    return None if a is None or b in (None, 0) else a / b


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    samples = collect(sys.argv[1], sys.argv[2])
    sizes = sorted({size for size, _ in samples}, key=lambda s: int(s.split("x")[0]) * int(s.split("x")[1]))
    metrics = ["frame", "key", "exit", "cpu", "rss"]
    reference_names = {name for name, _ in REFERENCES}
    builds = ["powermenu"] + sorted({name for _, name in samples} - reference_names - {"powermenu"})
    programs = [(name, name) for name in builds] + REFERENCES
    for size in sizes:
        med = {name: {m: median(samples.get((size, name), {}).get(m, [])) for m in metrics} for name, _ in programs}
        runs = {name: len(samples.get((size, name), {}).get("runs", [])) for name, _ in programs}
        print(f"\n### {size} (medians; runs per program: "
              + ", ".join(f"{name} {runs[name]}" for name, _ in programs) + ")\n")
        print("| program | first frame ms | key to frame ms | key to exit ms | CPU ms | peak RSS MB |")
        print("|---|---|---|---|---|---|")
        for name, label in programs:
            m = med[name]
            print(f"| {label} | " + " | ".join(cell(m[k]) for k in metrics) + " |")
        for build in builds:
            for ref, label in REFERENCES:
                r = [ratio(med[build][m], med[ref][m]) for m in metrics]
                print(f"| {build} ÷ {label} | " + " | ".join(cell(v, 2) for v in r) + " |")


if __name__ == "__main__":
    main()
