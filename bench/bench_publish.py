"""Builds and writes the pages that bench_publish.cpp publishes, from the
lookup tables it exported (first argument), into a folder (second
argument): html.escape, "\\r\\n" join, one write and one fsync per page,
as publishing flushes each page to the disc.  One round per run (the
caller takes turns with its own rounds): writes its seconds and the page
count to the file named by the third argument."""
import html
import os
import sys
import time

BIG = '<font face="Helvetica, Arial, sans-serif"><b><big>%s</big></b><br></font>'
OPEN = '<td valign="top" align="center" width="5 %">'
LINK = '<a href="%s" TARGET="%s" >%s</a>'
MAKER = "https://www.kalmoratessaro.example/"
SPACER = " " * 83 + "."
SHORT = {"Monday": "Mon", "Tuesday": "Tue", "Wednesday": "Wed", "Thursday": "Thur",
         "Friday": "Fri", "Saturday": "Sat", "Sunday": "Sun"}


def esc(s):
    # The page writer's escaping: markup characters, every character above
    # U+007E as a decimal reference, a lone surrogate as U+FFFD.
    return html.escape(s).replace("&#x27;", "'").encode("ascii", "xmlcharrefreplace").decode()


def read(path):
    t = {"slots": [], "days": [], "dates": [], "practices": [], "doctors": []}
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if not line:
                continue
            kind, *rest = line.split("\t")
            if kind == "weeks":
                t["weeks"] = int(rest[0])
            elif kind == "slot":
                t["slots"].append(rest[0])
            elif kind == "day":
                t["days"].append(SHORT[rest[0]])
            elif kind == "date":
                t["dates"].append(rest[0])
            elif kind == "practice":
                t["practices"].append(rest)
            elif kind == "doctor":
                t["doctors"].append({"name": rest[0], "file": rest[1], "href": rest[2], "groups": rest[3:],
                                     "cells": None})
            elif kind == "cells":
                t["doctors"][-1]["cells"] = rest
    return t


def head(title, body=True):
    lines = ["", "", "", "<HTML>", "<HEAD>", "<TITLE>", esc(title), "</TITLE>", "", "</HEAD>"]
    if body:
        lines.append("<BODY>")
    return lines


def write(folder, file, lines):
    with open(os.path.join(folder, file + ".html"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
        f.flush()
        os.fsync(f.fileno())


def cell(lines, text):
    lines += (OPEN, esc(text), "</td>")


def doctor_page(t, d):
    lines = head("Roster") + [BIG % esc(d["name"]),
                              '<table cellpadding="1" cellspacing="1" border="1" width="100 %">', "<tr>"]
    cell(lines, "Date")
    cell(lines, "Slot")
    for day in t["days"]:
        cell(lines, day)
    lines.append("</tr>")
    cells = d["cells"]
    i = 0
    for w in range(t["weeks"]):
        if len(t["slots"]) != 1:
            lines.append("<tr>")
            cell(lines, SPACER)
            lines.append("</tr>")
        for slot in t["slots"]:
            lines.append("<tr>")
            cell(lines, t["dates"][w])
            cell(lines, slot)
            for _ in range(7):
                cell(lines, cells[i])
                i += 1
            lines.append("</tr>")
    lines += ("</table>", "</BODY>", "</HTML>")
    return lines


def publish(t, folder):
    pages = 0
    write(folder, "kalmora6", head("kalmora6", False) + [
        '<frameset cols="20%,*">', '<frame src="km6practices.html" name="ncentres">',
        '<frameset rows="10%,*">', '<frame src="km6staff.html" frameborder="0" name="nstaff">',
        '<frame src="km6roster.html" frameborder="0" name="nroster">', "</frameset>", "</frameset>",
        "</HTML>"])
    write(folder, "km6staff", head("kalmora6") + [BIG % "Choose a practice", "</BODY>", "</HTML>"])
    write(folder, "km6roster", head("Roster") + [BIG % "Choose a doctor", "</BODY>", "</HTML>"])
    lines = head("kalmora6") + [BIG % "kalmora6 Practices"]
    for name, _, href in t["practices"]:
        lines += (LINK % (esc(href), "nstaff", esc(name)), "<br>")
    lines += (BIG % "", LINK % (MAKER, "nroster", "kalmoraTessaro"),
              LINK % (MAKER, "nroster", "kalmora6 Help (www)"), "</BODY>", "</HTML>")
    write(folder, "km6practices", lines)
    pages += 4
    for name, file, _ in t["practices"]:
        lines = head("kalmora6") + [BIG % esc(name)]
        for d in t["doctors"]:
            if name in d["groups"]:
                lines.append(LINK % (esc(d["href"]), "nroster", esc(d["name"])))
        lines += ("</BODY>", "</HTML>")
        write(folder, file, lines)
        pages += 1
    for d in t["doctors"]:
        if d["file"]:
            write(folder, d["file"], doctor_page(t, d))
            pages += 1
    return pages


tables = read(sys.argv[1])
folder = sys.argv[2]
os.makedirs(folder, exist_ok=True)
for f in os.listdir(folder):
    os.remove(os.path.join(folder, f))
start, cpu = time.perf_counter(), time.process_time()
count = publish(tables, folder)
seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
with open(sys.argv[3] + ".part", "w") as f:
    f.write("%.9f %d %.9f" % (seconds, count, cpu))
os.replace(sys.argv[3] + ".part", sys.argv[3])
