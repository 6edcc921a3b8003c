"""Checks of signed documents, detached signatures and AUTH lines."""

from __future__ import annotations

import ctypes
from datetime import datetime, timezone
from enum import IntEnum
from typing import BinaryIO, Iterable, NamedTuple, Union

from velixverify import _native
from velixverify._native import SignerInfo, lib
from velixverify.errors import ERRORS, Status, VerifyError

# User IDs are written in the signer's ANSI code page; a Russian bank's is 1251.
DEFAULT_USER_ID_ENCODING = "cp1251"

_CHUNK = 1 << 20


def _raise_for(status: int, serial: int = 0) -> None:
    if status == Status.OK:
        return
    text = lib.velix_status_text(status).decode("ascii")
    raise ERRORS.get(Status(status), VerifyError)(text, serial)


class Cards:
    """A card collection (pubkeys.key, Public.iks), read once and then shared
    by any number of threads. Cards are as trustworthy as the place they were
    read from: the server's own files, never what a sender supplies."""

    def __init__(self, handle: int) -> None:
        self._handle = ctypes.c_void_p(handle)

    @classmethod
    def load(cls, data: bytes, *, later_wins: bool = False) -> "Cards":
        """Reads the cards; two of one serial are refused (DuplicateSerial)
        unless later_wins lets the later one replace the earlier."""
        data = bytes(data)
        handle = ctypes.c_void_p()
        flags = _native.CARDS_LATER_WINS if later_wins else 0
        _raise_for(lib.velix_cards_load(data, len(data), flags, ctypes.byref(handle)))
        return cls(handle.value)

    def __len__(self) -> int:
        return lib.velix_cards_count(self._handle)

    def close(self) -> None:
        if self._handle:
            lib.velix_cards_free(self._handle)
            self._handle = ctypes.c_void_p()

    def __enter__(self) -> "Cards":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()

    @property
    def handle(self) -> ctypes.c_void_p:
        if not self._handle:
            raise ValueError("the card collection is closed")
        return self._handle


class Signer(NamedTuple):
    """Who signed: the key's serial, the user ID of its card, the time."""

    serial: int
    user_id: str
    signed_at: datetime
    key_bits: int


class Verified(NamedTuple):
    """A verified document: its signer's serial, user ID, signing time and
    key size, exactly the text that was signed (the AUTH line included), and
    how many input bytes the document took."""

    serial: int
    user_id: str
    signed_at: datetime
    key_bits: int
    text: bytes
    consumed: int


_UTC = timezone.utc


def verify_document(cards: Cards, document: bytes, *, lenient: bool = False,
                    user_id_encoding: str = DEFAULT_USER_ID_ENCODING) -> Verified:
    """Checks a signed document. Strict unless lenient: the document must be
    exactly as the signer writes it, with only blanks after it."""
    if type(document) is not bytes:
        document = bytes(document)
    buffer = ctypes.c_char_p(document)
    info = SignerInfo()
    status = lib.velix_verify_document(cards.handle, buffer, len(document),
                                       _native.LENIENT if lenient else 0, ctypes.byref(info))
    if status:
        _raise_for(status, info.serial)
    # The text points into the buffer: its offset there is its place in document.
    start = info.text - ctypes.c_void_p.from_buffer(buffer).value
    return Verified(info.serial, info.user_id.decode(user_id_encoding, errors="replace"),
                    datetime.fromtimestamp(info.signed_at, _UTC), info.modulus_bits,
                    document[start:start + info.text_length], info.consumed)


Data = Union[bytes, Iterable[bytes], BinaryIO]


def verify_detached(cards: Cards, signature: bytes, data: Data, *,
                    user_id_encoding: str = DEFAULT_USER_ID_ENCODING) -> Signer:
    """Checks a detached signature over data: bytes, an iterable of byte
    pieces, or a binary file read in pieces."""
    signature = bytes(signature)
    check = ctypes.c_void_p()
    _raise_for(lib.velix_detached_begin(signature, len(signature), ctypes.byref(check)))
    try:
        for piece in _pieces(data):
            _raise_for(lib.velix_detached_update(check, piece, len(piece)))
    except BaseException:
        lib.velix_detached_free(check)
        raise
    info = SignerInfo()
    _raise_for(lib.velix_detached_finish(check, cards.handle, ctypes.byref(info)), info.serial)
    return Signer(info.serial, info.user_id.decode(user_id_encoding, errors="replace"),
                  datetime.fromtimestamp(info.signed_at, _UTC), info.modulus_bits)


def _pieces(data: Data) -> Iterable[bytes]:
    if isinstance(data, (bytes, bytearray, memoryview)):
        yield bytes(data)
    elif hasattr(data, "read"):
        while piece := data.read(_CHUNK):
            yield piece
    else:
        for piece in data:
            yield bytes(piece)


class KeyType(IntEnum):
    """Which kind of key the AUTH line says signed."""

    FILE = 0
    TOKEN = 1


class AuthLine(NamedTuple):
    """A matching AUTH line: the key type, where the line starts, and the
    message before it."""

    key_type: KeyType
    line_start: int
    message: bytes


def parse_prefix(prefix: Union[str, bytes]) -> bytes:
    """The 10 bytes of a digest prefix given as 20 hex digits, or as itself."""
    if isinstance(prefix, bytes) and len(prefix) == 10:
        return prefix
    text = prefix.encode("ascii") if isinstance(prefix, str) else bytes(prefix)
    out = ctypes.create_string_buffer(10)
    _raise_for(lib.velix_parse_prefix(text, out))
    return out.raw


def check_auth_line(prefix: Union[str, bytes], text: bytes, serial: int) -> AuthLine:
    """Checks the AUTH line that ends a verified document's text."""
    text = bytes(text)
    key_type = ctypes.c_int()
    line_start = ctypes.c_size_t()
    _raise_for(lib.velix_check_auth_line(parse_prefix(prefix), text, len(text), serial, ctypes.byref(key_type),
                                         ctypes.byref(line_start)))
    return AuthLine(KeyType(key_type.value), line_start.value, text[:line_start.value])


def library_version() -> str:
    return lib.velix_verify_version().decode("ascii")
