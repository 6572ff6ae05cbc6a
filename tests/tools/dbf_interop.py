#!/usr/bin/python3
"""Independent reader and writer of table files for the interop tests.

  dbf_interop.py read TABLE    prints every record as read by dbfread
  dbf_interop.py write TABLE   writes a table with the dbf package and
                               prints the records it wrote

Each record is one line: the deletion mark, then field=value pairs joined
by '|', values normalised (text without trailing blanks, numbers with six
decimals, dates YYYYMMDD, logicals T/F, empty for nothing).
"""
import datetime
import sys


def norm(v):
    if v is None:
        return ''
    if isinstance(v, bool):
        return 'T' if v else 'F'
    if isinstance(v, (int, float)):
        return '%.6f' % v
    if isinstance(v, datetime.date):
        return v.strftime('%Y%m%d')
    if isinstance(v, bytes):
        v = v.decode('latin-1')
    return str(v).rstrip(' ')


def line(deleted, pairs):
    return ('*' if deleted else ' ') + '|'.join('%s=%s' % (k, norm(v)) for k, v in pairs)


def read(path):
    import dbfread
    table = dbfread.DBF(path, load=True, encoding='latin-1', ignore_missing_memofile=True)
    rows = [(False, r) for r in table.records] + [(True, r) for r in table.deleted]
    print('count=%d' % (len(table.records) + len(table.deleted)))
    for deleted, rec in rows:
        print(line(deleted, rec.items()))


def write(path):
    import dbf
    table = dbf.Table(path, 'NAME C(10); QTY N(8,2); RATIO F(12,4); BORN D; OK L; N0 N(5,0)',
                      dbf_type='db3', codepage='cp1252')
    table.open(dbf.READ_WRITE)
    rows = [
        ('alpha', 12.5, 0.25, datetime.date(2026, 2, 7), True, 7),
        ('beta', -3.75, -1234.5678, datetime.date(1999, 12, 31), False, -42),
        ('gamma', 0, 0, None, None, 0),
        ('d\xe9j\xe0', 99999.99, 3.1416, datetime.date(2000, 2, 29), True, 99999),
    ]
    names = ['NAME', 'QTY', 'RATIO', 'BORN', 'OK', 'N0']
    for r in rows:
        table.append(dict((n.lower(), v) for n, v in zip(names, r) if v is not None))
    table.close()
    print('count=%d' % len(rows))
    for r in rows:
        print(line(False, zip(names, r)))


if __name__ == '__main__':
    # Bytes out as they are stored (single-byte code page), like our side.
    sys.stdout.reconfigure(encoding='latin-1')
    {'read': read, 'write': write}[sys.argv[1]](sys.argv[2])
