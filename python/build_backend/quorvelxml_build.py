"""The build backend that `pip install <repo>` and `python3 -m build` use (PEP 517). It needs nothing
beyond the standard library, so it works offline and without build isolation.

The wheel holds the package quorvelxml: the extension module as the package itself
(quorvelxml/__init__.<suffix>, whose run path looks beside it), the component library it links,
the type stub generated from the member table the module reports, and py.typed; and the
command-line host quorvel: the program beside the library in the package (its run path looks
beside it), started by a small script the installer puts among the environment's scripts.

The metadata hook answers from the sources alone. The wheel's module and library are built with
CMake in a temporary directory (only those two targets, with the test suites, benchmarks and
fuzzers configured off), or taken from an already built tree when QUORVELXML_BUILD_DIR names one
(its python/ and src/ folders are read).
"""

import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import time
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NAME = "quorvelxml"
SUMMARY = "In-process XML document component: load, search, edit and write XML from Python"


def _version():
    with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(QuorvelXml VERSION ([0-9.]+)", f.read()).group(1)


def _metadata():
    return ("Metadata-Version: 2.1\nName: %s\nVersion: %s\nSummary: %s\nRequires-Python: >=3.9\n"
            % (NAME, _version(), SUMMARY))


def _tag():
    impl = "cp%d%d" % sys.version_info[:2]
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return "%s-%s-%s" % (impl, impl + sys.abiflags, platform)


# ---- Stub -------------------------------------------------------------------------------------

_PARAM_TYPES = {"str": "str | None", "int": "int", "handle": "QuorvelXml | None", "variant": "Any"}
_RESULT_TYPES = {"str": "str", "int": "int", "handle": "QuorvelXml | None", "variant": "Any", "none": "None",
                 "nodes": "list[QuorvelXml]", "strings": "list[str]", "scalar": "float | str | bool"}


def _body(doc, indent):
    """A stub body: the member's help text as its docstring, or the ellipsis."""
    if not doc:
        return " ..."
    text = doc.replace("\\", "\\\\").replace('"""', '\\"\\"\\"')
    if text.endswith('"'):
        text += " "  # a closing quote would run into the docstring's own
    lines = text.split("\n")
    return "\n" + indent + '"""' + ("\n" + indent).join(lines) + '"""'


def stub_text(members, docs=None):
    """quorvelxml.pyi from the member table as quorvelxml._member_table() gives it, with each member's
    help text and result nullability from quorvelxml._member_docs() (docs: {name: (text, may_be_none)})."""
    docs = docs or {}

    def result_type(name, result):
        if result == "handle" and name in docs and not docs[name][1]:
            return "QuorvelXml"  # raises or always makes a node: never None
        return _RESULT_TYPES[result]

    lines = [
        '"""Types of the quorvelxml module. Generated from the member table of IQuorvelXml2."""',
        "",
        "from typing import Any, Iterator, Literal, overload",
        "",
        "__version__: str",
        "",
        "class ComError(Exception):",
        "    hresult: int",
        "    source: str",
        "    description: str",
        "",
        "class DispatchObject:",
        '    """Any automation object reached by name."""',
        "    def __getattr__(self, name: str) -> Any: ...",
        "    def __setattr__(self, name: str, value: Any) -> None: ...",
        "",
        "class QuorvelXml:",
        '    """A node handle: its members, called by name without regard to case. Also a container of its',
        "    children: len(node), node[i], node[a:b], `for child in node`; == is true for two handles on one",
        '    node. QuorvelXml() makes a new one-node document."""',
        "    def __init__(self) -> None: ...",
        "    def __len__(self) -> int: ...",
        "    def __bool__(self) -> bool: ...",
        "    def __iter__(self) -> Iterator[QuorvelXml]: ...",
        "    def __contains__(self, node: object) -> bool: ...",
        "    @overload",
        "    def __getitem__(self, index: int) -> QuorvelXml: ...",
        "    @overload",
        "    def __getitem__(self, index: slice) -> list[QuorvelXml]: ...",
        "    def __eq__(self, other: object) -> bool: ...",
        "    def __hash__(self) -> int: ...",
    ]
    for name, kind, params, result in members:
        doc = docs.get(name, ("", True))[0]
        if kind == "get":
            lines += ["    @property",
                      "    def %s(self) -> %s:%s" % (name, result_type(name, result), _body(doc, "        "))]
        elif kind == "put":
            (param, ptype), = params
            lines += ["    @%s.setter" % name,
                      "    def %s(self, %s: %s) -> None: ..." % (name, param, _PARAM_TYPES[ptype])]
        else:
            args = "".join(", %s: %s" % (p, _PARAM_TYPES[t]) for p, t in params)
            lines.append("    def %s(self%s) -> %s:%s" % (name, args, result_type(name, result), _body(doc, "        ")))
    lines += [
        "",
        "class DispatchMethod:",
        "    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...",
        "",
        "class BoundMember:",
        "    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...",
        "",
        "@overload",
        'def Dispatch(progid: Literal["QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1"]) -> QuorvelXml: ...',
        "@overload",
        'def Dispatch(progid: Literal["QuorvelXml.XmlFactory", "QuorvelXml.XmlFactory.1"]) -> DispatchObject: ...',
        "@overload",
        "def Dispatch(progid: str | DispatchObject) -> Any: ...",
        "def DispatchWithEvents(progid: str, handler_class: type) -> Any: ...",
        "def WithEvents(obj: Any, handler_class: type) -> Any: ...",
        "",
        "class RecordIterator:",
        "    reader: QuorvelXml",
        "    def __iter__(self) -> RecordIterator: ...",
        "    def __next__(self) -> QuorvelXml: ...",
        "",
        "def records(source: str, record_path: str, namespaces: dict[str, str] | None = None,",
        "            start: int | None = None, end: int | None = None) -> RecordIterator: ...",
        "",
    ]
    return "\n".join(lines)


def _member_table(module_dir):
    code = ("import quorvelxml, sys; docs = getattr(quorvelxml, '_member_docs', dict)(); "
            "sys.stdout.write(repr((quorvelxml._member_table(), docs)))")
    env = dict(os.environ, PYTHONPATH=module_dir)
    out = subprocess.run([sys.executable, "-c", code], env=env, check=True, capture_output=True, text=True).stdout
    import ast
    return ast.literal_eval(out)


# ---- Building ---------------------------------------------------------------------------------

# What the package holds is the library and the module: the build asks for nothing else (no test
# suites, benchmarks, fuzzers or examples), which is most of what a full build compiles.
_CONFIGURE_OPTIONS = ["-DCMAKE_BUILD_TYPE=Release", "-DQV_BUILD_TESTS=OFF", "-DQV_BUILD_BENCH=OFF",
                      "-DQV_FUZZ=OFF", "-DQV_BUILD_PYTHON=ON", "-DQV_PYTHON_UNITY=ON"]
_TARGETS = ["quorvelxml", "quorvelxml_python", "quorvel"]


def _note(text):
    # pip shows a hook's output only with -v; this line is there for whoever reads it, and the
    # build's own progress follows it.
    sys.stderr.write("quorvelxml: %s\n" % text)
    sys.stderr.flush()


def _build_tree(scratch):
    given = os.environ.get("QUORVELXML_BUILD_DIR")
    if given:
        _note("packing the build tree %s (no build)" % given)
        return os.path.abspath(given)
    build = os.path.join(scratch, "build")
    configure = ["cmake", "-S", SOURCE, "-B", build, "-DPython3_EXECUTABLE=" + sys.executable] + _CONFIGURE_OPTIONS
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    jobs = os.cpu_count() or 1
    _note("building the library and the module with CMake in %s on %d cores: about 150 s of CPU time, so 1 to 2 "
          "minutes on an idle machine (pip install -v shows the progress; QUORVELXML_BUILD_DIR=<build tree> skips "
          "the build)" % (build, jobs))
    started = time.monotonic()
    subprocess.run(configure, check=True, stdout=sys.stderr)
    command = ["cmake", "--build", build, "--parallel", str(jobs), "--target"] + _TARGETS
    if subprocess.run(command, stdout=sys.stderr).returncode != 0:
        # The module's sources compiled as one can clash where two of them use one name for
        # their own helpers; one object per source always builds, only slower.
        _note("building the module's sources one by one instead")
        subprocess.run(["cmake", "-S", SOURCE, "-B", build, "-DQV_PYTHON_UNITY=OFF"], check=True, stdout=sys.stderr)
        subprocess.run(command, check=True, stdout=sys.stderr)
    _note("built in %.0f s" % (time.monotonic() - started))
    return build


def _built_files(build):
    module_dir = os.path.join(build, "python")
    suffix = sysconfig.get_config_var("EXT_SUFFIX")
    module = os.path.join(module_dir, NAME + suffix)
    library = os.path.join(build, "src", "libquorvelxml.so.4")
    for path in (module, library):
        if not os.path.exists(path):
            raise RuntimeError("%s is missing: build the target quorvelxml_python first" % path)
    return module_dir, module, library, suffix


# The script in <name>.data/scripts: installers give it the environment's interpreter and put it
# on the PATH. It finds the package without importing it (the module loads the library) and
# replaces itself with the program there.
_LAUNCHER = '''#!python
import importlib.util
import os
import sys

found = importlib.util.find_spec("quorvelxml")
if found is None or not found.origin:
    sys.exit("quorvel: the quorvelxml package is not installed")
program = os.path.join(os.path.dirname(found.origin), "quorvel")
os.execv(program, [program] + sys.argv[1:])
'''


class _Wheel:
    def __init__(self, path):
        self.zip = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
        self.records = []

    def add(self, name, data, mode=0o644):
        info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
        info.external_attr = (0o100000 | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        self.zip.writestr(info, data)
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        self.records.append("%s,sha256=%s,%d" % (name, digest, len(data)))

    def close(self, record_name):
        self.records.append(record_name + ",,")
        self.zip.writestr(record_name, "\n".join(self.records) + "\n")
        self.zip.close()


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    """The wheel's metadata without building it: pip asks for this first, and everything in it
    comes from the sources (the version from CMakeLists.txt)."""
    dist_info = "%s-%s.dist-info" % (NAME, _version())
    os.makedirs(os.path.join(metadata_directory, dist_info), exist_ok=True)
    with open(os.path.join(metadata_directory, dist_info, "METADATA"), "w", encoding="utf-8") as f:
        f.write(_metadata())
    return dist_info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    with tempfile.TemporaryDirectory() as scratch:
        build = _build_tree(scratch)
        module_dir, module, library, suffix = _built_files(build)
        members, docs = _member_table(module_dir)
        name = "%s-%s-%s.whl" % (NAME, _version(), _tag())
        dist_info = "%s-%s.dist-info" % (NAME, _version())
        wheel = _Wheel(os.path.join(wheel_directory, name))
        # The module is the package itself; its run path finds the library beside it.
        wheel.add("%s/__init__%s" % (NAME, suffix), _read(module), 0o755)
        wheel.add("%s/libquorvelxml.so.4" % NAME, _read(library), 0o755)
        wheel.add("%s/__init__.pyi" % NAME, stub_text(members, docs).encode())
        wheel.add("%s/py.typed" % NAME, b"")
        program = os.path.join(build, "cli", "quorvel")
        if os.path.exists(program):
            wheel.add("%s/quorvel" % NAME, _read(program), 0o755)
            wheel.add("%s-%s.data/scripts/quorvel" % (NAME, _version()), _LAUNCHER.encode(), 0o755)
        wheel.add(dist_info + "/METADATA", _metadata().encode())
        wheel.add(dist_info + "/WHEEL", ("Wheel-Version: 1.0\nGenerator: quorvelxml_build\nRoot-Is-Purelib: false\n"
                                         "Tag: %s\n" % _tag()).encode())
        wheel.close(dist_info + "/RECORD")
    return name


def _source_files():
    try:
        listed = subprocess.run(["git", "-C", SOURCE, "ls-files", "-z"], check=True, capture_output=True).stdout
        return [f for f in listed.decode().split("\0") if f and os.path.isfile(os.path.join(SOURCE, f))]
    except (OSError, subprocess.CalledProcessError):
        files = []
        for root, dirs, names in os.walk(SOURCE):
            dirs[:] = [d for d in dirs if not d.startswith((".", "build")) and d != "__pycache__"]
            files += [os.path.relpath(os.path.join(root, n), SOURCE) for n in names if not n.endswith(".pyc")]
        return files


def build_sdist(sdist_directory, config_settings=None):
    base = "%s-%s" % (NAME, _version())
    name = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as tar:
        for f in sorted(_source_files()):
            tar.add(os.path.join(SOURCE, f), arcname=base + "/" + f, recursive=False)
        info = tarfile.TarInfo(base + "/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return name
