"""The library's result and port error codes, and the exception that carries them."""
import enum
from typing import Any, Dict, Tuple, Type, TypeVar, Union


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


_E = TypeVar("_E", Result, IOState)


def _named(enum_type: Type[_E], value: int) -> Union[_E, int]:
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

    The families a script handles differently have subclasses: PortOpenError, NotConnectedError,
    NotReadyError, CommunicationError and DeviceRefusedError; error_class(code) says which.
    """

    def __init__(self, function: str, code: int, message: str, io_state: int, io_message: str,
                 reason: str = "") -> None:
        self.function = function
        self.code: Union[Result, int] = _named(Result, code)
        self.message = message
        self.io_state: Union[IOState, int] = _named(IOState, io_state)
        self.io_message = io_message
        self.reason = reason
        text = "%s: %s (%d); port: %s (%d)" % (function, message, int(code), io_message, int(io_state))
        if reason:
            text += "; " + reason
        super().__init__(text)

    def __reduce__(self) -> Tuple[Any, Tuple[str, int, str, int, str, str]]:
        # Pickled with its fields, so that it crosses into another process (a process pool's
        # result) as itself.
        return (type(self), (self.function, int(self.code), self.message, int(self.io_state), self.io_message,
                             self.reason))


class PortOpenError(KestravoError):
    """The port did not open (-2, OPEN_FAILED); reason says why in plain words."""


class NotConnectedError(KestravoError):
    """No device on the line: DSR and DCD stayed low (-100, NOT_CONNECTED)."""


class NotReadyError(KestravoError):
    """The device did not signal ready, or did not leave it, on CTS (-101 NOT_READY, -102
    STILL_READY)."""


class CommunicationError(KestravoError):
    """Characters were not sent or not received in time (-7 to -12), or the data rate could not be
    changed (-16)."""


class DeviceRefusedError(KestravoError):
    """The device answered with another command or other values than were sent (-13
    WRONG_COMMAND, -14 WRONG_ARGUMENT): it refused the command.

    A -13 that repeats on every call means the replies are read out of step (a reply of an
    earlier call is still on the line): Device.purge() brings the link back in step."""


class DeviceGoneError(NotConnectedError, CommunicationError):
    """The port itself failed under a call (it cannot be written, or its lines set or read): the
    device was unplugged, its server ended or the connection was lost. Both a NotConnectedError
    and a CommunicationError; Device.reopen() opens the port again once it is back."""


# Port error codes that say the operating system refused the port itself, not that the device was
# slow: a vanished USB adapter, an ended pseudo-terminal's server, a closed connection. (A read
# that times out is IO_READ_FAILED too, so a read failure alone says nothing.)
PORT_GONE = frozenset((IOState.IO_WRITE_FAILED, IOState.IO_CONTROL_FAILED, IOState.IO_STATUS_FAILED,
                       IOState.IO_GET_STATE_FAILED))


_CLASSES: Dict[int, Type[KestravoError]] = {
    Result.OPEN_FAILED: PortOpenError,
    Result.NOT_CONNECTED: NotConnectedError,
    Result.NOT_READY: NotReadyError,
    Result.STILL_READY: NotReadyError,
    Result.SEND_COMMAND_FAILED: CommunicationError,
    Result.SEND_DATA_FAILED: CommunicationError,
    Result.SEND_TERMINATION_FAILED: CommunicationError,
    Result.RECEIVE_COMMAND_FAILED: CommunicationError,
    Result.RECEIVE_DATA_FAILED: CommunicationError,
    Result.RECEIVE_TERMINATION_FAILED: CommunicationError,
    Result.BAUD_RATE_FAILED: CommunicationError,
    Result.WRONG_COMMAND: DeviceRefusedError,
    Result.WRONG_ARGUMENT: DeviceRefusedError,
}


def error_class(code: int, io_state: int = IOState.IO_OK) -> Type[KestravoError]:
    """The exception class for a library result code (KestravoError for the others), and with
    the slot's port error code: DeviceGoneError for a failed link whose port itself failed."""
    family = _CLASSES.get(code, KestravoError)
    if io_state in PORT_GONE and family in (CommunicationError, NotConnectedError, NotReadyError):
        return DeviceGoneError
    return family
