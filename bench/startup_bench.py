#!/usr/bin/env python3
"""Times the log-on run of kivo that finds nothing due, against a bare Qt Widgets program.

Usage: bench/startup_bench.py [build-dir] [records] [runs] [--new-day]
Generates a records file of `records` lines of which none is due today, runs both programs
offscreen `runs` times each in a scratch folder, and prints median wall times and peak memory.
Every run after the first is a second start on the same day, which changes no stored setting.
With --new-day each kivo run finds "lastrun" set to an earlier day, as the first log-on of a day
does, so that it writes its settings back to disk.
"""
import datetime
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def make_records(path, count, today):
    rnd = random.Random(7)
    with open(path, "wb") as f:
        f.write(b"# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, "
                b"EMAIL, DONTPRINT, LEAPLING\r\n")
        for i in range(count):
            while True:
                month, day = rnd.randint(1, 12), rnd.randint(1, 28)
                if (month, day) != (today.month, today.day):
                    break
            # Advance 0: due only on the day itself, which none of them is.
            line = "Person %d,%02d%02d%04d,%d,-1,0,%d,0,p%d@example.org,0,1,\r\n" % (
                i, day, month, rnd.randint(1930, 2020), rnd.randint(0, 31), rnd.randint(0, 3), i)
            f.write(line.encode())


def set_last_run(settings_file, key):
    # Outside the timed part: the next run then sees a day that is not today.
    with open(settings_file) as f:
        lines = f.read().splitlines()
    with open(settings_file, "w") as f:
        for line in lines:
            f.write(("lastrun=%s" % key if line.startswith("lastrun=") else line) + "\n")


def run(cmd, cwd, env, before=None):
    if before:
        before()
    start = time.perf_counter()
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    subprocess.run(cmd, cwd=cwd, env=env, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    return wall, before


def peak_rss_kb(cmd, cwd, env, before=None):
    if before:
        before()
    # ru_maxrss of RUSAGE_CHILDREN is the largest child so far; measure each program in a child
    # python of its own so the figures do not mix.
    code = ("import resource,subprocess,sys;subprocess.run(sys.argv[1:],check=True,"
            "stdout=subprocess.DEVNULL);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", code] + cmd, cwd=cwd, env=env, check=True,
                         capture_output=True, text=True).stdout
    return int(out.strip())


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    new_day = "--new-day" in sys.argv[1:]
    build = args[0] if len(args) > 0 else "build"
    count = int(args[1]) if len(args) > 1 else 100000
    runs = int(args[2]) if len(args) > 2 else 15
    kivo = os.path.abspath(os.path.join(build, "app", "kivo"))
    bare = os.path.abspath(os.path.join(build, "bench", "bare_qt"))
    with tempfile.TemporaryDirectory() as scratch:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=scratch,
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                   XDG_DATA_HOME=os.path.join(scratch, "data"))
        make_records(os.path.join(scratch, "kivos.ini"), count, datetime.date.today())
        # Settings exist, as on every log-on after the first.
        subprocess.run([kivo], cwd=scratch, env=env, check=True)
        settings_file = os.path.join(scratch, "config", "Velmik", "kivo.conf")
        yesterday = (datetime.date.today() - datetime.timedelta(days=1)).strftime("%Y%m%d")
        results = {}
        for name, cmd in (("bare Qt", [bare]), ("kivo", [kivo])):
            before = None
            if new_day and name == "kivo":
                before = lambda: set_last_run(settings_file, yesterday)
            run(cmd, scratch, env, before)  # warm the caches
            walls = []
            for _ in range(runs):
                walls.append(run(cmd, scratch, env, before)[0])
            results[name] = (statistics.median(walls), peak_rss_kb(cmd, scratch, env, before))
        for name, (wall, rss) in results.items():
            print("%-8s median %.1f ms  peak %.1f MB" % (name, wall * 1000, rss / 1024))
        ratio = results["kivo"][0] / results["bare Qt"][0]
        print("kivo / bare Qt: %.2f (records: %d, runs: %d%s)"
              % (ratio, count, runs, ", new day" if new_day else ""))


if __name__ == "__main__":
    main()
