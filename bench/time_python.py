"""Python's strftime and strptime of one date and time, in seconds per call
(best of three runs), written to the file named by the first argument."""
import os
import sys
import time
from datetime import datetime

t = datetime(2004, 2, 29, 13, 5, 7)
text = "2004-02-29 13:05:07"
picture = "%Y-%m-%d %H:%M:%S"
datetime.strptime(text, picture)


def best(f, n):
    b = 1e9
    for _ in range(3):
        start = time.perf_counter()
        for _ in range(n):
            f()
        b = min(b, (time.perf_counter() - start) / n)
    return b


fmt = best(lambda: t.strftime(picture), 100000)
parse = best(lambda: datetime.strptime(text, picture), 50000)
with open(sys.argv[1] + ".part", "w") as f:
    f.write("%.9f %.9f" % (fmt, parse))
os.replace(sys.argv[1] + ".part", sys.argv[1])
