"""What the Python benchmarks share: the built module, found on the path or in a build folder."""

import os
import sys


def import_module():
    try:
        import quorvelxml
    except ImportError:
        here = os.path.dirname(os.path.abspath(__file__))
        for build in ("build-release", "build", "build-run"):
            sys.path.insert(0, os.path.join(here, "..", build, "python"))
        import quorvelxml
    return quorvelxml
