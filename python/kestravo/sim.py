"""The simulated device, for tests and for trying things without hardware.

    with kestravo.Device(kestravo.sim.port()) as device: ...           # in this process
    with kestravo.sim.Server() as server:                               # COM-KESTRAVO-Sim on a pty
        with kestravo.Device(server.address) as device: ...
    with kestravo.sim.Server(rfc2217=True) as server: ...               # the same over RFC 2217
"""
import contextlib
import os
import shutil
import subprocess
from typing import IO, Iterator, List, Optional, Union

Path = Union[str, "os.PathLike[str]"]


def port(state_file: Optional[Path] = None) -> str:
    """The port name of a simulated device in this process: "sim" (its stored state lasts while it
    is open) or "sim:<state_file>" (its stored configurations and memory kept in that file)."""
    return "sim" if state_file is None else "sim:" + os.fspath(state_file)


@contextlib.contextmanager
def faults(text: str) -> Iterator[None]:
    """Devices opened inside the block inject faults: a comma list of name=value (off=1,
    cts=low|high, slow=ms, drop=n, garble=n, extra=n, nocr=n, silent=n, ignorebaud=1, steady=1,
    interlock=ms)."""
    old = os.environ.get("KESTRAVO_SIM_FAULTS")
    os.environ["KESTRAVO_SIM_FAULTS"] = text
    try:
        yield
    finally:
        if old is None:
            os.environ.pop("KESTRAVO_SIM_FAULTS", None)
        else:
            os.environ["KESTRAVO_SIM_FAULTS"] = old


def program() -> str:
    """The COM-KESTRAVO-Sim program: KESTRAVO_SIM names it, else it is looked up on PATH."""
    found = os.environ.get("KESTRAVO_SIM") or shutil.which("COM-KESTRAVO-Sim")
    if not found:
        raise FileNotFoundError("COM-KESTRAVO-Sim not found (install com-kestravo-tools, or set KESTRAVO_SIM)")
    return found


class Server:
    """COM-KESTRAVO-Sim as a child process: on a pseudo-terminal of its own, or with rfc2217=True
    on a TCP port of this machine (tcp_port, 0: a free one). address is the port name to open
    ("/dev/pts/N" or "rfc2217://127.0.0.1:PORT"). The device lives until stop(); its settings stay
    between openings."""

    def __init__(self, rfc2217: bool = False, state_file: Optional[Path] = None,
                 fault_text: Optional[str] = None, tcp_port: int = 0) -> None:
        command: List[str] = [program()]
        if state_file is not None:
            command += ["--state", os.fspath(state_file)]
        if rfc2217:
            command += ["--rfc2217", str(int(tcp_port)), "--listen", "127.0.0.1"]
        env = dict(os.environ)
        env.pop("KESTRAVO_SIM_FAULTS", None)
        if fault_text is not None:
            env["KESTRAVO_SIM_FAULTS"] = fault_text
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                        env=env, text=True)
        self._out: IO[str] = self.process.stdout  # type: ignore[assignment]  # a pipe was asked for
        line = self._out.readline().strip()
        if not line:
            self.stop()
            raise RuntimeError("COM-KESTRAVO-Sim did not start")
        self.address = line if line.startswith("/") or line.startswith("rfc2217://") else "rfc2217://" + line

    def stop(self) -> None:
        """Ends the simulated device."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._out.close()

    def __enter__(self) -> "Server":
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()
