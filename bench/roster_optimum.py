#!/usr/bin/python3
"""The engine benchmark's exact peer: a roster instance (as the validator
writes it) solved by CBC through PuLP.

Binaries x[duty, doctor] for the pairs no rule forbids; assignments that
stand are fixed; one doctor per duty, a doctor once per slot-period; the
weekly ties' pairs (must_do: a doctor it applies to who holds one end holds
the other end whenever that is held; must_not_do: never both ends).  First
the largest fill, then at that fill the least maximum deviation of a
doctor's count from the doctor's share of a category.

usage: roster_optimum.py INSTANCE RESULT [SECONDS]
Writes to RESULT one line per phase: "fill STATUS VALUE BOUND SECONDS" and
"deviation STATUS VALUE BOUND SECONDS" (STATUS optimum or limit; BOUND the
solver's best bound), or "error TEXT".
"""
import collections
import os
import re
import sys
import tempfile
import time

import pulp


def read(path):
    doctors, duties, held, ties = {}, [], {}, []
    with open(path) as f:
        for line in f:
            w = line.split()
            if not w:
                continue
            if w[0] == "doctor":
                doctors[int(w[1])] = (float(w[2]), float(w[3]))
            elif w[0] == "duty":
                allowed = [] if w[6] == "-" else [int(d) for d in w[6].split(",")]
                duties.append((int(w[2]), (int(w[3]), int(w[4]), int(w[5])), allowed))
            elif w[0] == "held":
                held[int(w[1])] = int(w[2])
            elif w[0] == "tie":
                applies = None if w[4] == "*" else {int(d) for d in w[4].split(",")}
                ties.append((int(w[1]), int(w[2]), int(w[3]), applies))
    return doctors, duties, held, ties


def build(doctors, duties, held, ties):
    prob = pulp.LpProblem("roster", pulp.LpMaximize)
    x = {}
    for i, (_, _, allowed) in enumerate(duties):
        pool = set(d for d in allowed if d in doctors)
        if i in held and held[i] in doctors:
            pool.add(held[i])
        for d in pool:
            x[i, d] = pulp.LpVariable("x_%d_%d" % (i, d), cat="Binary")
    by_duty = collections.defaultdict(list)
    for (i, d), v in x.items():
        by_duty[i].append(v)
    for i, vs in by_duty.items():
        prob += pulp.lpSum(vs) <= 1
    for i, d in held.items():
        if (i, d) in x:
            prob += x[i, d] == 1
    busy = collections.defaultdict(list)
    held_at = collections.Counter()
    for (i, d), v in x.items():
        busy[d, duties[i][1]].append(v)
    for i, d in held.items():
        held_at[d, duties[i][1]] += 1
    for key, vs in busy.items():
        if len(vs) > 1:
            prob += pulp.lpSum(vs) <= max(1, held_at[key])
    for kind, a, b, applies in ties:
        if a in held and b in held:
            continue  # both ends stand as they are
        who = doctors.keys() if applies is None else applies
        for d in who:
            if kind == 2:
                if (a, d) in x and (b, d) in x:
                    prob += x[a, d] + x[b, d] <= 1
                continue
            for one, other in ((a, b), (b, a)):
                if (one, d) in x and by_duty[other]:
                    prob += x[one, d] + pulp.lpSum(by_duty[other]) - 1 <= x.get((other, d), 0)
    return prob, x


def solve(prob, seconds):
    log = tempfile.NamedTemporaryFile(suffix=".log", delete=False).name
    start = time.time()
    prob.solve(pulp.COIN_CMD(timeLimit=seconds, msg=False, logPath=log))
    took = time.time() - start
    text = open(log).read()
    os.unlink(log)
    status = "limit" if "time limit" in text.lower() or "Stopped on time" in text else "optimum"
    bound = re.findall(r"(?:Lower|Upper) bound:\s*(-?[\d.e+]+)", text)
    value = pulp.value(prob.objective)
    return status, value, float(bound[-1]) if bound else value, took


def main():
    instance, result = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    lines = []
    try:
        doctors, duties, held, ties = read(instance)
        total = [sum(1 for c, _, _ in duties if c == k) for k in (0, 1)]
        prob, x = build(doctors, duties, held, ties)
        prob += pulp.lpSum(x.values())
        status, fill, bound, took = solve(prob, seconds)
        lines.append("fill %s %d %.2f %.1f" % (status, round(fill or 0), bound or 0, took))
        # At that fill, the least maximum deviation from the shares.
        prob.sense = pulp.LpMinimize
        z = pulp.LpVariable("z", lowBound=0)
        prob += pulp.lpSum(x.values()) >= round(fill or 0)
        count = collections.defaultdict(list)
        for (i, d), v in x.items():
            count[d, duties[i][0]].append(v)
        for d, shares in doctors.items():
            for c in (0, 1):
                n = pulp.lpSum(count[d, c])
                share = shares[c] * total[c]
                prob += n - share <= z
                prob += share - n <= z
        prob.setObjective(z)
        status, dev, bound, took = solve(prob, seconds)
        lines.append("deviation %s %.2f %.2f %.1f" % (status, dev or 0, bound or 0, took))
    except Exception as e:  # the benchmark prints what went wrong
        lines.append("error %s" % str(e).replace("\n", " "))
    tmp = result + ".part"
    with open(tmp, "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, result)


if __name__ == "__main__":
    main()
