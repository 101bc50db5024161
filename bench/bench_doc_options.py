"""Reads and writes the 50 settings that bench_doc_options.cpp keeps, with
configparser: a read of the file into typed values (as read_opt gives them:
numbers, the font's bytes, rectangles and lists), and a changed-value write to
a new file beside it with flush, os.fsync and os.replace.  The values are the
benchmark's own.  Writes seconds per read and per write (best of three runs)
to the file named by the first argument."""
import configparser
import os
import sys
import tempfile
import time

folder = tempfile.mkdtemp()
target = os.path.join(folder, "opt.ini")

KINDS = ["s", "i", "u64", "r", "rect", "t", "sl", "il", "boo"]


def ints(v):
    return [int(x) for x in v.split(",")]


TYPED = {"s": str, "i": int, "u64": int, "r": float, "rect": lambda v: tuple(ints(v)),
         "t": int, "sl": lambda v: v.split(","), "il": ints, "boo": lambda v: v == "true"}


def store(boundary):
    c = configparser.ConfigParser(interpolation=None)
    c["fixed"] = {"days": "7", "shortest": "30", "font": "00" * 92,
                  "base": "C:\\", "publish": "C:\\", "boundary": str(boundary)}
    k = {}
    for i in range(44):
        kind = i % 9
        k["%s.key%d" % (KINDS[kind], i)] = [
            "text", str(-i), str(2 ** 63 + i), repr(i / 3), "1,2,300,%d" % i,
            str(133000000000000000 + i), "a,b,c", "10,20", "true"][kind]
    c["keyed"] = k
    return c


def save(c):
    with open(target + ".new", "w", encoding="cp1252") as f:
        c.write(f)
        f.flush()
        os.fsync(f.fileno())
    os.replace(target + ".new", target)


def read():
    c = configparser.ConfigParser(interpolation=None)
    c.read(target, encoding="cp1252")
    f = dict(c.items("fixed", raw=True))
    fixed = (int(f["days"]), int(f["shortest"]), bytes.fromhex(f["font"]), f["base"],
             f["publish"], int(f["boundary"]))
    keyed = []
    for name, value in c.items("keyed", raw=True):
        kind, key = name.split(".", 1)
        keyed.append((kind, key, TYPED[kind](value)))
    return fixed, keyed


def best(f, n):
    b = 1e9
    for _ in range(3):
        start = time.perf_counter()
        for i in range(n):
            f(i)
        b = min(b, (time.perf_counter() - start) / n)
    return b


c = store(0)
save(c)
assert len(read()[1]) == 44
per_read = best(lambda i: read(), 300)
per_save = best(lambda i: (c["fixed"].__setitem__("boundary", str(i)), save(c)), 300)
with open(sys.argv[1], "w") as out:
    out.write("%.9f %.9f\n" % (per_read, per_save))
os.remove(target)
os.rmdir(folder)
