"""The C library through ctypes: loading it and the calls' prototypes."""

from __future__ import annotations

import ctypes
import os

# The library's major version: the one whose structures this module mirrors.
_SONAME = "libvelixverify.so.1"


class SignerInfo(ctypes.Structure):
    """velix_signer_info."""

    _fields_ = [
        ("serial", ctypes.c_uint32),
        ("user_id", ctypes.c_char * 24),
        ("signed_at", ctypes.c_uint32),
        ("modulus_bits", ctypes.c_int),
        ("text", ctypes.c_void_p),
        ("text_length", ctypes.c_size_t),
        ("consumed", ctypes.c_size_t),
    ]


LENIENT = 0x1
CARDS_LATER_WINS = 0x2


def _load() -> ctypes.CDLL:
    # VELIXVERIFY_LIBRARY names a library outside the loader's path (a build
    # tree); otherwise the installed one is found like any shared library.
    lib = ctypes.CDLL(os.environ.get("VELIXVERIFY_LIBRARY") or _SONAME)
    c_status = ctypes.c_int
    handle = ctypes.c_void_p
    size = ctypes.c_size_t
    prototypes = {
        "velix_status_text": (ctypes.c_char_p, [c_status]),
        "velix_verify_version": (ctypes.c_char_p, []),
        "velix_cards_load": (c_status, [ctypes.c_char_p, size, ctypes.c_uint, ctypes.POINTER(handle)]),
        "velix_cards_free": (None, [handle]),
        "velix_cards_count": (size, [handle]),
        "velix_verify_document": (
            c_status, [handle, ctypes.c_char_p, size, ctypes.c_uint, ctypes.POINTER(SignerInfo)]),
        "velix_verify_detached": (
            c_status, [handle, ctypes.c_char_p, size, ctypes.c_char_p, size, ctypes.POINTER(SignerInfo)]),
        "velix_detached_begin": (c_status, [ctypes.c_char_p, size, ctypes.POINTER(handle)]),
        "velix_detached_update": (c_status, [handle, ctypes.c_char_p, size]),
        "velix_detached_finish": (c_status, [handle, handle, ctypes.POINTER(SignerInfo)]),
        "velix_detached_free": (None, [handle]),
        "velix_parse_prefix": (c_status, [ctypes.c_char_p, ctypes.c_char_p]),
        "velix_check_auth_line": (
            c_status,
            [ctypes.c_char_p, ctypes.c_char_p, size, ctypes.c_uint32, ctypes.POINTER(ctypes.c_int),
             ctypes.POINTER(size)]),
    }
    for name, (restype, argtypes) in prototypes.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


lib = _load()
