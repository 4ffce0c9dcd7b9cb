"""Loads libCOM-KESTRAVO and declares the signatures of its functions for ctypes."""
import ctypes
import ntpath
import os
import sys
import threading
from dataclasses import dataclass
from typing import Any, Callable, Dict, List, Mapping, Optional, Tuple

u8, u16, u32, i32 = ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int32
f64, text = ctypes.c_double, ctypes.c_char_p
P = ctypes.POINTER

# Every exported function: its name without the COM_KESTRAVO_ prefix, the return type and the
# argument types, as include/COM-KESTRAVO.h declares them (a test compares the two).
SIGNATURES: Dict[str, Tuple[Any, List[Any]]] = {
    "GetSWVersion": (u16, []),
    "GetInterfaceState": (i32, [u16]),
    "GetErrorMessage": (text, [u16]),
    "GetIOState": (i32, [u16]),
    "GetIOErrorMessage": (text, [u16]),
    "Open": (i32, [u16, u8]),
    "Close": (i32, [u16]),
    "Purge": (i32, [u16]),
    "SetBaudRate": (i32, [u16, P(u32)]),
    "DevicePurge": (i32, [u16, P(i32)]),
    "GetBufferState": (i32, [u16, P(i32)]),
    "Restart": (i32, [u16]),
    "OpenDebugFile": (i32, [u16, text]),
    "CloseDebugFile": (i32, [u16]),
    "GetHWType": (i32, [u16, P(u16)]),
    "GetHWVersion": (i32, [u16, P(u16)]),
    "GetFWVersion": (i32, [u16, P(u16)]),
    "GetFWDate": (i32, [u16, text]),
    "GetProductID": (i32, [u16, text]),
    "GetProductNo": (i32, [u16, P(u32)]),
    "GetMainState": (i32, [u16, P(u16)]),
    "GetDeviceState": (i32, [u16, P(u32)]),
    "GetCPUData": (i32, [u16, P(f64), P(f64)]),
    "GetUptime": (i32, [u16, P(u32), P(u16), P(u32)]),
    "GetTotalTime": (i32, [u16, P(u32), P(u32)]),
    "GetHousekeeping": (i32, [u16, P(f64), P(f64), P(f64), P(f64)]),
    "GetSensorData": (i32, [u16, P(f64)]),
    "GetFanData": (i32, [u16, P(i32), P(i32), P(u16), P(u16), P(u16)]),
    "GetLEDData": (i32, [u16, P(i32), P(i32), P(i32)]),
    "GetOscillatorPeriod": (i32, [u16, P(u32)]),
    "SetOscillatorPeriod": (i32, [u16, u32]),
    "GetPulserDelay": (i32, [u16, u32, P(u32)]),
    "SetPulserDelay": (i32, [u16, u32, u32]),
    "GetPulserWidth": (i32, [u16, u32, P(u32)]),
    "SetPulserWidth": (i32, [u16, u32, u32]),
    "GetPulserBurst": (i32, [u16, u32, P(u32)]),
    "SetPulserBurst": (i32, [u16, u32, u32]),
    "GetPulserConfig": (i32, [u16, u32, P(u8)]),
    "SetPulserConfig": (i32, [u16, u32, u32]),
    "GetSwitchTriggerConfig": (i32, [u16, u32, P(u8)]),
    "SetSwitchTriggerConfig": (i32, [u16, u32, u32]),
    "GetSwitchEnableConfig": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableConfig": (i32, [u16, u32, u32]),
    "GetSwitchTriggerDelay": (i32, [u16, u32, P(u8), P(u8)]),
    "SetSwitchTriggerDelay": (i32, [u16, u32, u32, u32]),
    "GetSwitchEnableDelay": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableDelay": (i32, [u16, u32, u32]),
    "GetSwitchTriggerMapping": (i32, [u16, u32, P(u8)]),
    "SetSwitchTriggerMapping": (i32, [u16, u32, u32]),
    "GetSwitchEnableMapping": (i32, [u16, u32, P(u8)]),
    "SetSwitchEnableMapping": (i32, [u16, u32, u32]),
    "GetSwitchTriggerMappingEnable": (i32, [u16, P(u8)]),
    "SetSwitchTriggerMappingEnable": (i32, [u16, u8]),
    "GetSwitchEnableMappingEnable": (i32, [u16, P(u8)]),
    "SetSwitchEnableMappingEnable": (i32, [u16, u8]),
    "GetInputConfig": (i32, [u16, P(u8), P(u8)]),
    "SetInputConfig": (i32, [u16, u32, u32]),
    "GetOutputConfig": (i32, [u16, u32, P(u8)]),
    "SetOutputConfig": (i32, [u16, u32, u32]),
    "GetDeviceEnable": (i32, [u16, P(i32)]),
    "SetDeviceEnable": (i32, [u16, i32]),
    "GetControllerState": (i32, [u16, P(u16)]),
    "SetControllerConfig": (i32, [u16, u32]),
    "ResetCurrentConfig": (i32, [u16]),
    "GetCurrentConfig": (i32, [u16, P(u8)]),
    "SetCurrentConfig": (i32, [u16, P(u8)]),
    "GetConfigData": (i32, [u16, u32, P(u8)]),
    "SetConfigData": (i32, [u16, u32, P(u8)]),
    "GetConfigList": (i32, [u16, P(u8), P(u8)]),
    "SaveCurrentConfig": (i32, [u16, u32]),
    "LoadCurrentConfig": (i32, [u16, u32]),
    "GetConfigName": (i32, [u16, u32, P(u8)]),
    "SetConfigName": (i32, [u16, u32, P(u8)]),
    "GetConfigFlags": (i32, [u16, u32, P(u8), P(u8)]),
    "SetConfigFlags": (i32, [u16, u32, u8, u8]),
    "GetMemoryData": (i32, [u16, u32, u32, P(u8)]),
    "SetMemoryData": (i32, [u16, u32, u32, P(u8)]),
    "UpdateMemoryData": (i32, [u16]),
    "Test": (i32, [u16, text]),
    "GetOpenFailureReason": (text, [u16]),
    "OpenPort": (i32, [u16, text]),
    "GetLibraryVersion": (text, []),
}


LIBRARY_NAMES = {"win32": "COM-KESTRAVO.dll", "darwin": "libCOM-KESTRAVO.1.dylib"}
LINUX_NAME = "libCOM-KESTRAVO.so.1"
_NOT_FOUND = {
    "win32": "put COM-KESTRAVO.dll beside your program or in a folder on PATH, or set KESTRAVO_LIBRARY to its path",
    "darwin": "install the library, or set KESTRAVO_LIBRARY to its path",
}
_NOT_FOUND_LINUX = "install the package libcom-kestravo1 (or the library with cmake --install), or set KESTRAVO_LIBRARY to its path"


@dataclass(frozen=True)
class SearchPlan:
    """Where the library is looked for: the files (or a bare name) to load in this order, the
    folders whose DLLs the library may load in turn (Windows), and what to say when none loads."""

    candidates: Tuple[str, ...]
    dll_directories: Tuple[str, ...]
    advice: str


def search_plan(platform: str, environ: Mapping[str, str], package_dir: str,
                is_file: Callable[[str], bool] = os.path.isfile) -> SearchPlan:
    """The search for the library on platform ("linux", "win32", ...), as a plan to follow.

    KESTRAVO_LIBRARY names the one file to load. Otherwise, on Windows (where Python 3.8 and later
    no longer search PATH for DLLs), the package's own folder and then each folder on PATH that holds
    COM-KESTRAVO.dll, by full path, then the bare name for the system's folders; elsewhere the
    soname on the system's search path."""
    name = LIBRARY_NAMES.get(platform, LINUX_NAME)
    advice = _NOT_FOUND.get(platform, _NOT_FOUND_LINUX)
    chosen = environ.get("KESTRAVO_LIBRARY")
    windows = platform == "win32"
    join = ntpath.join if windows else os.path.join
    folder_of = ntpath.dirname if windows else os.path.dirname
    if chosen:
        folders = [folder_of(chosen), package_dir] if windows else []
        return SearchPlan((chosen,), tuple(f for f in folders if f), advice)
    if not windows:
        return SearchPlan((name,), (), advice)
    candidates: List[str] = []
    for folder in [package_dir] + environ.get("PATH", "").split(";"):
        folder = folder.strip().strip('"')
        path = join(folder, name) if folder else ""
        if path and path not in candidates and is_file(path):
            candidates.append(path)
    return SearchPlan(tuple(candidates) + (name,), (package_dir,), advice)


def ansi_encoding() -> str:
    """The codec of the text the library takes for paths and port names: on Windows the ANSI code
    page (the library opens files and ports with the system's "A" functions), elsewhere the file
    system's encoding."""
    if sys.platform == "win32":
        return "cp%d" % getattr(ctypes, "windll").kernel32.GetACP()
    return sys.getfilesystemencoding()


def encode_path(text: str, name: str, encoding: Optional[str] = None) -> bytes:
    """text as the library's bytes for a path or a port name; ValueError when a character cannot
    be written in that encoding (on Windows: not in the ANSI code page) or for a NUL."""
    codec = encoding or ansi_encoding()
    try:
        data = text.encode(codec, "surrogateescape" if codec.lower().replace("-", "") == "utf8" else "strict")
    except UnicodeEncodeError as error:
        raise ValueError("%s %r cannot be passed to the library: %r is not in its code page (%s)"
                         % (name, text, text[error.start:error.end], codec)) from None
    if b"\0" in data:
        raise ValueError("%s contains a NUL character: %r" % (name, text))
    return data


_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None
_library_path = ""
_dll_directories: List[Any] = []  # the handles keep the folders on the DLL search path


def library() -> ctypes.CDLL:
    """The loaded library with its signatures declared (loaded on first use).

    KESTRAVO_LIBRARY names the file to load; otherwise the library is found by its soname
    (libCOM-KESTRAVO.so.1) on the system's search path, or as COM-KESTRAVO.dll on Windows (in the
    package's folder, on PATH, or in the system's folders). Raises LibraryNotFoundError (an
    OSError) when none loads.
    """
    global _library, _library_path
    with _lock:
        if _library is None:
            plan = search_plan(sys.platform, os.environ, os.path.dirname(os.path.abspath(__file__)))
            add: Optional[Callable[[str], Any]] = getattr(os, "add_dll_directory", None)
            for folder in plan.dll_directories:
                try:
                    if add is not None:
                        _dll_directories.append(add(folder))
                except OSError:
                    pass  # a folder that does not exist adds nothing
            errors: List[str] = []
            for name in plan.candidates:
                try:
                    lib = ctypes.CDLL(name)
                    _library_path = name
                    break
                except OSError as error:
                    errors.append(str(error))
            else:
                raise LibraryNotFoundError("COM-KESTRAVO library not found (%s): %s"
                                           % (plan.advice, "; ".join(errors)))
            for name, (restype, argtypes) in SIGNATURES.items():
                function = getattr(lib, "COM_KESTRAVO_" + name)
                function.restype = restype
                function.argtypes = argtypes
            _library = lib
        return _library


class LibraryNotFoundError(OSError):
    """The COM-KESTRAVO library could not be loaded; the message says where it was looked for."""


def library_release() -> str:
    """The release of the loaded library ("1.2.0") and the file it was loaded from."""
    release = (library().COM_KESTRAVO_GetLibraryVersion() or b"").decode("ascii", "replace")
    return "%s (%s)" % (release, _library_path)
