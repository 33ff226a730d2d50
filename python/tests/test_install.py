"""`pip install <repo>` into a fresh virtual environment, offline, then the module used from there
without any path set, and a typed script that uses it checked by mypy --strict against the
installed stub. The wheel is made from this build tree (QUORVELXML_BUILD_DIR), so the test costs a
venv, a wheel and a mypy run, not a second build."""

import ast
import os
import subprocess
import sys
import tempfile
import unittest

import quorvelxml
from support import ReleaseCheck

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.dirname(os.path.dirname(os.path.abspath(quorvelxml.__file__)))

CHECK = r"""
import ast, os, sys, quorvelxml
assert quorvelxml.__file__.startswith(sys.prefix), quorvelxml.__file__
print(quorvelxml.Dispatch('QuorvelXml.QuorvelXml').Version)
x = quorvelxml.Dispatch('QuorvelXml.QuorvelXml')
print(x.GetChild.__doc__.splitlines()[0])
package = os.path.dirname(quorvelxml.__file__)
assert os.path.exists(os.path.join(package, 'py.typed'))
with open(os.path.join(package, '__init__.pyi')) as f:
    stub = ast.parse(f.read())
protocol = next(n for n in stub.body if isinstance(n, ast.ClassDef) and n.name == 'QuorvelXml')
functions = [n for n in protocol.body if isinstance(n, ast.FunctionDef) and not n.name.startswith('__')]
names = {n.name for n in stub.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
print(len(functions), sorted(names & {'Dispatch', 'DispatchWithEvents', 'WithEvents', 'ComError'}))
search = next(f for f in functions if f.name == 'SearchForAttribute')
print([a.arg for a in search.args.args])
# IQuorvelXml2's typed array and value results.
print([ast.unparse(f.returns) for f in functions if f.name in ('SelectNodes', 'SelectValues', 'EvaluateXPath')])
"""

# A short script as a user writes it: nodes, iteration, results that are never None used as they
# are, a search result checked for None, annotations and isinstance with QuorvelXml.
TYPED = """
import quorvelxml
from quorvelxml import QuorvelXml


def titles(doc: QuorvelXml) -> list[str]:
    return [book.GetChildContent("title") for book in doc]


doc = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
doc.LoadXml("<catalog><book><title>Rain</title></book><book><title>Snow</title></book></catalog>")
first: QuorvelXml = doc.GetChild(0)
note = first.NewChild("note", "x")
assert note.GetParent() == first and doc[0] == first and len({first, doc[0]}) == 1
hit = doc.SearchForContent(None, "title", "S*")
count: int = len(doc)
print(" ".join(titles(doc)), count, note.GetRoot().Tag, isinstance(hit, QuorvelXml) and hit.Content == "Snow")
"""
BAD = """
import quorvelxml
print(quorvelxml.QuorvelXml().FirstChild().Tag)
"""


class InstallTest(ReleaseCheck):
    def test_pip_install_into_a_fresh_venv(self):
        with tempfile.TemporaryDirectory() as work:
            venv = os.path.join(work, "venv")
            subprocess.run([sys.executable, "-m", "venv", venv], check=True)
            python = os.path.join(venv, "bin", "python")
            env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME")}
            env.update(QUORVELXML_BUILD_DIR=BUILD, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1",
                       PYTHONDONTWRITEBYTECODE="1")
            subprocess.run([python, "-m", "pip", "install", "-q", "--no-build-isolation", REPO], check=True, env=env,
                           cwd=work)
            env.pop("QUORVELXML_BUILD_DIR")
            out = subprocess.run([python, "-c", CHECK], check=True, env=env, cwd=work, capture_output=True,
                                 text=True).stdout.splitlines()
            typed = self.check_types(python, env, work)
            # The command-line host came with it, on the environment's PATH. A sanitized program
            # carries its own runtime, which the interpreter's preloaded one would clash with.
            program_env = {k: v for k, v in env.items() if k != "LD_PRELOAD"}
            stats = subprocess.run([os.path.join(venv, "bin", "quorvel"), "stats", "-"], input=b"<a><b/></a>",
                                   env=program_env, cwd=work, capture_output=True, check=True).stdout
            self.assertIn(b"\nelements: 2\n", stats)
        self.assertEqual(out, [
            "4.0.2",
            "GetChild(index: int) -> QuorvelXml",
            "105 ['ComError', 'Dispatch', 'DispatchWithEvents', 'WithEvents']",
            "['self', 'after', 'Tag', 'attr', 'valuePattern']",
            "['list[QuorvelXml]', 'list[str]', 'float | str | bool']",
        ])
        self.assertEqual(typed, ("Rain Snow 2 catalog True",
                                 ['bad.py:3: error: Item "None" of "Optional[QuorvelXml]" has no attribute "Tag"  '
                                  '[union-attr]']))

    def test_metadata_comes_without_a_build(self):
        # pip asks for the metadata first; answering it must not start CMake (it once built the
        # whole package there, silently).
        sys.path.insert(0, os.path.join(REPO, "python", "build_backend"))
        try:
            import quorvelxml_build as backend
        finally:
            sys.path.pop(0)
        with tempfile.TemporaryDirectory() as work:
            real_run, backend.subprocess.run = backend.subprocess.run, None  # any subprocess fails
            try:
                dist_info = backend.prepare_metadata_for_build_wheel(work)
            finally:
                backend.subprocess.run = real_run
            with open(os.path.join(work, dist_info, "METADATA")) as f:
                metadata = f.read()
        self.assertEqual(dist_info, "quorvelxml-4.0.2.dist-info")
        self.assertIn("Name: quorvelxml\nVersion: 4.0.2\n", metadata)

    def check_types(self, python, env, work):
        """Runs TYPED with the venv's interpreter, then mypy --strict (Debian's, reading the venv's
        packages) on it and on a script that forgets a None: the output of TYPED and mypy's errors."""
        with open(os.path.join(work, "typed.py"), "w") as f:
            f.write(TYPED)
        with open(os.path.join(work, "bad.py"), "w") as f:
            f.write(BAD)
        ran = subprocess.run([python, "typed.py"], check=True, env=env, cwd=work, capture_output=True,
                             text=True).stdout.strip()
        mypy = subprocess.run(["/usr/bin/python3", "-m", "mypy", "--strict", "--no-error-summary",
                               "--cache-dir", os.path.join(work, "mypy-cache"), "--python-executable", python,
                               "typed.py", "bad.py"], env=env, cwd=work, capture_output=True, text=True)
        self.assertEqual(mypy.stderr, "")
        return ran, mypy.stdout.splitlines()


if __name__ == "__main__":
    unittest.main()
