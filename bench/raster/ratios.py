#!/usr/bin/env python3
"""Reads raster_bench JSON output on stdin and prints ours / pixman per case (lower is better)."""
import json
import sys

# With --benchmark_repetitions the medians are used, otherwise the single runs.
benchmarks = json.load(sys.stdin)["benchmarks"]
medians = [b for b in benchmarks if b.get("aggregate_name") == "median"]
if medians:
    runs = {b["run_name"]: b for b in medians}
else:
    runs = {b["name"]: b for b in benchmarks if b.get("run_type", "iteration") == "iteration"}
print(f"{'case':<28}{'size':>12}{'ours ns':>12}{'pixman ns':>12}{'ratio':>8}")
for name, ours in runs.items():
    if "_Ours/" not in name:
        continue
    base = runs.get(name.replace("_Ours/", "_Pixman/"))
    if not base:
        continue
    case, size = name.split("/", 1)
    ratio = ours["real_time"] / base["real_time"]
    print(f"{case[3:-5]:<28}{size.replace('/', 'x'):>12}{ours['real_time']:>12.0f}{base['real_time']:>12.0f}{ratio:>8.2f}")
