#!/usr/bin/env python3
"""Talks to a KESTRAVO device through libCOM-KESTRAVO with ctypes.

Usage: KESTRAVO_COM1=sim python3 kestravo_ctypes.py [library path] [COM number]
Shows the identity, sets the oscillator period and reads it back; exit status 0 on success.
"""
import ctypes
import sys

path = sys.argv[1] if len(sys.argv) > 1 else "libCOM-KESTRAVO.so.1"
com = int(sys.argv[2]) if len(sys.argv) > 2 else 1
lib = ctypes.CDLL(path)

u16, u32, i32 = ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int32
lib.COM_KESTRAVO_GetSWVersion.restype = u16
lib.COM_KESTRAVO_GetErrorMessage.restype = ctypes.c_char_p
lib.COM_KESTRAVO_GetErrorMessage.argtypes = [u16]
for name, args in {
    "Open": [u16, ctypes.c_uint8],
    "Close": [u16],
    "GetFWVersion": [u16, ctypes.POINTER(u16)],
    "GetProductID": [u16, ctypes.c_char_p],
    "SetOscillatorPeriod": [u16, u32],
    "GetOscillatorPeriod": [u16, ctypes.POINTER(u32)],
}.items():
    function = getattr(lib, "COM_KESTRAVO_" + name)
    function.restype = i32
    function.argtypes = args


def check(result, what):
    if result != 0:
        sys.exit("%s: %s" % (what, lib.COM_KESTRAVO_GetErrorMessage(0).decode()))


print("Protocol version %04X" % lib.COM_KESTRAVO_GetSWVersion())
check(lib.COM_KESTRAVO_Open(0, com), "Open")
firmware = u16()
product = ctypes.create_string_buffer(84)
period = u32()
check(lib.COM_KESTRAVO_GetFWVersion(0, ctypes.byref(firmware)), "GetFWVersion")
check(lib.COM_KESTRAVO_GetProductID(0, product), "GetProductID")
check(lib.COM_KESTRAVO_SetOscillatorPeriod(0, 98), "SetOscillatorPeriod")
check(lib.COM_KESTRAVO_GetOscillatorPeriod(0, ctypes.byref(period)), "GetOscillatorPeriod")
print("Firmware %d-%02d: %s" % (firmware.value >> 8, firmware.value & 0xFF, product.value.decode()))
print("Oscillator period: %d" % period.value)
check(lib.COM_KESTRAVO_Close(0), "Close")
