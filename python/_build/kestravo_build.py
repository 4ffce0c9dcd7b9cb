"""The build backend of the kestravo package (PEP 517), in the tree and with no requirements: pip
builds the wheel offline with any Python 3.9 or later, in a fresh virtual environment or not, with
no setuptools or wheel package to fetch. The wheel holds the package's files and its metadata."""
import base64
import hashlib
import os
import re
import zipfile

_HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_TAG = "py3-none-any"


def _project():
    """name, version, summary and requires-python from pyproject.toml's [project] table."""
    with open(os.path.join(_HERE, "pyproject.toml"), encoding="utf-8") as f:
        text = f.read()
    table = text.split("[project]", 1)[1].split("\n[", 1)[0]
    values = dict(re.findall(r'^([a-z-]+)\s*=\s*"([^"]*)"', table, re.M))
    return values["name"], values["version"], values.get("description", ""), values.get("requires-python", "")


def _metadata():
    name, version, summary, requires = _project()
    lines = ["Metadata-Version: 2.1", "Name: " + name, "Version: " + version, "Summary: " + summary,
             "License: MIT", "Requires-Python: " + requires]
    readme = os.path.join(_HERE, "README.md")
    body = ""
    if os.path.exists(readme):
        lines.append("Description-Content-Type: text/markdown")
        with open(readme, encoding="utf-8") as f:
            body = "\n" + f.read()
    return "\n".join(lines) + "\n" + body


def _package_files():
    root = os.path.join(_HERE, "kestravo")
    for name in sorted(os.listdir(root)):
        if name.endswith(".py") or name == "py.typed":
            yield "kestravo/" + name, os.path.join(root, name)


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (path, digest, len(data))


def _write_wheel(directory, files):
    name, version, _, _ = _project()
    dist_info = "%s-%s.dist-info" % (name, version)
    filename = "%s-%s-%s.whl" % (name, version, _TAG)
    entries = list(files)
    entries.append((dist_info + "/METADATA", _metadata().encode("utf-8")))
    entries.append((dist_info + "/WHEEL", ("Wheel-Version: 1.0\nGenerator: kestravo_build\nRoot-Is-Purelib: true\n"
                                           "Tag: %s\n" % _TAG).encode()))
    record = [_record_line(path, data) for path, data in entries] + [dist_info + "/RECORD,,"]
    entries.append((dist_info + "/RECORD", ("\n".join(record) + "\n").encode()))
    with zipfile.ZipFile(os.path.join(directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in entries:
            wheel.writestr(zipfile.ZipInfo(path, (2020, 1, 1, 0, 0, 0)), data)
    return filename


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    files = []
    for path, source in _package_files():
        with open(source, "rb") as f:
            files.append((path, f.read()))
    return _write_wheel(wheel_directory, files)


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    """An editable install: a .pth file that puts this tree on the path."""
    return _write_wheel(wheel_directory, [("kestravo_editable.pth", (_HERE + "\n").encode())])


def build_sdist(sdist_directory, config_settings=None):
    import tarfile

    name, version, _, _ = _project()
    base = "%s-%s" % (name, version)
    filename = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as tar:
        for relative in ["pyproject.toml", "README.md", "_build/kestravo_build.py"] + [p for p, _ in _package_files()]:
            if os.path.exists(os.path.join(_HERE, relative)):
                tar.add(os.path.join(_HERE, relative), arcname=base + "/" + relative)
        info = tarfile.TarInfo(base + "/PKG-INFO")
        data = _metadata().encode("utf-8")
        info.size = len(data)
        import io
        tar.addfile(info, io.BytesIO(data))
    return filename
