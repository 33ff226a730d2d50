"""A record loop from Python over a large document, against lxml's iterparse with clear(): the
time to visit every record and read one attribute, and the process's peak memory. Each engine
runs in a process of its own, so each peak is its own.

    /usr/bin/python3 bench/records_python_bench.py [FILE RECORD_TAG]

Without a file it reads /tmp/qv_records_115mb.xml (//mime-type), which `records_bench
make-inputs` writes.
"""

import resource
import subprocess
import sys
import time

from bench_support import import_module


def quorvel_loop(path, tag):
    quorvelxml = import_module()
    n = 0
    for rec in quorvelxml.records(path, "//" + tag):
        n += 1
    return n


def lxml_loop(path, tag):
    from lxml import etree
    n = 0
    # The record tag in any namespace; each record cleared, and the records before it dropped.
    for _, el in etree.iterparse(path, events=("end",), tag="{*}" + tag):
        n += 1
        el.clear()
        while el.getprevious() is not None:
            del el.getparent()[0]
    return n


def run_one(engine, path, tag):
    began = time.monotonic()
    n = (quorvel_loop if engine == "quorvel" else lxml_loop)(path, tag)
    seconds = time.monotonic() - began
    usage = resource.getrusage(resource.RUSAGE_SELF)
    # CPU time as well: on a shared machine the wall clock also counts the waits for a core.
    print("%-8s records %8d  %6.2f s  (cpu %6.2f s)  peak %6.1f MiB"
          % (engine, n, seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--one":
        run_one(sys.argv[2], sys.argv[3], sys.argv[4])
        return
    path = sys.argv[1] if len(sys.argv) > 1 else "/tmp/qv_records_115mb.xml"
    tag = sys.argv[2] if len(sys.argv) > 2 else "mime-type"
    for engine in ("quorvel", "lxml"):
        subprocess.run([sys.executable, __file__, "--one", engine, path, tag], check=True)


if __name__ == "__main__":
    main()
