"""The library's statuses, and one exception class for each failing one."""

from __future__ import annotations

from enum import IntEnum


class Status(IntEnum):
    """libvelixverify's status codes (velix_status in velixverify.h)."""

    OK = 0
    ARGS = 1
    NOMEM = 2
    DOCUMENT = 3
    DOCUMENT_TYPE = 4
    ARMOR = 5
    PACKET = 6
    ALGORITHM = 7
    SERIAL_MISMATCH = 8
    CARDS = 9
    CARD_NOT_FOUND = 10
    BAD_SIGNATURE = 11
    NO_AUTH_LINE = 12
    BAD_AUTH_LINE = 13
    PREFIX = 14
    TOO_LARGE = 15
    TRAILING_DATA = 16
    EXTRA_PACKETS = 17
    ARMOR_TRAILING = 18
    TOTAL_FIELD = 19
    VERSION = 20
    PLAIN_LENGTH = 21
    NAME_LINES = 22
    LAYOUT = 23
    ARMOR_LAYOUT = 24
    DUPLICATE_SERIAL = 25
    CARD_USER_ID = 26
    CARD_CHECK_WORD = 27
    CARD_CERTIFICATION = 28
    KEY_TOO_SMALL = 29


class VerifyError(Exception):
    """A check that failed. status says why; serial is the signing key's
    serial when the signature was read that far, else 0."""

    status: Status = Status.ARGS

    def __init__(self, message: str, serial: int = 0) -> None:
        super().__init__(message)
        self.serial = serial


class InvalidArgument(VerifyError):
    status = Status.ARGS


class OutOfMemory(VerifyError):
    status = Status.NOMEM


class MalformedDocument(VerifyError):
    status = Status.DOCUMENT


class NotASignedMessage(VerifyError):
    status = Status.DOCUMENT_TYPE


class BrokenArmor(VerifyError):
    status = Status.ARMOR


class MalformedPacket(VerifyError):
    status = Status.PACKET


class UnknownAlgorithm(VerifyError):
    status = Status.ALGORITHM


class SerialMismatch(VerifyError):
    status = Status.SERIAL_MISMATCH


class MalformedCards(VerifyError):
    status = Status.CARDS


class CardNotFound(VerifyError):
    status = Status.CARD_NOT_FOUND


class BadSignature(VerifyError):
    status = Status.BAD_SIGNATURE


class NoAuthLine(VerifyError):
    status = Status.NO_AUTH_LINE


class BadAuthLine(VerifyError):
    status = Status.BAD_AUTH_LINE


class BadPrefix(VerifyError):
    status = Status.PREFIX


class TooLarge(VerifyError):
    status = Status.TOO_LARGE


class TrailingData(VerifyError):
    status = Status.TRAILING_DATA


class ExtraPackets(VerifyError):
    status = Status.EXTRA_PACKETS


class TextAfterArmor(VerifyError):
    status = Status.ARMOR_TRAILING


class TotalFieldMismatch(VerifyError):
    status = Status.TOTAL_FIELD


class UnknownVersion(VerifyError):
    status = Status.VERSION


class PlainLengthMismatch(VerifyError):
    status = Status.PLAIN_LENGTH


class NameLinesMismatch(VerifyError):
    status = Status.NAME_LINES


class LayoutMismatch(VerifyError):
    status = Status.LAYOUT


class ArmorLayoutMismatch(VerifyError):
    status = Status.ARMOR_LAYOUT


class DuplicateSerial(VerifyError):
    status = Status.DUPLICATE_SERIAL


class CardUserIdMismatch(VerifyError):
    status = Status.CARD_USER_ID


class CardCheckWordMismatch(VerifyError):
    status = Status.CARD_CHECK_WORD


class CardCertificationFailed(VerifyError):
    status = Status.CARD_CERTIFICATION


class KeyTooSmall(VerifyError):
    status = Status.KEY_TOO_SMALL


ERRORS: dict[Status, type[VerifyError]] = {
    cls.status: cls for cls in VerifyError.__subclasses__()
}

__all__ = ["ERRORS", "Status", "VerifyError"] + [cls.__name__ for cls in ERRORS.values()]
