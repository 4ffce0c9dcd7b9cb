"""The package's view of the library matches the C header: signatures, codes, sizes."""
import ctypes
import re

import pytest

import kestravo
from kestravo import _library

C_TYPES = {
    "uint8_t": ctypes.c_uint8, "uint16_t": ctypes.c_uint16, "uint32_t": ctypes.c_uint32,
    "int32_t": ctypes.c_int32, "double": ctypes.c_double,
}


def _ctype(declaration):
    declaration = re.sub(r"/\*.*?\*/", "", declaration).strip()
    words = declaration.replace("*", " * ").split()
    pointer = "*" in words
    base = [w for w in words if w in C_TYPES or w == "char"][0]
    if base == "char":
        return ctypes.c_char_p
    return ctypes.POINTER(C_TYPES[base]) if pointer else C_TYPES[base]


def _prototypes(header):
    found = {}
    for m in re.finditer(r"COM_KESTRAVO_API\s+([^;]*?)\bCOM_KESTRAVO_(\w+)\s*\(([^)]*)\)\s*;", header, re.S):
        ret, name, args = m.groups()
        args = [] if args.strip() == "void" else [_ctype(a) for a in args.split(",")]
        found[name] = (_ctype(ret), args)
    return found


def test_every_function_of_the_header_is_declared_as_the_header_says(header):
    prototypes = _prototypes(header)
    assert len(prototypes) == 82
    assert set(prototypes) == set(_library.SIGNATURES)
    for name, (restype, argtypes) in prototypes.items():
        assert _library.SIGNATURES[name] == (restype, argtypes), name


@pytest.mark.parametrize("enum_type,c_name", [(kestravo.Result, "COM_KESTRAVO_Result"),
                                              (kestravo.IOState, "COM_KESTRAVO_IOState")])
def test_named_codes_match_the_header(header, enum_type, c_name):
    body = re.search(r"enum %s \{(.*?)\};" % c_name, header, re.S).group(1)
    codes = {n: int(v) for n, v in re.findall(r"COM_KESTRAVO_(\w+) = (-?\d+)", body)}
    assert codes == {e.name: int(e) for e in enum_type}


def test_sizes_match_the_header(header):
    for name in ("CONFIG_SIZE", "NAME_SIZE", "CONFIG_COUNT", "MEMORY_SIZE", "MEMORY_BLOCK_MAX"):
        value = int(re.search(r"#define COM_KESTRAVO_%s (\d+)" % name, header).group(1))
        assert getattr(kestravo, name) == value, name


def test_protocol_version():
    assert kestravo.protocol_version() == kestravo.Version(1, 0)
