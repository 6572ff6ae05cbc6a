"""Reads the two morbidity tables of a data folder with python3-dbfread, as
a reader independent of ours, for the end-to-end test.

    read_tables.py DIR FIRST LAST           prints the number of records whose
                                            report date is in [FIRST, LAST]
    read_tables.py DIR FIRST LAST STAMP     also checks that exactly those
                                            records carry the stamp date and
                                            the right MMWR week and year;
                                            prints the problems, if any,
                                            after the count

Dates are YYYY-MM-DD.  Exit status 0 when the tables were read.
"""

import datetime
import sys

from dbfread import DBF


def mmwr_week_of(day):
    """(week, year): weeks run Sunday to Saturday, week 1 holds January 4."""
    def week1(year):
        jan4 = datetime.date(year, 1, 4)
        return jan4 - datetime.timedelta(days=(jan4.weekday() + 1) % 7)

    year = day.year
    if day < week1(year):
        year -= 1
    elif day >= week1(year + 1):
        year += 1
    return (day - week1(year)).days // 7 + 1, year


def main(argv):
    folder, first, last = argv[1], *(datetime.date.fromisoformat(a) for a in argv[2:4])
    stamp = datetime.date.fromisoformat(argv[4]) if len(argv) > 4 else None
    count = 0
    problems = []
    for table in ("MORBREPT", "MORBUPLD"):
        for number, record in enumerate(DBF(f"{folder}/{table}.DBF"), start=1):
            in_range = first <= record["REPT_DT"] <= last
            count += in_range
            if stamp is None:
                continue
            stamped = record["MORB_DW"] == stamp
            if in_range:
                week, year = mmwr_week_of(record["REPT_DT"])
                got = (record["MMWR_WEEK"], record["MMWR_YEAR"])
                if not stamped or got != (f"{week:02d}", str(year)):
                    problems.append(f"{table} #{number}: {got} stamped {record['MORB_DW']}")
            elif stamped:
                problems.append(f"{table} #{number}: outside the range but stamped")
    print(count)
    for line in problems[:10]:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
