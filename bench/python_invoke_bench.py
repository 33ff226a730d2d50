"""What a member call costs a Python host, per call: property reads and writes and a method call,
each going through GetIDsOfNames (once per name) and Invoke. Compare with the virtual-table and
Invoke figures of invoke_bench, which read the same properties from C++.

Run with the built module on the path:
    PYTHONPATH=build-release/python python3 bench/python_invoke_bench.py
"""

import argparse
import sys
import timeit

from bench_support import import_module


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--number", type=int, default=200000, help="calls per measurement")
    parser.add_argument("--repeat", type=int, default=5, help="measurements; the best is shown")
    options = parser.parse_args()

    quorvelxml = import_module()
    x = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
    x.Tag = "record"
    factory = quorvelxml.Dispatch("QuorvelXml.XmlFactory")
    cases = [
        ("NumChildren (get, long)", lambda: x.NumChildren),
        ("Tag (get, string)", lambda: x.Tag),
        ("Tag (put, string)", lambda: setattr(x, "Tag", "record")),
        ("ErrorLogClear() (method)", lambda: x.ErrorLogClear()),
        ("NewXml() on the factory (new handle)", lambda: factory.NewXml()),
    ]
    baseline = min(timeit.repeat(lambda: None, number=options.number, repeat=options.repeat))

    print("Python %s, quorvelxml %s, %d calls, best of %d" % (
        sys.version.split()[0], quorvelxml.__version__, options.number, options.repeat))
    print("%-40s %12s %18s" % ("call", "ns/call", "ns/call - lambda"))
    for name, call in cases:
        best = min(timeit.repeat(call, number=options.number, repeat=options.repeat))
        per_call = best / options.number * 1e9
        print("%-40s %12.0f %18.0f" % (name, per_call, (best - baseline) / options.number * 1e9))


if __name__ == "__main__":
    main()
