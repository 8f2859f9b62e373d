#!/usr/bin/env python3
"""Opens and sorts the setup window over many records, paired with a bare Qt start in one run.

Usage:
  bench/setup_window_bench.py [build-dir] [bare-runs]
      Runs bench/bare_qt `bare-runs` times (5 by default) for the processor time of a bare Qt
      Widgets start, then bench_setup_window: opening the window (fill, stored sort "Next"
      descending, first paint) over 10,000 and 100,000 records and a click on the "Next" heading
      over 100,000 and 1,000,000 rows in one process, and opening it over 1,000,000 records in a
      process of its own, whose peak memory (records included) is then its own. The same opening
      over full names (first and family name, some beyond ASCII) runs beside them, for 1,000,000
      records in a process of its own too. Prints processor times, their ratio to the bare start,
      peak memory, the targets and the load average.
"""
import json
import os
import statistics
import subprocess
import sys
import time

# (benchmark, target in ms of processor time or None, what the target is)
TARGETS = {
    "OpenSetupWindow/100000": (500, "<= 0.5 s cpu"),
    "OpenSetupWindow/1000000": (4000, "<= 4 s cpu"),
    "SortByNextHeading/1000000": (500, "<= 0.5 s"),
}
PEAK_TARGET_MIB = 300


def load():
    return "%.2f %.2f %.2f" % os.getloadavg()


def bare_qt_cpu(binary, env):
    """Processor time (user and system) of one bare Qt start, in milliseconds."""
    process = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError("bare_qt failed")
    return (usage.ru_utime + usage.ru_stime) * 1000.0


def benchmarks(binary, env, pattern):
    out = subprocess.run([binary, "--benchmark_filter=" + pattern, "--benchmark_format=json"],
                         env=env, check=True, capture_output=True, text=True).stdout
    if not out.strip():
        return []  # an older build without these benchmarks
    results = json.loads(out)["benchmarks"]
    for r in results:
        if r.get("error_occurred"):
            raise RuntimeError("%s: %s" % (r["name"], r.get("error_message")))
        if r["time_unit"] != "ms":
            raise RuntimeError("unexpected unit " + r["time_unit"])
    return results


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    bare = os.path.join(build, "bench", "bare_qt")
    bench = os.path.join(build, "bench", "bench_setup_window")

    print("load average before: %s" % load())
    started = time.time()
    bare_ms = statistics.median(bare_qt_cpu(bare, env) for _ in range(runs))
    results = benchmarks(bench, env,
                         r"OpenSetupWindow(FullNames)?/(10000|100000)$|SortByNextHeading")
    results += benchmarks(bench, env, r"OpenSetupWindow/1000000$")
    results += benchmarks(bench, env, r"OpenSetupWindowFullNames/1000000$")
    print("load average after:  %s (%.0f s)" % (load(), time.time() - started))
    print("bare Qt start: %.1f ms cpu (median of %d)" % (bare_ms, runs))
    print("%-32s %10s %8s %10s  %s" % ("benchmark", "cpu ms", "x bare", "peak MiB", "target"))
    for r in results:
        name = r["name"]
        cpu = r["cpu_time"]
        peak = r.get("peak_rss_MiB", r.get("peak_rss_MB"))  # the name older builds gave it
        verdict = ""
        if name in TARGETS:
            limit, text = TARGETS[name]
            verdict = "%s: %s" % (text, "met" if cpu <= limit else "NOT met")
        if name == "OpenSetupWindow/1000000" and peak is not None:
            verdict += ", <= %d MiB: %s" % (PEAK_TARGET_MIB,
                                            "met" if peak <= PEAK_TARGET_MIB else "NOT met")
        print("%-32s %10.1f %8.1f %10s  %s" % (name, cpu, cpu / bare_ms if bare_ms else 0,
                                               "%.1f" % peak if peak is not None else "-",
                                               verdict))


if __name__ == "__main__":
    main()
