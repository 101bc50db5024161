"""Builds the lines of the doctor pages that bench_doc_html.cpp builds, with
html.escape and "\\n".join; writes seconds per page (best of three runs) to
the file named by the first argument."""
import html
import os
import sys
import time

PAGES, WEEKS = 30, 104
SLOTS = ("Morning", "Evening", "Night")
HEADS = ("Date", "Slot", "Mon", "Tue", "Wed", "Thur", "Fri", "Sat", "Sun")
SPACER = " " * 83 + "."
BIG = '<font face="Helvetica, Arial, sans-serif"><b><big>%s</big></b><br></font>'
OPEN = '<td valign="top" align="center" width="5 %">'


def esc(s):
    # The writer's escaping: markup characters, and every character above
    # U+007E as a decimal reference.
    return html.escape(s).replace("&#x27;", "'").encode("ascii", "xmlcharrefreplace").decode()


def label(lines, text):
    lines += (OPEN, esc(text), "</td>")


def page(doctor, practice):
    lines = ["", "", "", "<HTML>", "<HEAD>", "<TITLE>", "Roster", "</TITLE>", "", "</HEAD>",
             "<BODY>", BIG % esc(doctor),
             '<table cellpadding="1" cellspacing="1" border="1" width="100 %">', "<tr>"]
    for h in HEADS:
        label(lines, h)
    lines.append("</tr>")
    duty = practice + " / " + doctor
    for week in range(1, WEEKS + 1):
        lines.append("<tr>")
        label(lines, SPACER)
        lines.append("</tr>")
        for slot in SLOTS:
            lines.append("<tr>")
            label(lines, "%d/%d/2011" % (1 + week % 28, 1 + week % 12))
            label(lines, slot)
            for k in range(2, 9):
                label(lines, "" if (week + k) % 3 else duty)
            lines.append("</tr>")
    lines += ("</table>", "</BODY>", "</HTML>")
    return "\n".join(lines) + "\n"


def run():
    total = 0
    for i in range(PAGES):
        total += len(page("Dr Smith & Jones %d \u00e9" % i, "North <%d>" % i))
    return total


best = 1e9
for _ in range(3):
    start = time.perf_counter()
    run()
    best = min(best, (time.perf_counter() - start) / PAGES)
with open(sys.argv[1] + ".part", "w") as f:
    f.write("%.9f %d" % (best, len(page("Dr Smith & Jones 0 \u00e9", "North <0>"))))
os.replace(sys.argv[1] + ".part", sys.argv[1])
