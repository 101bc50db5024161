"""Python's side of the ODBC binding's file tests.

  make DB DONE     writes table people(id, name, score, born) into DB
  dump DB OUT      writes every row of table people, ordered by id, to OUT:
                   one line per row, fields separated by '|', NULL for None

OUT and DONE are written last and renamed into place, so that the caller,
which cannot see this process end, only reads finished files."""
import os
import sqlite3
import sys


def finish(path, text):
    with open(path + ".part", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".part", path)


def make(db, done):
    if os.path.exists(db):
        os.remove(db)
    con = sqlite3.connect(db)
    con.execute("CREATE TABLE people (id INTEGER, name TEXT, score DOUBLE, born DATE)")
    con.executemany("INSERT INTO people VALUES (?, ?, ?, ?)", [
        (1, "Müller 日本", 1.5, "2024-03-07"),
        (2, None, -0.25, None),
        (3, "Ærø – ‘quoted’", None, "1999-12-31"),
    ])
    con.commit()
    con.close()
    finish(done, "ok")


def dump(db, out):
    con = sqlite3.connect(db)
    rows = con.execute("SELECT id, name, score, born FROM people ORDER BY id").fetchall()
    con.close()
    lines = ["|".join("NULL" if v is None else str(v) for v in row) for row in rows]
    finish(out, "\n".join(lines) + "\n")


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2], sys.argv[3])
