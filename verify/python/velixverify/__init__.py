"""velixverify: checks documents signed by the velix signer, for servers.

    from velixverify import Cards, verify_document, check_auth_line

    cards = Cards.load(open("/etc/bank/pubkeys.key", "rb").read())
    verified = verify_document(cards, posted_bytes)
    check_auth_line("5f3a9c0e71d24b86e2a7", verified.text, verified.serial)

Every failed check raises a subclass of VerifyError, one for each status of
the C library (velixverify.h), which this package calls through ctypes.
"""

from velixverify.api import (AuthLine, Cards, KeyType, Signer, Verified, check_auth_line, library_version,
                             parse_prefix, verify_detached, verify_document)
from velixverify import errors as _errors
from velixverify.errors import *  # noqa: F401,F403 - Status, VerifyError and one class per status

__all__ = ["AuthLine", "Cards", "KeyType", "Signer", "Verified", "check_auth_line", "library_version",
           "parse_prefix", "verify_detached", "verify_document"] + _errors.__all__
