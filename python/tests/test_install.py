"""`pip install <repo>` into a fresh virtual environment, offline, then the module used from there
without any path set. The wheel is made from this build tree (QUORVELXML_BUILD_DIR), so the test
costs a venv and a wheel, not a second build."""

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
functions = [n for n in protocol.body if isinstance(n, ast.FunctionDef)]
names = {n.name for n in stub.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
print(len(functions), sorted(names & {'Dispatch', 'DispatchWithEvents', 'WithEvents', 'ComError'}))
search = next(f for f in functions if f.name == 'SearchForAttribute')
print([a.arg for a in search.args.args])
# IQuorvelXml2's typed array and value results.
print([ast.unparse(f.returns) for f in functions if f.name in ('SelectNodes', 'SelectValues', 'EvaluateXPath')])
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
        self.assertEqual(out, [
            "4.0.2",
            "GetChild(index: int) -> QuorvelXml | None",
            "105 ['ComError', 'Dispatch', 'DispatchWithEvents', 'WithEvents']",
            "['self', 'after', 'Tag', 'attr', 'valuePattern']",
            "['list[QuorvelXml]', 'list[str]', 'float | str | bool']",
        ])


if __name__ == "__main__":
    unittest.main()
