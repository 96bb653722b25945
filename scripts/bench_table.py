"""Reads what scripts/bench.sh printed and gives the summary lines and the figures table of
docs/development.md; with --write FILE the table between the markers of FILE is replaced."""
import datetime
import os
import re
import statistics
import subprocess
import sys

BEGIN, END = "<!-- table written by scripts/bench.sh -->", "<!-- end of the table -->"
NUMBER = r"([-+]?[0-9.]+)"
LATENCY = re.compile(r"\(a\) latency.*?p50 %s \(floor %s, distance %s.*?p99 %s \(floor %s, distance %s" % ((NUMBER,) * 6))
PIPELINING = re.compile(r"\(e\) 8 clients pipelining.*?: %s requests/s(?:.*?service CPU %s ms)?" % (NUMBER, NUMBER))
MEMORY = re.compile(r"\(c\) .*\(growth %s MiB.*threads (\d+) -> (\d+)" % NUMBER)
IDLE = re.compile(r"\(d\) idle CPU over 10 s: .* = %s %%" % NUMBER)
FLOOD = re.compile(r"\(f\) .*median %s s.*p90 %s s, max %s s" % ((NUMBER,) * 3))
SECTION = re.compile(r"^== (native|Windows program under Wine), (?:run \d+ of \d+|session \d+ of \d+|flood) \(load ([0-9.]+)")


def span(values, digits=3, signed=False):
    form = "%+.*f" if signed else "%.*f"
    low, high, middle = min(values), max(values), statistics.median(values)
    text = form % (digits, low) if low == high else "%s to %s" % (form % (digits, low), form % (digits, high))
    return text + (" (median %s)" % (form % (digits, middle)) if len(values) > 2 else "")


def read(lines):
    platforms = {"native": {}, "Windows program under Wine": {}}
    current, loads = None, []
    for line in lines:
        section = SECTION.match(line)
        if section:
            current = platforms[section.group(1)]
            loads.append(float(section.group(2)))
            continue
        for name, pattern in (("latency", LATENCY), ("pipelining", PIPELINING), ("memory", MEMORY), ("idle", IDLE),
                              ("flood", FLOOD)):
            match = pattern.search(line)
            if match and current is not None:
                current.setdefault(name, []).append(tuple(float(g) for g in match.groups() if g is not None))
    return platforms, loads


def wine_version():
    for command in ("wine", "/usr/lib/wine/wine64"):
        try:
            version = subprocess.run([command, "--version"], capture_output=True, text=True, timeout=30).stdout
        except (OSError, subprocess.SubprocessError):
            continue
        if version.strip():
            return "Windows build under " + version.strip()
    return "Windows build under Wine"


def table(platforms, loads):
    machine = "%d cores, load %.1f to %.1f" % (os.cpu_count(), min(loads), max(loads)) if loads else "?"
    date = datetime.date.today().isoformat()
    rows, summary = [], []
    names = {"native": ("Linux", 0.01, 0.03), "Windows program under Wine": (wine_version(), 0.02, 0.05)}
    for platform, figures in platforms.items():
        title, target50, target99 = names[platform]
        latency = figures.get("latency", [])
        if latency:
            p50 = [row[2] for row in latency]
            p99 = [row[5] for row in latency]
            label = "`light_bench` (a), %s, %d run%s" % (title, len(latency), "s" if len(latency) > 1 else "")
            rows.append((label, "p50 minus the floor", span(p50, signed=True), "within %.2f" % target50))
            rows.append((label, "p99 minus the floor", span(p99, signed=True), "within %.2f" % target99))
            rows.append((label, "floor p50", span([row[1] for row in latency]), "—"))
            summary.append("%s, distance from the floor over %d run(s): p50 best %+.3f median %+.3f (target <= %+.2f), "
                           "p99 best %+.3f median %+.3f (target <= %+.2f)" %
                           (platform if platform != "native" else "Linux", len(latency), min(p50),
                            statistics.median(p50), target50, min(p99), statistics.median(p99), target99))
        pipelining = figures.get("pipelining", [])
        if pipelining:
            label = "`light_bench` (e), eight pipelining clients, %s" % title
            rows.append((label, "requests per second", span([row[0] for row in pipelining], 1), "floor 20"))
            cpu = [row[1] for row in pipelining if len(row) > 1]
            if cpu:
                rows.append((label, "service CPU per request, ms", span(cpu, 2), "—"))
        for row in figures.get("memory", []):
            rows.append(("`light_bench` (c), 50,000 connections, %s" % title, "resident growth, MiB; threads",
                         "%.2f; %d -> %d" % row, "under 2; back to idle"))
        for row in figures.get("idle", []):
            rows.append(("`light_bench` (d), %s" % title, "idle CPU, % of one core", "%.2f" % row[0], "under 1"))
        for row in figures.get("flood", []):
            rows.append(("`light_bench --flood 20`, %s" % title, "time to the answer, s",
                         "median %.3f, p90 %.3f, max %.3f" % row, "median at most 0.5"))
    lines = ["| Benchmark | Figure | Measured | Target | Machine | Date |", "|---|---|---|---|---|---|"]
    lines += ["| %s | %s | %s | %s | %s | %s |" % (row + (machine, date)) for row in rows]
    return summary, lines


def main():
    arguments = sys.argv[1:]
    target = None
    if len(arguments) == 3 and arguments[1] == "--write":
        target = arguments[2]
    elif len(arguments) != 1:
        sys.exit("usage: bench_table.py LOG [--write FILE]")
    with open(arguments[0], encoding="utf-8", errors="replace") as log:
        summary, lines = table(*read(log))
    print("\n".join(summary + [""] + lines))
    if target:
        text = open(target, encoding="utf-8").read()
        begin, end = text.index(BEGIN) + len(BEGIN), text.index(END)
        with open(target, "w", encoding="utf-8") as out:
            out.write(text[:begin] + "\n" + "\n".join(lines) + "\n" + text[end:])
        print("written into " + target)


main()
