"""Evaluates XPath expressions with lxml (libxml2's XPath) for the differential test.

Reads a JSON list of jobs {"file", "ns", "exprs"} from the path in argv[1] and prints one line
per expression in the test's rendering (see xpath_differential_test.cpp), or one line "SKIP"
for a job whose file lxml cannot parse.
"""
import json
import sys

from lxml import etree


def esc(s):
    return s.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")


def local(tag):
    return tag.rsplit("}", 1)[-1]


def item(x):
    if isinstance(x, etree._Element):
        return "E:" + local(x.tag)
    if isinstance(x, tuple):
        return "N:" + (x[0] or "") + "=" + x[1]
    if getattr(x, "is_attribute", False):
        return "A:" + local(x.attrname) + "=" + str(x)
    if getattr(x, "is_text", False) or getattr(x, "is_tail", False):
        return "T:" + str(x)
    return "?:" + str(x)


def render(r):
    if isinstance(r, bool):
        return "B:" + ("1" if r else "0")
    if isinstance(r, float):
        return "N:" + repr(r)
    if isinstance(r, list):
        return "S:" + "\x1f".join(item(x) for x in r)
    return "s:" + str(r)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        jobs = json.load(f)
    out = []
    trace = len(sys.argv) > 2
    for job in jobs:
        try:
            doc = etree.parse(job["file"], etree.XMLParser(resolve_entities=False, no_network=True, huge_tree=True))
        except Exception:
            out.append("SKIP")
            continue
        for e in job["exprs"]:
            if trace:
                sys.stderr.write(job["file"] + " " + e + "\n")
                sys.stderr.flush()
            try:
                out.append(esc(render(doc.xpath(e, namespaces=job["ns"] or None))))
            except Exception:
                out.append("X:")
    sys.stdout.write("\n".join(out) + "\n")


main()
