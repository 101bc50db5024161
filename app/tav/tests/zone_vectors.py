# Generates the zone reference vectors of test_zones.cpp from Python's zoneinfo.
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo
E = datetime(1970,1,1,tzinfo=timezone.utc)
zones = [("GMT Standard Time","Europe/London"),("AUS Eastern Standard Time","Australia/Sydney"),("Eastern Standard Time","America/New_York")]
out = []
for win, iana in zones:
    z = ZoneInfo(iana)
    trans = []
    t = datetime(2010,1,1,tzinfo=timezone.utc)
    end = datetime(2036,1,1,tzinfo=timezone.utc)
    prev = t.astimezone(z).utcoffset()
    # hourly scan then minute refine
    while t < end:
        n = t + timedelta(hours=1)
        off = n.astimezone(z).utcoffset()
        if off != prev:
            m = t
            while (m + timedelta(minutes=1)).astimezone(z).utcoffset() == prev: m += timedelta(minutes=1)
            m += timedelta(minutes=1)
            trans.append((m, prev, off))
            prev = off
        t = n
    u2l = []
    l2u = []
    for m, a, b in trans:
        tm = int((m - E).total_seconds()//60)
        for d in (-60,-1,0,1,60):
            u = tm + d
            dt = E + timedelta(minutes=u)
            off = int(dt.astimezone(z).utcoffset().total_seconds()//60)
            u2l.append((u, u+off))
        am = int(a.total_seconds()//60); bm = int(b.total_seconds()//60)
        walls = sorted(set(tm + o + d for o in (am,bm) for d in (-60,-1,0,1,60)))
        for w in walls:
            wd = datetime(1970,1,1) + timedelta(minutes=w)
            ld = wd.replace(tzinfo=z, fold=0)
            u = int((ld - E).total_seconds()//60)
            l2u.append((w, u))
    out.append((win, iana, len(trans), u2l, l2u))
print("// Generated once from Python's zoneinfo (2010-2035, each transition of each")
print("// zone +-1 minute and +-1 hour); minutes since 1970-01-01.")
for win, iana, n, u2l, l2u in out:
    ident = iana.split('/')[1].replace('_','')
    print(f"// {iana}: {n} transitions.")
    for name, tab in (("Utc", u2l), ("Wall", l2u)):
        print(f"const MinutePair k{ident}{name}[] = {{")
        for i in range(0, len(tab), 4):
            print("    " + " ".join(f"{{{a}, {b}}}," for a, b in tab[i:i+4]))
        print("};")
