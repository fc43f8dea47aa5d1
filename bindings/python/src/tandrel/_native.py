"""Finds and loads the shared library, declares its functions (the sixteen
plain calls and the session calls) and forwards its log messages to the
standard `logging` module."""

from __future__ import annotations

import _thread
import atexit
import ctypes
import ctypes.util
import logging
import os
import threading
from pathlib import Path
from typing import Optional

LOG_CB = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p)
OUTPUT_CB = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p)
PROGRESS_CB = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_void_p)

_TEXT = ctypes.c_char_p
_BUFFER = ctypes.POINTER(ctypes.c_char)
_INT = ctypes.c_int
_PTR = ctypes.c_void_p

# (result, arguments) of every exported function, as include/tandrel.h declares them.
_PROTOTYPES = {
    "tandrel_version": (_TEXT, []),
    "tandrel_set_log_callback": (None, [LOG_CB, _PTR]),
    "tandrel_read_device_info": (_INT, [_TEXT, _TEXT, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_list_logs": (_INT, [_TEXT, _TEXT, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_read_live": (_INT, [_TEXT, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_read_live_ex": (_INT, [_TEXT, _TEXT, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_list_points": (_INT, [_TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_read_points": (_INT, [_TEXT, _TEXT, _TEXT, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_read_datalog": (_INT, [_TEXT, _TEXT, _INT, _TEXT, OUTPUT_CB, _PTR, _BUFFER, _INT]),
    "tandrel_read_eventlog": (_INT, [_TEXT, _TEXT, _INT, _TEXT, OUTPUT_CB, _PTR, _BUFFER, _INT]),
    "tandrel_export_datalog": (_INT, [_TEXT, _TEXT, _INT, _TEXT, _BUFFER, _INT]),
    "tandrel_export_datalog_ex": (
        _INT, [_TEXT, _TEXT, _INT, _TEXT, _TEXT, PROGRESS_CB, _PTR, _BUFFER, _INT]),
    "tandrel_export_eventlog": (_INT, [_TEXT, _TEXT, _INT, _TEXT, _BUFFER, _INT]),
    "tandrel_export_eventlog_ex": (
        _INT, [_TEXT, _TEXT, _INT, _TEXT, _TEXT, PROGRESS_CB, _PTR, _BUFFER, _INT]),
    "tandrel_export_em133_all": (_INT, [_TEXT, _INT, _INT, _TEXT, _BUFFER, _INT]),
    "tandrel_export_em235_diagnostics": (
        _INT, [_TEXT, _INT, _INT, _INT, _TEXT, _TEXT, _BUFFER, _INT]),
    "tandrel_open": (_PTR, [_TEXT, _TEXT, _TEXT, _BUFFER, _INT]),
    "tandrel_close": (None, [_PTR]),
    "tandrel_session_read_device_info": (_INT, [_PTR, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_session_read_live": (_INT, [_PTR, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_session_read_points": (_INT, [_PTR, _TEXT, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_session_list_logs": (_INT, [_PTR, _BUFFER, _INT, _BUFFER, _INT]),
    "tandrel_session_read_datalog": (_INT, [_PTR, _INT, OUTPUT_CB, _PTR, _BUFFER, _INT]),
    "tandrel_session_read_eventlog": (_INT, [_PTR, _INT, OUTPUT_CB, _PTR, _BUFFER, _INT]),
    "tandrel_session_export_datalog": (
        _INT, [_PTR, _INT, _TEXT, PROGRESS_CB, _PTR, _BUFFER, _INT]),
    "tandrel_session_export_eventlog": (
        _INT, [_PTR, _INT, _TEXT, PROGRESS_CB, _PTR, _BUFFER, _INT]),
}

ENVIRONMENT_VARIABLE = "TANDREL_LIBRARY"
_LIBRARY_NAME = "tandrel.dll" if os.name == "nt" else "libtandrel.so.1"

logger = logging.getLogger("tandrel")
# A library leaves output to the application: without this, Python's last-resort
# handler would print every failed call's message to stderr.
logger.addHandler(logging.NullHandler())

# Indexed by the library's TANDREL_LOG_* severities.
_LEVELS = (logging.ERROR, logging.WARNING, logging.INFO, logging.DEBUG)

_load_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None
_library_path: Optional[str] = None

# Where a Python callback keeps an exception raised while the library runs it,
# so the call re-raises it on return (see _calls.Call).
current_call = threading.local()


def _forward_log(level: int, message: bytes, _user: object) -> None:
    call = getattr(current_call, "call", None)
    try:
        if call is not None and call.hides(message):
            return
        py_level = _LEVELS[level] if 0 <= level < len(_LEVELS) else logging.DEBUG
        if logger.isEnabledFor(py_level):
            logger.log(py_level, "%s", message.decode("utf-8", "replace"))
    except BaseException as exc:  # nothing may unwind into the library
        if call is not None:
            call.keep(exc)
        elif isinstance(exc, KeyboardInterrupt):
            _thread.interrupt_main()


# The library holds only the raw pointer: this object lives as long as the module.
_LOG_CALLBACK = LOG_CB(_forward_log)


def _candidates() -> list[tuple[str, str]]:
    """(what, path or name) in the order they are tried."""
    explicit = os.environ.get(ENVIRONMENT_VARIABLE)
    if explicit:
        # Set on purpose: falling back to another copy would hide the mistake.
        return [(f"{ENVIRONMENT_VARIABLE}={explicit}", explicit)]
    packaged = Path(__file__).resolve().parent / _LIBRARY_NAME
    system = _LIBRARY_NAME
    if os.name == "nt":
        # Since Python 3.8 a bare DLL name no longer searches PATH.
        system = ctypes.util.find_library("tandrel") or _LIBRARY_NAME
    return [(f"the copy in the package ({packaged})", str(packaged)),
            (f"the system's {_LIBRARY_NAME}", system)]


def _open() -> tuple[ctypes.CDLL, str]:
    tried = []
    for what, target in _candidates():
        if os.sep in target and not os.path.exists(target):
            tried.append(f"{what}: no such file")
            continue
        try:
            return ctypes.CDLL(target), target
        except OSError as exc:
            tried.append(f"{what}: {exc}")
    raise OSError("Cannot load the tandrel library; tried " + "; ".join(tried))


def _declare(lib: ctypes.CDLL) -> None:
    for name, (result, arguments) in _PROTOTYPES.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments


def library() -> ctypes.CDLL:
    """The loaded library; loads it and installs the log bridge on first use."""
    global _library, _library_path
    if _library is not None:
        return _library
    with _load_lock:
        if _library is None:
            lib, path = _open()
            _declare(lib)
            lib.tandrel_set_log_callback(_LOG_CALLBACK, None)
            atexit.register(lib.tandrel_set_log_callback, LOG_CB(0), None)
            _library_path = path
            _library = lib
    return _library


def library_path() -> str:
    """The path (or, when found by the system, the name) the library was loaded from."""
    library()
    assert _library_path is not None
    return _library_path
