"""The recalculation done by SQLite, for comparison with the patch.

The rows of MORBREPT.DBF and MORBUPLD.DBF are loaded (with python3-dbfread)
into an SQLite database that carries the same indexes as the two order bags
(see tools/demo_database.cc for the tags create-demo builds).  A timed run
then does what the patch does: one UPDATE per table over a range of report
dates, the MMWR week and year computed in SQL, the stamp date and time set,
both statements in one transaction made durable at the commit.

Used by recalc_bench.py; can also be run alone:
    /usr/bin/python3 sqlite_recalc.py DATA_DIR WORK_DIR 2000-01-01 2025-12-31
"""

import datetime
import os
import shutil
import sqlite3
import sys
import time

# The tags of the two order bags, as SQLite index expressions.  DTOS(date)
# is the date without its dashes; a plain date column sorts the same way, so
# the report date is indexed as the column itself (which lets the UPDATE's
# BETWEEN use it).
BAG_INDEXES = {
    "morbrept": [
        ("case_id", "case_id"),
        ("stcounty", "state || county"),
        ("event", "event || replace(event_dt, '-', '')"),
        ("mmwr", "mmwr_year || mmwr_week"),
        ("rept_dt", "rept_dt"),
    ],
    "morbupld": [
        ("rept_dt", "rept_dt"),
        ("mmwr", "mmwr_year || mmwr_week"),
        ("case_id", "case_id"),
    ],
}

# The Wednesday of the Sunday-to-Saturday week that holds rept_dt.  Its
# calendar year is the MMWR year and its day of the year gives the week:
# week 1 is the week that holds January 4, whose Wednesday falls on January
# 1 to 7.
_WEDNESDAY = "date(rept_dt, (3 - CAST(strftime('%w', rept_dt) AS INTEGER)) || ' days')"
MMWR_WEEK_SQL = f"printf('%02d', (CAST(strftime('%j', {_WEDNESDAY}) AS INTEGER) + 6) / 7)"
MMWR_YEAR_SQL = f"strftime('%Y', {_WEDNESDAY})"

UPDATE_SQL = (
    "UPDATE {table} SET mmwr_week = " + MMWR_WEEK_SQL + ", mmwr_year = " + MMWR_YEAR_SQL +
    ", morb_dw = ?, morb_tw = ? WHERE rept_dt BETWEEN ? AND ?")


def _sql_value(value):
    if isinstance(value, datetime.date):
        return value.isoformat()
    if isinstance(value, str):
        return value.rstrip()
    return value


def build_database(data_dir, path):
    """Creates the SQLite database at `path` from the two tables of
    data_dir, with the bags' indexes.  Returns the number of rows loaded."""
    from dbfread import DBF  # python3-dbfread, Debian's package

    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    total = 0
    for table in ("morbrept", "morbupld"):
        dbf = DBF(os.path.join(data_dir, table.upper() + ".DBF"),
                  recfactory=lambda items: tuple(_sql_value(v) for _, v in items))
        columns = [f.name.lower() for f in dbf.fields]
        types = {"C": "TEXT", "D": "TEXT", "N": "NUMERIC"}
        db.execute(f"CREATE TABLE {table} (" + ", ".join(
            f"{name} {types.get(f.type, 'TEXT')}" for name, f in zip(columns, dbf.fields)) + ")")
        marks = ", ".join("?" * len(columns))
        db.executemany(f"INSERT INTO {table} VALUES ({marks})", iter(dbf))
        for tag, expression in BAG_INDEXES[table]:
            db.execute(f"CREATE INDEX {table}_{tag} ON {table} ({expression})")
        total += db.execute(f"SELECT count(*) FROM {table}").fetchone()[0]
    db.commit()
    db.close()
    return total


def mmwr_week_of(day):
    """MMWR (week, year) of a date, computed from January 4 in Python, to
    check the SQL expressions against."""
    def week1(year):
        jan4 = datetime.date(year, 1, 4)
        return jan4 - datetime.timedelta(days=(jan4.weekday() + 1) % 7)

    year = day.year
    if day < week1(year):
        year -= 1
    elif day >= week1(year + 1):
        year += 1
    return (day - week1(year)).days // 7 + 1, year


def check_mmwr_sql(first, last):
    """Raises when the SQL week and year disagree with mmwr_week_of on any
    day from `first` to `last` (so a wrong formula is never timed)."""
    db = sqlite3.connect(":memory:")
    day = first
    while day <= last:
        week, year = db.execute(
            f"SELECT {MMWR_WEEK_SQL}, {MMWR_YEAR_SQL} FROM (SELECT ? AS rept_dt)",
            (day.isoformat(),)).fetchone()
        expected = mmwr_week_of(day)
        if (week, year) != (f"{expected[0]:02d}", str(expected[1])):
            raise RuntimeError(f"SQL MMWR of {day}: {week}/{year}, expected {expected}")
        day += datetime.timedelta(days=1)
    db.close()


def timed_update(template, path, first, last):
    """Copies the template database to `path` and flushes it to disk (not
    timed), then times the
    recalculation of [first, last] (ISO dates).  Returns (seconds, rows)."""
    shutil.copyfile(template, path)
    for suffix in ("-journal", "-wal"):
        if os.path.exists(path + suffix):
            os.remove(path + suffix)
    os.sync()  # so the timed commit does not also write the copy
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA synchronous = FULL")
    now = datetime.datetime.now()
    stamp = (now.date().isoformat(), now.strftime("%H:%M:%S"))
    start = time.perf_counter()
    db.execute("BEGIN")
    rows = 0
    for table in ("morbrept", "morbupld"):
        rows += db.execute(UPDATE_SQL.format(table=table), stamp + (first, last)).rowcount
    db.execute("COMMIT")
    seconds = time.perf_counter() - start
    db.close()
    return seconds, rows


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    data_dir, work_dir, first, last = argv[1:]
    os.makedirs(work_dir, exist_ok=True)
    template = os.path.join(work_dir, "template.sqlite")
    check_mmwr_sql(datetime.date(1999, 12, 1), datetime.date(2026, 1, 31))
    print("loaded", build_database(data_dir, template), "rows")
    seconds, rows = timed_update(template, os.path.join(work_dir, "run.sqlite"), first, last)
    print(f"{rows} rows in {seconds:.3f} s: {rows / seconds:,.0f} rows/s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
