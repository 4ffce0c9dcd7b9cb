"""The library's result and port error codes, and the exception that carries them."""
import enum


class Result(enum.IntEnum):
    """Result codes of the library's functions (enum COM_KESTRAVO_Result)."""
    OK = 0
    PORT_NUMBER_RANGE = -1
    OPEN_FAILED = -2
    CLOSE_FAILED = -3
    PURGE_FAILED = -4
    CONTROL_FAILED = -5
    STATUS_FAILED = -6
    SEND_COMMAND_FAILED = -7
    SEND_DATA_FAILED = -8
    SEND_TERMINATION_FAILED = -9
    RECEIVE_COMMAND_FAILED = -10
    RECEIVE_DATA_FAILED = -11
    RECEIVE_TERMINATION_FAILED = -12
    WRONG_COMMAND = -13
    WRONG_ARGUMENT = -14
    BAD_ARGUMENT = -15
    BAUD_RATE_FAILED = -16
    NOT_CONNECTED = -100
    NOT_READY = -101
    STILL_READY = -102
    DEBUG_OPEN_FAILED = -400
    DEBUG_CLOSE_FAILED = -401


class IOState(enum.IntEnum):
    """Port error codes of a slot's serial port (enum COM_KESTRAVO_IOState)."""
    IO_OK = 0
    IO_NOT_OPEN = 1
    IO_OPEN_FAILED = 2
    IO_ERRORS_UNKNOWN = 3
    IO_GET_STATE_FAILED = 4
    IO_SET_STATE_FAILED = 5
    IO_BREAK_TIMING = 6
    IO_SET_BREAK_FAILED = 7
    IO_CLEAR_BREAK_FAILED = 8
    IO_TIMEOUTS_FAILED = 9
    IO_PURGE_FAILED = 10
    IO_READ_FAILED = 11
    IO_WRITE_FAILED = 12
    IO_WRITE_COUNT = 13
    IO_CONTROL_FAILED = 14
    IO_STATUS_FAILED = 15
    IO_BUSY = 16


def _named(enum_type, value):
    try:
        return enum_type(value)
    except ValueError:
        return value


class KestravoError(Exception):
    """A library call that did not succeed.

    function: the library function (e.g. "COM_KESTRAVO_GetHWType"); code: its result (a Result
    where the code is known); message: the library's text for it; io_state and io_message: the
    slot's port error code and text at that moment; reason: for a failed opening, why the device
    could not be opened ("" when it opened but did not answer).
    """

    def __init__(self, function, code, message, io_state, io_message, reason=""):
        self.function = function
        self.code = _named(Result, code)
        self.message = message
        self.io_state = _named(IOState, io_state)
        self.io_message = io_message
        self.reason = reason
        text = "%s: %s (%d); port: %s (%d)" % (function, message, int(code), io_message, int(io_state))
        if reason:
            text += "; " + reason
        super().__init__(text)
