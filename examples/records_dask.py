"""Runs a document larger than one worker should hold through Dask: the file is cut into byte
ranges, each worker process reads the records whose start tag begins in its ranges (a record
reader per range, quorvelxml.records with start and end), queries each record and returns a
small summary, and the summaries are added up. The result equals what one reader over the whole
file gives.

    /usr/bin/python3 examples/records_dask.py [FILE RECORD_PATH] [--workers N] [--ranges N]

Without a file, the MIME database's records are repeated into /tmp/qv_dask_mime.xml (about
60 MB) and read as //mime-type. Needs Debian's python3-dask and python3-distributed.
"""

import argparse
import collections
import os
import time

import dask.bag
from distributed import Client, LocalCluster

import quorvelxml

FREEDESKTOP = "/usr/share/mime/packages/freedesktop.org.xml"


def make_document(path, megabytes):
    """freedesktop.org.xml's records repeated to about `megabytes` MB."""
    with open(FREEDESKTOP, "rb") as f:
        doc = f.read()
    start = doc.index(b">", doc.index(b"<mime-info")) + 1
    end = doc.rindex(b"</mime-info>")
    with open(path, "wb") as out:
        out.write(doc[:start])
        written = start
        while written < megabytes << 20:
            out.write(doc[start:end])
            written += end - start
        out.write(doc[end:])


def summarize(records):
    """Per media type (the part of the type before '/'): how many types, and their globs."""
    counts = collections.Counter()
    for rec in records:
        media = rec.GetAttrValue("type").split("/")[0]
        counts[media + " types"] += 1
        counts[media + " globs"] += rec.NumChildrenHavingTag("glob")
    return counts


def read_range(job):
    """Runs in a worker process: the records of one byte range, summarized."""
    path, record_path, start, end = job
    return summarize(quorvelxml.records(path, record_path, start=start, end=end))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file", nargs="?")
    parser.add_argument("record_path", nargs="?", default="//mime-type")
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--ranges", type=int, default=16)
    args = parser.parse_args()
    path = args.file
    if not path:
        path = "/tmp/qv_dask_mime.xml"
        if not os.path.exists(path):
            make_document(path, 60)
    size = os.path.getsize(path)
    cuts = [size * k // args.ranges for k in range(args.ranges + 1)]
    jobs = [(path, args.record_path, cuts[k], cuts[k + 1]) for k in range(args.ranges)]

    with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True) as cluster, Client(cluster):
        began = time.monotonic()
        parts = dask.bag.from_sequence(jobs, npartitions=len(jobs)).map(read_range)
        total = parts.fold(lambda a, b: a + b, initial=collections.Counter()).compute()
        split_seconds = time.monotonic() - began

    began = time.monotonic()
    single = summarize(quorvelxml.records(path, args.record_path))
    single_seconds = time.monotonic() - began

    print("%s: %.0f MB in %d ranges on %d workers: %.2f s; one reader: %.2f s"
          % (path, size / 1e6, args.ranges, args.workers, split_seconds, single_seconds))
    for key in sorted(total):
        print("  %-24s %8d" % (key, total[key]))
    assert total == single, "the ranges together must give what one reader gives"
    print("same result as one reader: yes")


if __name__ == "__main__":
    main()
