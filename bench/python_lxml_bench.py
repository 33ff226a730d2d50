"""The things Python scripts mostly do with a document, against lxml on the same bytes in the
same run: load it, visit every element reading its tag (after loading, and in a document loaded
once), enumerate every match of one tag with the `after` idiom, and serialize it. Each figure is
the best of --repeat runs, in ms of processor time (the machine may be shared).

Run with the built module on the path (or installed with pip):
    PYTHONPATH=build-release/python python3 bench/python_lxml_bench.py
    PYTHONPATH=build-release/python python3 bench/python_lxml_bench.py --records-mib 20 --repeat 9
    PYTHONPATH=build-release/python python3 bench/python_lxml_bench.py --task visit --document fields
(--task and --document keep the rows and documents whose names contain the text: two builds of the
module are compared on one row by running it with each on the path in turn.)
The load row is the one to set against `parse_bench --benchmark_filter='parse/(freedesktop|iso|records/)'`.
"""

import argparse
import os
import sys
import time

from lxml import etree

from bench_support import import_module


def record_document(mebibytes):
    """The record document of bench/bench_documents.h, byte for byte, so that LoadXmlV here can be
    set against parse_bench's rows for the same bytes (parse/records is 20 MiB)."""
    target = int(mebibytes * (1 << 20))
    parts = [b'<?xml version="1.0" encoding="utf-8"?>\n<records>\n']
    size = len(parts[0])
    i = 0
    while size < target:
        rec = ('  <record id="%d" type="customer">\n    <name>Customer %d</name>\n    <email>customer%d'
               '@example.com</email>\n    <age>%d</age>\n    <address>\n      <street>%d Main Street</street>\n'
               '      <city>Springfield</city>\n      <zip>%d</zip>\n    </address>\n'
               '    <note>Regular customer since %d &amp; still active</note>\n  </record>\n'
               % (i, i, i, 18 + i % 70, i, 10000 + i % 89999, 1990 + i % 30)).encode()
        parts.append(rec)
        size += len(rec)
        i += 1
    parts.append(b"</records>\n")
    return b"".join(parts)


def field_document():
    """The document of bench/xml_layer_bench.cpp: a root, 1000 records of 999 fields, 1,000,001
    elements, each field with two attributes and a short content."""
    parts = ["<catalog>"]
    for r in range(1000):
        parts.append('<record id="%d">' % r)
        parts.extend('<field name="f%d" kind="text">value %d</field>' % (f, f) for f in range(999))
        parts.append("</record>")
    parts.append("</catalog>")
    return "".join(parts).encode()


def best(repeat, fn):
    times = []
    for _ in range(repeat):
        start = time.process_time()
        fn()
        times.append(time.process_time() - start)
    return min(times) * 1000.0


def walk(x):
    """Every element in document order, moving one handle, reading each tag."""
    x.GetRoot2()
    count = 0
    while True:
        x.Tag
        count += 1
        if x.FirstChild2():
            continue
        while not x.NextSibling2():
            if not x.GetParent2():
                return count


def enumerate_matches(x, tag):
    count = 0
    found = x.SearchForTag(None, tag)
    while found is not None:
        count += 1
        found = x.SearchForTag(found, tag)
    return count


def tasks_for(quorvelxml, data, tag):
    qv = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")

    def qv_load():
        qv.LoadXmlV(data)

    def qv_walk():
        qv.LoadXmlV(data)
        return walk(qv)

    loaded = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    loaded.LoadXmlV(data)

    def qv_walk_loaded():
        return walk(loaded)

    def qv_search():
        qv.LoadXmlV(data)
        return enumerate_matches(qv, tag)

    def qv_serialize():
        qv.LoadXmlV(data)
        return qv.GetXml()

    root = etree.fromstring(data)
    namespace = root.nsmap.get(None)
    lx_tag = "{%s}%s" % (namespace, tag) if namespace else tag

    def lx_load():
        etree.fromstring(data)

    def lx_walk():
        count = 0
        for e in etree.fromstring(data).iter():
            e.tag
            count += 1
        return count

    tree = etree.fromstring(data)

    def lx_walk_loaded():
        count = 0
        for e in tree.iter():
            e.tag
            count += 1
        return count

    def lx_search():
        count = 0
        for e in etree.fromstring(data).iter(lx_tag):
            count += 1
        return count

    def lx_serialize():
        return etree.tostring(etree.fromstring(data))

    # The same work on both sides: as many elements walked and as many matches found.
    assert qv_search() == lx_search(), (qv_search(), lx_search())
    return [
        ("load the bytes", qv_load, lx_load),
        ("load, visit every element reading its tag", qv_walk, lx_walk),
        ("visit every element of a loaded one reading its tag", qv_walk_loaded, lx_walk_loaded),
        ("load, enumerate all matches of <%s> with after" % tag, qv_search, lx_search),
        ("load, serialize", qv_serialize, lx_serialize),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5, help="runs per task; the best is shown")
    parser.add_argument("--records-mib", type=float, default=20, help="size of the generated record document")
    parser.add_argument("--freedesktop", default="/usr/share/mime/packages/freedesktop.org.xml")
    parser.add_argument("--iso", default="/usr/share/xml/iso-codes/iso_639-3.xml")
    parser.add_argument("--task", action="append", default=[], help="only tasks whose name contains this")
    parser.add_argument("--document", action="append", default=[], help="only documents whose name contains this")
    options = parser.parse_args()
    quorvelxml = import_module()

    documents = []
    for path, tag in ((options.freedesktop, "comment"), (options.iso, "iso_639_3_entry")):
        if os.path.exists(path):
            with open(path, "rb") as f:
                data = f.read()
                documents.append((os.path.basename(path), lambda data=data: data, tag))
    documents.append(("records (%g MiB)" % options.records_mib, lambda: record_document(options.records_mib), "name"))
    documents.append(("fields (1,000,001 elements)", field_document, "record"))

    def chosen(name, wanted):
        return not wanted or any(w in name for w in wanted)

    print("Python %s, quorvelxml %s, lxml %s, best of %d, ms" % (
        sys.version.split()[0], quorvelxml.__version__, etree.__version__, options.repeat))
    for name, make, tag in documents:
        if not chosen(name, options.document):
            continue
        data = make()
        print("\n%s, %.1f MB" % (name, len(data) / 1e6))
        print("%-52s %10s %10s %8s" % ("task", "quorvelxml", "lxml", "ratio"))
        for task, ours, theirs in tasks_for(quorvelxml, data, tag):
            if not chosen(task, options.task):
                continue
            a = best(options.repeat, ours)
            b = best(options.repeat, theirs)
            print("%-52s %10.1f %10.1f %7.2fx" % (task, a, b, a / b))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
