# Generates time_vectors.inc from Python's datetime and zoneinfo: for each
# zone the UTC offset at 00:00:01 local time of every day 2000-2040, as the
# days on which it changes; and, for both week starts, the week number and
# day number of 2000-01-01 (weeks counted from the week that holds
# 1950-01-01, each starting on Monday for start day 0, Sunday for 1).
from datetime import date, datetime, time, timedelta, timezone
from zoneinfo import ZoneInfo

FIRST, LAST = date(2000, 1, 1), date(2040, 12, 31)
out = ["// Generated once by time_vectors.py from Python's datetime and zoneinfo."]

for start in (0, 1):
    first_weekday = 0 if start == 0 else 6  # Python: Monday 0 .. Sunday 6
    def week_start(d):
        return d - timedelta(days=(d.weekday() - first_weekday) % 7)
    w = (week_start(FIRST) - week_start(date(1950, 1, 1))).days // 7
    n = (FIRST.weekday() - first_weekday) % 7 + 1
    out.append(f"constexpr WeekAnchor kAnchor{start}{{{w}, {n}}};")

for name, iana in (("London", "Europe/London"), ("NewYork", "America/New_York"),
                   ("Sydney", "Australia/Sydney")):
    z = ZoneInfo(iana)
    rows, prev, d = [], None, FIRST
    while d <= LAST:
        local = datetime.combine(d, time(0, 0, 1), tzinfo=z)
        off = int(local.utcoffset().total_seconds() // 60)
        if off != prev:
            rows.append(f"{{{d.year}, {d.month}, {d.day}, {off}}}")
            prev = off
        d += timedelta(days=1)
    out.append(f"// {iana}: offset in minutes east of UTC at 00:00:01 local, from that day on.")
    out.append(f"const OffsetChange k{name}[] = {{")
    for i in range(0, len(rows), 4):
        out.append("    " + ", ".join(rows[i:i + 4]) + ",")
    out.append("};")

open("time_vectors.inc", "w").write("\n".join(out) + "\n")
