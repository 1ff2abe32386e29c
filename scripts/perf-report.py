#!/usr/bin/env python3
"""Writes docs/performance.md from one run of scripts/run-benchmarks.sh: the Google Benchmark JSON output
and the callgrind files of each export. Standard library only."""

import argparse
import glob
import json
import os
import platform
import re
import subprocess
from collections import defaultdict

EXPORTS = ["createVM", "deleteVM", "startVM", "stopVM", "setDiskImages",
           "retrieveAvailableNetworkAdapters", "retrieveUsedMemory"]

# How the required count of each benchmark follows from the steps the export must take.
FORMULAS = {
    "BM_createVM": "frame 2 + GetObject 1 + getClassInstance 2 + GetObject 1 + ExecMethod 1 + setVmRam 6 + setCpuCores 6 + setNetworkAdapters (3 + 18 x 1 adapter)",
    "BM_deleteVM": "frame 2 + GetObject 1 + getClassInstance 2 + ExecMethod 1",
    "BM_startVM": "frame 2 + GetObject (machine) 1 + GetObject (class) 1 + ExecMethod 1",
    "BM_stopVM": "frame 2 + GetObject (machine) 1 + GetObject (class) 1 + ExecMethod 1",
    "BM_setDiskImages": "frame 2 + GetObject 1 + getClassInstance 2 + GetObject 1 + executeQuery 2 + SCSI walk (1 + 0 + 1) + SCSI controller added 9 + 18 x 1 image",
    "BM_retrieveAvailableNetworkAdapters": "frame 2 + ExecQuery 1 + (2 switches + 1) Next",
    "BM_retrieveUsedMemory": "frame 2 + ExecQuery 1 + (3 instances + 1) Next",
    "BM_switches": "frame 2 + ExecQuery 1 + (switches + 1) Next",
    "BM_memory": "frame 2 + ExecQuery 1 + (instances + 1) Next",
    "BM_diskImages": "19 + 18 x images (as setDiskImages)",
    "BM_adapters": "22 + 18 x adapters (as createVM)",
    "BM_lifecycle": "createVM 22 + startVM 5 + stopVM 5 + deleteVM 6",
}

LAYERS = [("library", "libVelmora"), ("platform stand-in", "libWinCompat"), ("simulated host", "libHyperVSim")]


def read(path):
    with open(path, encoding="utf-8") as handle:
        return handle.read()


def machine_description(build):
    cpu = "unknown"
    for line in read("/proc/cpuinfo").splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    memory = "unknown"
    for line in read("/proc/meminfo").splitlines():
        if line.startswith("MemTotal"):
            memory = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
    cache = read(os.path.join(build, "CMakeCache.txt"))
    compiler = re.search(r"^CMAKE_CXX_COMPILER:\w+=(.*)$", cache, re.M)
    build_type = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", cache, re.M)
    compiler_path = compiler.group(1) if compiler else "c++"
    version = subprocess.run([compiler_path, "--version"], capture_output=True, text=True).stdout.splitlines()
    return {
        "cpus": str(os.cpu_count()),
        "cpu": cpu,
        "memory": memory,
        "compiler": version[0] if version else compiler_path,
        "build type": build_type.group(1) if build_type else "unknown",
        "system": "%s %s" % (platform.system(), platform.release()),
    }


def load_benchmarks(results):
    # One file per benchmark family (each ran in a process of its own), numbered in the order the families
    # were declared. With repetitions, the median of each benchmark's runs; otherwise its one run.
    context, entries = None, []
    for path in sorted(glob.glob(os.path.join(results, "benchmarks-*.json"))):
        data = json.loads(read(path))
        context = context or data["context"]
        entries += data["benchmarks"]
    runs = {b["name"]: b for b in entries if b.get("run_type", "iteration") == "iteration"}
    medians = {b["run_name"]: b for b in entries
               if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median"}
    for name, median in medians.items():
        median["iterations"] = runs[name]["iterations"] if name in runs else median.get("iterations", 0)
    return context or {}, (medians or runs)


def micros(bench, key):
    value = bench[key]
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[bench.get("time_unit", "ns")]
    return value * scale


def fmt_us(value):
    if value >= 1000:
        return "{:,.0f}".format(value)
    if value >= 10:
        return "{:.1f}".format(value)
    return "{:.2f}".format(value)


def callgrind_by_object(path):
    """Self cost (first event, Ir) per object of a callgrind output file; call costs are inclusive and skipped."""
    names = {}
    totals = defaultdict(int)
    current = "?"
    skip_next = False
    for line in read(path).splitlines():
        if skip_next:
            skip_next = False
            continue
        if line.startswith("ob=") or line.startswith("cob="):
            # Compressed names: "(id) name" defines an id that later "ob=(id)" and "cob=(id)" lines share.
            match = re.match(r"c?ob=(?:\((\d+)\))?\s*(.*)", line)
            ident, name = match.group(1), match.group(2)
            if name and ident:
                names[ident] = name
            if line.startswith("ob="):
                current = name if name else names.get(ident, "?")
            continue
        if line.startswith("calls="):
            skip_next = True
            continue
        if line and (line[0].isdigit() or line[0] in "+-*"):
            fields = line.split()
            if len(fields) >= 2:
                totals[current] += int(fields[1])
    return totals


def layer_costs(path):
    by_object = callgrind_by_object(path)
    layers = {name: 0 for name, _ in LAYERS}
    layers["C/C++ runtime, libxml2, driver"] = 0
    for obj, cost in by_object.items():
        base = os.path.basename(obj)
        for name, prefix in LAYERS:
            if base.startswith(prefix):
                layers[name] += cost
                break
        else:
            layers["C/C++ runtime, libxml2, driver"] += cost
    return layers


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def counted(bench):
    value = bench.get("round_trips")
    return "**not counted**" if value is None else "%d" % value


def verdict(ok):
    return "met" if ok else "**not met**"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--results", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    context, benches = load_benchmarks(args.results)
    machine = machine_description(args.build)
    load_before = read(os.path.join(args.results, "load-before.txt")).strip()
    load_after = read(os.path.join(args.results, "load-after.txt")).strip()
    seconds_path = os.path.join(args.results, "benchmark-seconds.txt")
    seconds = read(seconds_path).strip() if os.path.exists(seconds_path) else "?"
    repetitions = max((b.get("repetitions", 1) for b in benches.values()), default=1)
    checks = []
    out = []

    out.append("# Performance\n")
    out.append("Measured by `make bench` (scripts/run-benchmarks.sh); every number below comes from the run that "
               "wrote this file. The benchmarks call the library's exports on the simulated Hyper-V host "
               "(src/HyperVSim) in one process.\n")
    out.append("## Machine\n")
    out.append(table(["", ""], [
        ["CPUs (nproc)", machine["cpus"]],
        ["CPU model", machine["cpu"]],
        ["Memory", machine["memory"]],
        ["System", machine["system"]],
        ["Compiler", machine["compiler"]],
        ["Build type", machine["build type"]],
        ["Run at", context.get("date", "?")],
        ["Load before", "`" + load_before + "`"],
        ["Load after", "`" + load_after + "`"],
        ["Benchmarks", "%s runs of each, interleaved with the other sizes of its family, median; %s s in all" % (repetitions, seconds)],
    ]))
    out.append("\nThe machine is shared with other builds: a load average above the number of CPUs means the "
               "wall-clock times (Time) include waiting for a CPU. CPU times are less affected and are the ones "
               "the scaling figures use; still, the other work takes cache and memory bandwidth, and figures of "
               "one run differ from the next by up to a third, so that a ratio near a 2x limit can pass in one "
               "run and fail in the next.\n")

    # Time per call.
    out.append("## Time per call on the default host\n")
    rows = []
    for name in ["BM_" + e for e in EXPORTS]:
        bench = benches.get(name)
        if bench:
            rows.append([name[3:], fmt_us(micros(bench, "real_time")), fmt_us(micros(bench, "cpu_time")),
                         bench["iterations"]])
    out.append(table(["Export", "Time (µs)", "CPU (µs)", "Iterations"], rows))
    out.append("\nThe default host: host system, management service, two switches, three Msvm_Memory "
               "instances, the resource pools. createVM makes a generation 2 machine with one adapter; "
               "setDiskImages attaches one image to a new generation 2 machine (adding its SCSI controller).\n")

    # Round trips.
    out.append("## Round trips against the required count\n")
    out.append("A round trip is a call that crosses to the WMI service on a real host: ConnectServer, "
               "OpenNamespace, GetObject, ExecQuery, ExecMethod and every IEnumWbemClassObject::Next (the last "
               "one, which reports the end, included). IWbemClassObject Get, Put, GetMethod and SpawnInstance "
               "work on the client's copy, CoCreateInstance of the locator and the text source and GetText are "
               "in-process, CoSetProxyBlanket only sets the proxy, and GetCallStatus and GetResultObject of a "
               "synchronous call have their answers already (the call's status and output parameters came back "
               "with ExecMethod): none of them is counted. They are counted by the simulated host's "
               "journal (its count of calls by operation, exact however many calls an export makes), one call "
               "of the export outside the timed loop.\n")
    rows = []
    all_equal = True
    for name, bench in benches.items():
        if "required" not in bench:
            continue
        base = name.split("/")[0]
        equal = bench.get("round_trips") == bench["required"]
        all_equal = all_equal and equal
        rows.append([name, counted(bench), "%d" % bench["required"], FORMULAS.get(base, ""),
                     "yes" if equal else "**no**"])
    out.append(table(["Benchmark", "Round trips", "Required", "Derivation", "Equal"], rows))
    out.append("\nThe building blocks: executeQuery = ExecQuery + one Next (2); getClassInstance = executeQuery "
               "(2); requestDefaultObject = two executeQuery + GetObject (5); addResourceSettings = ExecMethod + "
               "GetObject of the result (2); setVmRam and setCpuCores = GetObject + two executeQuery + ExecMethod "
               "(6 each); one network adapter = pool query 2 + requestDefaultObject 5 + addResourceSettings 2 + "
               "GetObject of the switch 1 + pool query 2 + requestDefaultObject 5 + ExecMethod 1 (18); one disk "
               "image = two times (pool query 2 + requestDefaultObject 5 + addResourceSettings 2) (18).\n")
    checks.append(("Every export's round trips equal the required count", all_equal))

    # Instructions by layer.
    out.append("## Instructions by layer\n")
    out.append("valgrind --tool=callgrind, one call of each export after a warm-up call in the same process "
               "(scripts/run-benchmarks.sh, bench/CallgrindDriver.cpp); self cost (Ir) summed by the object the "
               "code lies in. The simulated host's static parts (WQL, paths, CIM-XML) are linked into "
               "libHyperVSim.so; the C and C++ runtime and libxml2 are shown apart. Two runs, to show that the "
               "counts are stable.\n")
    rows = []
    for export in EXPORTS:
        for run in (1, 2):
            path = os.path.join(args.results, "callgrind", "%s.%d.out" % (export, run))
            if not os.path.exists(path):
                continue
            layers = layer_costs(path)
            total = sum(layers.values())
            library = layers["library"]
            rows.append([export, run] + ["{:,}".format(v) for v in layers.values()] +
                        ["{:,}".format(total), "%.1f %%" % (100.0 * library / total if total else 0)])
    header = ["Export", "Run", "Library", "Platform stand-in", "Simulated host", "Runtime, libxml2, driver",
              "Total", "Library share"]
    out.append(table(header, rows))
    out.append("")

    # Scaling per item.
    out.append("## Scaling per item\n")
    out.append("Cost per item = (CPU time at N - CPU time at 0) / N, so that the fixed part of a call (COM, "
               "connection, namespace) is not spread over the items. Flat means: the largest size's cost per "
               "item is within 2x of the smallest size's. At the smallest sizes every item is in the CPU's "
               "caches; at the largest, each item's data comes from main memory (for a switch about 1 KB: its "
               "path and 64-character name; for an Msvm_Memory instance its three values, each behind two "
               "pointers in the host's model), which a shared machine's other work makes slower still. The "
               "instructions spent per item do not grow with N; the difference between sizes is the time spent "
               "waiting for memory.\n")
    series = [("BM_switches", "retrieveAvailableNetworkAdapters, switches (names of 64 characters)"),
              ("BM_memory", "retrieveUsedMemory, Msvm_Memory instances"),
              ("BM_diskImages", "setDiskImages, images on a new generation 2 machine"),
              ("BM_adapters", "createVM, network adapters, on a host with 1,000 machines")]
    for prefix, title in series:
        points = []
        for name, bench in benches.items():
            if name.split("/")[0] == prefix:
                points.append((int(bench.get("items", 0)), bench))
        points.sort(key=lambda p: p[0])
        if not points:
            continue
        base = micros(points[0][1], "cpu_time") if points[0][0] == 0 else None
        rows = []
        per_item = []
        for items, bench in points:
            cpu = micros(bench, "cpu_time")
            cell = "-"
            if items > 0 and base is not None:
                value = (cpu - base) / items
                per_item.append(value)
                cell = fmt_us(value)
            rows.append(["{:,}".format(items), fmt_us(micros(bench, "real_time")), fmt_us(cpu), cell])
        out.append("### " + title + "\n")
        out.append(table(["N", "Time (µs)", "CPU (µs)", "CPU per item (µs)"], rows))
        if len(per_item) >= 2 and per_item[0] > 0:
            ratio = per_item[-1] / per_item[0]
            flat = 0.5 <= ratio <= 2.0
            checks.append(("Per item flat: " + title, flat))
            out.append("\nLargest / smallest cost per item: %.2f (%s).\n" % (ratio, verdict(flat)))
        else:
            out.append("")

    # Machines on the host.
    out.append("## A machine's lifecycle on an empty host and on one of 1,000 machines\n")
    empty, full = benches.get("BM_lifecycle/0"), benches.get("BM_lifecycle/1000")
    if empty and full:
        ratio = micros(full, "cpu_time") / micros(empty, "cpu_time")
        out.append(table(["Machines on the host", "Time (µs)", "CPU (µs)"], [
            ["0", fmt_us(micros(empty, "real_time")), fmt_us(micros(empty, "cpu_time"))],
            ["1,000", fmt_us(micros(full, "real_time")), fmt_us(micros(full, "cpu_time"))]]))
        ok = ratio <= 2.0
        checks.append(("Lifecycle on 1,000 machines within 2x of an empty host", ok))
        out.append("\nLifecycle = createVM (no adapter), startVM, stopVM, deleteVM. 1,000 machines / empty: "
                   "%.2f (%s).\n" % (ratio, verdict(ok)))

    # Threads.
    out.append("## Threads\n")
    out.append("One host, one or two threads calling at once (real time). retrieveUsedMemory walks 1,000 "
               "Msvm_Memory instances; the lifecycle is that of the previous section, each thread with its own "
               "machines.\n")
    rows = []
    for prefix, label, is_read in [("BM_threads_retrieveUsedMemory", "retrieveUsedMemory", True),
                                   ("BM_threads_lifecycle", "lifecycle", False)]:
        one = benches.get(prefix + "/real_time/threads:1")
        two = benches.get(prefix + "/real_time/threads:2")
        if not (one and two):
            continue
        speedup = two["items_per_second"] / one["items_per_second"]
        cpu_one, cpu_two = micros(one, "cpu_time"), micros(two, "cpu_time")
        rows.append([label, "%.1f" % one["items_per_second"], "%.1f" % two["items_per_second"], "%.2f" % speedup,
                     fmt_us(cpu_one), fmt_us(cpu_two), "%.2f" % (2 * cpu_one / cpu_two)])
        if is_read:
            checks.append(("Two threads give at least 1.5x the read throughput of one", speedup >= 1.5))
    out.append(table(["Work", "1 thread (calls/s)", "2 threads (calls/s)", "Speed-up", "CPU per call, 1 thread (µs)",
                      "CPU per call, 2 threads (µs)", "Speed-up the CPU time allows"], rows))
    out.append("\nWith two CPUs that other builds also use, the speed-up of two threads is bounded by the CPU "
               "time left to the benchmark; see the load averages above. The CPU time per call does not depend "
               "on that: when two threads need no more CPU per call than one, they do not wait for each other "
               "(locks, shared counters), and on two free CPUs they would give the speed-up in the last "
               "column (2 x the ratio of the CPU times).\n")

    out.append("## Summary\n")
    out.append(table(["Goal", "Result"], [[name, verdict(ok)] for name, ok in checks]))
    out.append("")

    out.append("## How to reproduce\n")
    out.append("```\nmake bench                         # all of the above, rewrites this file\n"
               "BENCH_MIN_TIME=1 make bench        # longer timed runs (default 0.2 s per benchmark)\n"
               "BENCH_REPETITIONS=9 make bench     # more runs of each benchmark (default 5; the median counts)\n"
               "BENCH_BUILD_DIR=build/mine make bench   # build and measure in another directory\n"
               "build/release/bin/velmora_bench --benchmark_filter=BM_memory   # one group\n```\n")
    out.append("Benchmarks live in bench/ (ExportBenchmarks.cpp: each export; ScaleBenchmarks.cpp: sizes and "
               "machines; ThreadBenchmarks.cpp: threads; CallgrindDriver.cpp: instruction counts). They are not "
               "part of `make test`. Debian's libbenchmark prints that it was built as DEBUG; that concerns the "
               "benchmark library's own bookkeeping, not the code measured, which is built RelWithDebInfo.\n")

    with open(args.output, "w", encoding="utf-8") as handle:
        handle.write("\n".join(out))


if __name__ == "__main__":
    main()
