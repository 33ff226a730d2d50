"""The build backend that `pip install <repo>` and `python3 -m build` use (PEP 517). It needs nothing
beyond the standard library, so it works offline and without build isolation.

The wheel holds the package quorvelxml: the extension module as the package itself
(quorvelxml/__init__.<suffix>, whose run path looks beside it), the component library it links,
the type stub generated from the member table the module reports, and py.typed.

The module is built with CMake in a temporary directory, or taken from an already built tree
when QUORVELXML_BUILD_DIR names one (its python/ and src/ folders are read).
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


def stub_text(members):
    """quorvelxml.pyi from the member table as quorvelxml._member_table() gives it."""
    lines = [
        '"""Types of the quorvelxml module. Generated from the member table of IQuorvelXml2."""',
        "",
        "from typing import Any, Literal, Protocol, overload",
        "",
        "__version__: str",
        "",
        "class ComError(Exception):",
        "    hresult: int",
        "    source: str",
        "    description: str",
        "",
        "class QuorvelXml(Protocol):",
        '    """A node handle: its members, called by name without regard to case."""',
    ]
    for name, kind, params, result in members:
        if kind == "get":
            lines += ["    @property", "    def %s(self) -> %s: ..." % (name, _RESULT_TYPES[result])]
        elif kind == "put":
            (param, ptype), = params
            lines += ["    @%s.setter" % name,
                      "    def %s(self, %s: %s) -> None: ..." % (name, param, _PARAM_TYPES[ptype])]
        else:
            args = "".join(", %s: %s" % (p, _PARAM_TYPES[t]) for p, t in params)
            lines.append("    def %s(self%s) -> %s: ..." % (name, args, _RESULT_TYPES[result]))
    lines += [
        "",
        "class DispatchObject:",
        '    """Any automation object reached by name."""',
        "    def __getattr__(self, name: str) -> Any: ...",
        "    def __setattr__(self, name: str, value: Any) -> None: ...",
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
        "def Dispatch(progid: str | DispatchObject) -> Any: ...",
        "def DispatchWithEvents(progid: str, handler_class: type) -> Any: ...",
        "def WithEvents(obj: Any, handler_class: type) -> Any: ...",
        "",
    ]
    return "\n".join(lines)


def _member_table(module_dir):
    code = "import quorvelxml, sys; sys.stdout.write(repr(quorvelxml._member_table()))"
    env = dict(os.environ, PYTHONPATH=module_dir)
    out = subprocess.run([sys.executable, "-c", code], env=env, check=True, capture_output=True, text=True).stdout
    import ast
    return ast.literal_eval(out)


# ---- Building ---------------------------------------------------------------------------------

def _build_tree(scratch):
    given = os.environ.get("QUORVELXML_BUILD_DIR")
    if given:
        return os.path.abspath(given)
    build = os.path.join(scratch, "build")
    configure = ["cmake", "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DQV_BUILD_TESTS=OFF",
                 "-DQV_BUILD_BENCH=OFF", "-DPython3_EXECUTABLE=" + sys.executable]
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    subprocess.run(configure, check=True, stdout=sys.stderr)
    subprocess.run(["cmake", "--build", build, "--target", "quorvelxml_python", "--parallel"],
                   check=True, stdout=sys.stderr)
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


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    with tempfile.TemporaryDirectory() as scratch:
        build = _build_tree(scratch)
        module_dir, module, library, suffix = _built_files(build)
        members = _member_table(module_dir)
        name = "%s-%s-%s.whl" % (NAME, _version(), _tag())
        dist_info = "%s-%s.dist-info" % (NAME, _version())
        wheel = _Wheel(os.path.join(wheel_directory, name))
        # The module is the package itself; its run path finds the library beside it.
        wheel.add("%s/__init__%s" % (NAME, suffix), _read(module), 0o755)
        wheel.add("%s/libquorvelxml.so.4" % NAME, _read(library), 0o755)
        wheel.add("%s/__init__.pyi" % NAME, stub_text(members).encode())
        wheel.add("%s/py.typed" % NAME, b"")
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
