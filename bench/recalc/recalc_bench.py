"""Times the MMWR recalculation of the patch against the same job done by
SQLite, on the same rows, for each range of report dates.

For each range:
  1. the demo database is copied to a fresh folder and flushed to disk (not
     timed);
  2. morbhost runs the patch headless over the range (timed: the whole
     process, start-up and closing the tables included), its memory
     sampled from /proc/<pid>/status every 5 ms while it runs;
  3. the changed tables are read back with `dbftool dump` and every record
     is checked: a record in the range carries the right week and year and
     today's stamp, a record outside it is untouched (not timed);
  4. SQLite does the same updates on a fresh copy of its database (timed:
     the transaction, from BEGIN to the durable COMMIT).

Each range is run --repeat times (a fresh copy each time) and the fastest
time of each side counts: the machine is shared, and the slower runs measure
the neighbours more than the programs.  Memory is the highest seen.

Run through run.sh, which builds the programs and makes the demo database.
"""

import argparse
import csv
import datetime
import io
import os
import shutil
import subprocess
import sys
import time

import sqlite_recalc

RANGES = {
    "full": (datetime.date(2000, 1, 1), datetime.date(2025, 12, 31)),
    "year": (datetime.date(2024, 1, 1), datetime.date(2024, 12, 31)),
    # Nothing in range: what start-up, opening, seeking, logging and closing
    # cost on their own.
    "empty": (datetime.date(1990, 1, 1), datetime.date(1990, 1, 2)),
}
TABLES = ("MORBREPT", "MORBUPLD")
BAGS = {"MORBREPT": "MOR01.CDX", "MORBUPLD": "MUP01.CDX"}


def keys_for(first, last):
    """The key script of one run: any key at the warning, the two dates
    typed as digits (the fields move on by themselves when full), a key at
    the count box, Esc on the form."""
    return "{ENTER}" + first.strftime("%m%d%Y") + last.strftime("%m%d%Y") + "{ENTER}{ESC}"


def fresh_copy(source, target):
    if os.path.exists(target):
        shutil.rmtree(target)
    shutil.copytree(source, target)
    os.sync()  # so the timed run's flush does not also write the copy


def read_status(pid):
    """The memory lines of /proc/<pid>/status in KiB, {} once it is gone."""
    fields = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                name, _, rest = line.partition(":")
                if name in ("VmHWM", "VmRSS", "RssAnon", "RssFile", "RssShmem"):
                    fields[name] = int(rest.split()[0])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return fields


def run_morbhost(bin_dir, data_dir, first, last):
    """Runs the patch; returns (seconds, memory dict in KiB)."""
    command = [os.path.join(bin_dir, "morbhost"), "--headless", "--data", data_dir,
               "--keys", keys_for(first, last)]
    peak = {"RssAnon": 0, "RssFile": 0, "VmHWM": 0}
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    while True:
        status = read_status(process.pid)
        for name in peak:
            peak[name] = max(peak[name], status.get(name, 0))
        # Reaped here, so the last sample above is the final high-water
        # mark.  (wait4's ru_maxrss is no use: it counts the interpreter's
        # pages the child had between fork and exec.)
        pid, code, _ = os.wait4(process.pid, os.WNOHANG)
        if pid != 0:
            break
        time.sleep(0.005)
    seconds = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(code)
    out, err = process.communicate()
    if process.returncode != 0:
        raise RuntimeError(f"morbhost exited with {process.returncode}: {err.decode()}")
    return seconds, peak


def check_tables(bin_dir, data_dir, first, last, stamp_dates, check_bags):
    """Reads both tables back with dbftool and returns the number of records
    in the range; raises on any record with a wrong week, year or stamp."""
    in_range = 0
    dbftool = os.path.join(bin_dir, "dbftool")
    for table in TABLES:
        path = os.path.join(data_dir, table + ".DBF")
        dump = subprocess.run([dbftool, "dump", path, "--csv"], check=True,
                              capture_output=True, text=True).stdout
        for row in csv.DictReader(io.StringIO(dump)):
            rept = datetime.date.fromisoformat(row["REPT_DT"])
            stamped = row["MORB_DW"] in stamp_dates
            if first <= rept <= last:
                in_range += 1
                week, year = sqlite_recalc.mmwr_week_of(rept)
                if not stamped or row["MMWR_WEEK"] != f"{week:02d}" or row["MMWR_YEAR"] != str(year):
                    raise RuntimeError(f"{table} record {row['RECNO']} not recalculated: {row}")
            elif stamped:
                raise RuntimeError(f"{table} record {row['RECNO']} outside the range changed: {row}")
        if check_bags:
            subprocess.run([dbftool, "check", path, os.path.join(data_dir, BAGS[table])],
                           check=True, capture_output=True)
    return in_range


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def seconds(times):
    """The fastest of the times, then all of them in brackets when there are
    several."""
    best = f"{min(times):.3f}"
    if len(times) > 1:
        best += " [" + " ".join(f"{t:.3f}" for t in times) + "]"
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="folder of morbhost and dbftool")
    parser.add_argument("--demo", required=True, help="the demo database (left unchanged)")
    parser.add_argument("--work", required=True, help="scratch folder for the copies")
    parser.add_argument("--ranges", default="full,year,empty",
                        help="comma-separated, of: " + ", ".join(RANGES))
    parser.add_argument("--repeat", type=int, default=3,
                        help="runs of each side per range; the fastest counts")
    parser.add_argument("--no-bag-check", action="store_true",
                        help="skip `dbftool check` of the bags after each run")
    args = parser.parse_args()

    os.makedirs(args.work, exist_ok=True)
    sqlite_recalc.check_mmwr_sql(datetime.date(1999, 12, 1), datetime.date(2026, 1, 31))
    template = os.path.join(args.work, "template.sqlite")
    newest_table = max(os.path.getmtime(os.path.join(args.demo, t + ".DBF")) for t in TABLES)
    if not os.path.exists(template) or os.path.getmtime(template) < newest_table:
        print("loading the tables into SQLite...", flush=True)
        rows = sqlite_recalc.build_database(args.demo, template)
        print(f"  {rows} rows", flush=True)

    results = []
    for name in args.ranges.split(","):
        first, last = RANGES[name]
        data = os.path.join(args.work, "data")
        ours_times, lite_times = [], []
        memory = {}
        for _ in range(args.repeat):
            fresh_copy(args.demo, data)
            before = datetime.date.today()
            ours_s, used = run_morbhost(args.bin, data, first, last)
            stamps = {before.isoformat(), datetime.date.today().isoformat()}
            records = check_tables(args.bin, data, first, last, stamps, not args.no_bag_check)
            lite_s, lite_rows = sqlite_recalc.timed_update(
                template, os.path.join(args.work, "run.sqlite"), first.isoformat(),
                last.isoformat())
            if lite_rows != records:
                raise RuntimeError(f"SQLite updated {lite_rows} rows, the range holds {records}")
            ours_times.append(ours_s)
            lite_times.append(lite_s)
            memory = {k: max(v, memory.get(k, 0)) for k, v in used.items()}
            print(f"{name}: {records} records, morbhost {ours_s:.3f} s, SQLite {lite_s:.3f} s",
                  flush=True)
        results.append((name, first, last, records, ours_times, lite_times, memory))

    print()
    print(f"{'range':<6} {'dates':<23} {'records':>9} {'morbhost rec/s':>15} "
          f"{'SQLite rec/s':>13} {'ratio':>6}")
    for name, first, last, records, ours_times, lite_times, memory in results:
        ours_s, lite_s = min(ours_times), min(lite_times)
        ours_rate = records / ours_s
        lite_rate = records / lite_s
        ratio = f"{ours_rate / lite_rate:6.2f}" if records else "     -"
        print(f"{name:<6} {first} - {last} {records:>9} {ours_rate:>15,.0f} "
              f"{lite_rate:>13,.0f} {ratio}")
        print(f"{'':<6} seconds: morbhost {seconds(ours_times)} (whole process), "
              f"SQLite {seconds(lite_times)} (transaction)")
        print(f"{'':<6} morbhost memory: peak resident {mib(memory['VmHWM'])}, "
              f"anonymous (private) {mib(memory['RssAnon'])}, "
              f"file-backed {mib(memory['RssFile'])} (sampled peaks)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
