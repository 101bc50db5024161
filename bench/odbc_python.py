"""The ODBC binding benchmark's Python side.

  make DB DONE     writes 100,000 rows (integer, text, double, date) into DB
  time DB OUT      reads every row with Python's sqlite3 (best of three warm
                   runs) and writes the seconds to OUT

Results are written to a temporary name and renamed, so that the caller,
which cannot see this process end, only reads finished files."""
import os
import sqlite3
import sys
import time

ROWS = 100000


def finish(path, text):
    with open(path + ".part", "w") as f:
        f.write(text)
    os.replace(path + ".part", path)


def make(db, done):
    if os.path.exists(db):
        os.remove(db)
    con = sqlite3.connect(db)
    con.execute("CREATE TABLE bench (i INTEGER, s TEXT, d DOUBLE, dt DATE)")
    con.executemany("INSERT INTO bench VALUES (?, ?, ?, ?)",
                    ((k, "name %d Müller" % k, k * 0.5,
                      "%04d-%02d-%02d" % (1990 + k % 30, 1 + k % 12, 1 + k % 28))
                     for k in range(1, ROWS + 1)))
    con.commit()
    con.close()
    finish(done, "ok")


def read_all(db):
    con = sqlite3.connect(db)
    n = 0
    for row in con.execute("SELECT i, s, d, dt FROM bench"):
        n += 1
    con.close()
    assert n == ROWS


def timing(db, out):
    read_all(db)
    best = 1e9
    for _ in range(3):
        start = time.perf_counter()
        read_all(db)
        best = min(best, time.perf_counter() - start)
    finish(out, "%.6f" % best)


if __name__ == "__main__":
    {"make": make, "time": timing}[sys.argv[1]](sys.argv[2], sys.argv[3])
