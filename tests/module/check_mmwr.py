#!/usr/bin/python3
"""Reads a morbidity table with an independent reader (python3-dbfread) and
checks the MMWR week and year of every record stamped on the given day.

usage: check_mmwr.py TABLE.DBF YYYYMMDD
Prints "stamped=N wrong=M" and one line per wrong record; exit 1 if any is wrong.
"""
import datetime
import sys

import dbfread


def week1_start(year):
    # Week 1 is the Sunday-to-Saturday week that holds January 4.
    jan4 = datetime.date(year, 1, 4)
    return jan4 - datetime.timedelta(days=(jan4.weekday() + 1) % 7)


def mmwr(day):
    year = day.year
    if day < week1_start(year):
        year -= 1
    elif day >= week1_start(year + 1):
        year += 1
    week = (day - week1_start(year)).days // 7 + 1
    return "%02d" % week, "%04d" % year


def main():
    table, stamp = sys.argv[1], sys.argv[2]
    stamp_day = datetime.datetime.strptime(stamp, "%Y%m%d").date()
    stamped = wrong = 0
    for i, rec in enumerate(dbfread.DBF(table, char_decode_errors="replace"), 1):
        if rec["MORB_DW"] != stamp_day:
            continue
        stamped += 1
        want = mmwr(rec["REPT_DT"])
        got = (rec["MMWR_WEEK"], rec["MMWR_YEAR"])
        if got != want:
            wrong += 1
            print("record %d: %s has %s, expected %s" % (i, rec["REPT_DT"], got, want))
    print("stamped=%d wrong=%d" % (stamped, wrong))
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
