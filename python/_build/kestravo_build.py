"""The build backend of the kestravo package (PEP 517), in the tree and with no requirements: pip
builds the wheel offline with any Python 3.9 or later, in a fresh virtual environment or not, with
no setuptools or wheel package to fetch.

The wheel holds the package, its metadata from every field of pyproject.toml's [project] table
(classifiers, licence file, URLs, keywords, console scripts), the licence and the changelog; the
sdist holds the sources, the tests, the licence and the changelog. Both are reproducible: fixed
timestamps (SOURCE_DATE_EPOCH when set), fixed owners and modes, entries in a fixed order.
"""
import base64
import gzip
import hashlib
import io
import os
import re
import tarfile
import time
import zipfile

_HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_TAG = "py3-none-any"
_EPOCH_DEFAULT = 1577836800  # 2020-01-01 00:00:00 UTC


# A reader of the TOML that pyproject.toml uses (tables, dotted and quoted keys, strings, arrays,
# inline tables, booleans, integers), for Pythons before tomllib (3.11).
class _Toml:
    def __init__(self, text):
        self.text, self.at = text, 0

    def error(self, what):
        line = self.text.count("\n", 0, self.at) + 1
        return ValueError("pyproject.toml, line %d: %s" % (line, what))

    def skip(self, newlines=True):
        while self.at < len(self.text):
            c = self.text[self.at]
            if c == "#":
                while self.at < len(self.text) and self.text[self.at] != "\n":
                    self.at += 1
            elif c in " \t\r" or (newlines and c == "\n"):
                self.at += 1
            else:
                break

    def peek(self):
        return self.text[self.at] if self.at < len(self.text) else ""

    def expect(self, c):
        if self.peek() != c:
            raise self.error("%r expected" % c)
        self.at += 1

    def string(self):
        quote = self.peek()
        self.at += 1
        out = []
        while True:
            c = self.peek()
            if not c or c == "\n":
                raise self.error("unterminated string")
            self.at += 1
            if c == quote:
                return "".join(out)
            if c == "\\" and quote == '"':
                e = self.peek()
                self.at += 1
                if e in "uU":
                    n = 4 if e == "u" else 8
                    out.append(chr(int(self.text[self.at:self.at + n], 16)))
                    self.at += n
                else:
                    out.append({"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "b": "\b", "f": "\f"}[e])
            else:
                out.append(c)

    def key(self):
        parts = []
        while True:
            self.skip(False)
            if self.peek() in "\"'":
                parts.append(self.string())
            else:
                m = re.compile(r"[A-Za-z0-9_-]+").match(self.text, self.at)
                if not m:
                    raise self.error("a key expected")
                parts.append(m.group())
                self.at = m.end()
            self.skip(False)
            if self.peek() != ".":
                return parts
            self.at += 1

    def value(self):
        self.skip(False)
        c = self.peek()
        if c in "\"'":
            return self.string()
        if c == "[":
            self.at += 1
            items = []
            while True:
                self.skip()
                if self.peek() == "]":
                    self.at += 1
                    return items
                items.append(self.value())
                self.skip()
                if self.peek() == ",":
                    self.at += 1
        if c == "{":
            self.at += 1
            table = {}
            while True:
                self.skip(False)
                if self.peek() == "}":
                    self.at += 1
                    return table
                self.assign(table)
                self.skip(False)
                if self.peek() == ",":
                    self.at += 1
        m = re.compile(r"true|false|[+-]?[0-9_]+").match(self.text, self.at)
        if not m:
            raise self.error("a value expected")
        self.at = m.end()
        word = m.group()
        return word == "true" if word in ("true", "false") else int(word.replace("_", ""))

    def assign(self, table):
        keys = self.key()
        self.expect("=")
        for k in keys[:-1]:
            table = table.setdefault(k, {})
        table[keys[-1]] = self.value()

    def document(self):
        data = table = {}
        while True:
            self.skip()
            if not self.peek():
                return data
            if self.peek() == "[":
                self.at += 1
                table = data
                for k in self.key():
                    table = table.setdefault(k, {})
                self.expect("]")
            else:
                self.assign(table)


def read_toml(text):
    """The data of a pyproject.toml text."""
    return _Toml(text).document()


def _source(name):
    """A file of the package's tree, or of the tree around it (LICENSE and CHANGELOG.md live at the
    top of the project's source tree and are copied into the sdist)."""
    for folder in (_HERE, os.path.dirname(_HERE)):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            return path
    return None


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def _project():
    """pyproject.toml's [project] table, with the version from the package when it is dynamic."""
    with open(os.path.join(_HERE, "pyproject.toml"), encoding="utf-8") as f:
        project = read_toml(f.read())["project"]
    if "version" in project.get("dynamic", []):
        text = _read(os.path.join(_HERE, "kestravo", "__init__.py")).decode("utf-8")
        project["version"] = re.search(r'^__version__ = "([^"]+)"', text, re.M).group(1)
    return project


def metadata_text(project, readme_text=""):
    """The core metadata (METADATA, PKG-INFO) of a [project] table and its README's text."""
    lines = ["Metadata-Version: 2.1", "Name: " + project["name"], "Version: " + project["version"]]
    if project.get("description"):
        lines.append("Summary: " + project["description"])
    if project.get("keywords"):
        lines.append("Keywords: " + ",".join(project["keywords"]))
    for person in project.get("authors", []):
        if "email" in person:
            lines.append("Author-email: %s <%s>" % (person.get("name", ""), person["email"]))
        else:
            lines.append("Author: " + person["name"])
    licence = project.get("license", {})
    if isinstance(licence, dict) and "text" in licence:
        lines.append("License: " + licence["text"])
    for name in project.get("license-files", []):
        lines.append("License-File: " + name)
    for classifier in project.get("classifiers", []):
        lines.append("Classifier: " + classifier)
    if project.get("requires-python"):
        lines.append("Requires-Python: " + project["requires-python"])
    for requirement in project.get("dependencies", []):
        lines.append("Requires-Dist: " + requirement)
    for label, url in project.get("urls", {}).items():
        lines.append("Project-URL: %s, %s" % (label, url))
    body = ""
    if readme_text:
        lines.append("Description-Content-Type: text/markdown")
        body = "\n" + readme_text
    return "\n".join(lines) + "\n" + body


def entry_points_text(project):
    """entry_points.txt of the console and GUI scripts and the other entry points ("" for none)."""
    groups = []
    for group, key in (("console_scripts", "scripts"), ("gui_scripts", "gui-scripts")):
        groups.append((group, project.get(key, {})))
    groups += sorted(project.get("entry-points", {}).items())
    return "".join("[%s]\n%s\n" % (group, "".join("%s = %s\n" % item for item in sorted(entries.items())))
                   for group, entries in groups if entries)


def _metadata(project):
    readme = _source(project.get("readme", "README.md"))
    return metadata_text(project, _read(readme).decode("utf-8") if readme else "")


def _extra_files(project):
    """The licence files and the changelog: (name, path) where they are found."""
    found = []
    for name in list(project.get("license-files", [])) + ["CHANGELOG.md"]:
        path = _source(name)
        if path:
            found.append((name, path))
    return found


def _package_files():
    root = os.path.join(_HERE, "kestravo")
    for name in sorted(os.listdir(root)):
        if name.endswith(".py") or name == "py.typed":
            yield "kestravo/" + name, os.path.join(root, name)


def _test_files():
    root = os.path.join(_HERE, "tests")
    for name in sorted(os.listdir(root)) if os.path.isdir(root) else []:
        if name.endswith(".py"):
            yield "tests/" + name, os.path.join(root, name)


def _epoch():
    return int(os.environ.get("SOURCE_DATE_EPOCH", _EPOCH_DEFAULT))


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (path, digest, len(data))


def _write_wheel(directory, files, project):
    name, version = project["name"], project["version"]
    dist_info = "%s-%s.dist-info" % (name, version)
    filename = "%s-%s-%s.whl" % (name, version, _TAG)
    entries = list(files)
    entries.append((dist_info + "/METADATA", _metadata(project).encode("utf-8")))
    entries.append((dist_info + "/WHEEL", ("Wheel-Version: 1.0\nGenerator: kestravo_build\nRoot-Is-Purelib: true\n"
                                           "Tag: %s\n" % _TAG).encode()))
    scripts = entry_points_text(project)
    if scripts:
        entries.append((dist_info + "/entry_points.txt", scripts.encode()))
    for extra, path in _extra_files(project):
        entries.append((dist_info + "/" + extra, _read(path)))
    record = [_record_line(path, data) for path, data in entries] + [dist_info + "/RECORD,,"]
    entries.append((dist_info + "/RECORD", ("\n".join(record) + "\n").encode()))
    stamp = time.gmtime(max(_epoch(), 315532800))[:6]  # a zip's dates start in 1980
    with zipfile.ZipFile(os.path.join(directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in entries:
            info = zipfile.ZipInfo(path, stamp)
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return filename


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    return _write_wheel(wheel_directory, [(path, _read(source)) for path, source in _package_files()], _project())


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    """An editable install: a .pth file that puts this tree on the path."""
    return _write_wheel(wheel_directory, [("kestravo_editable.pth", (_HERE + "\n").encode())], _project())


def build_sdist(sdist_directory, config_settings=None):
    project = _project()
    base = "%s-%s" % (project["name"], project["version"])
    files = [(name, _source(name)) for name in ("pyproject.toml", "README.md", "_build/kestravo_build.py")]
    files += _extra_files(project) + list(_package_files()) + list(_test_files())
    members = [(name, _read(path)) for name, path in files if path]
    members.append(("PKG-INFO", _metadata(project).encode("utf-8")))
    filename = base + ".tar.gz"
    with open(os.path.join(sdist_directory, filename), "wb") as raw, \
            gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.PAX_FORMAT) as tar:
        for name, data in sorted(members):
            info = tarfile.TarInfo(base + "/" + name)
            info.size, info.mtime, info.mode = len(data), _epoch(), 0o644
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            tar.addfile(info, io.BytesIO(data))
    return filename
