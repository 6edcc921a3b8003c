"""velixverify on the documents, signatures, AUTH lines and card collections
that make_verify_cases wrote and checked with the C library (VELIX_VERIFY_CASES
names the folder)."""

from __future__ import annotations

import io
import os
import threading
from datetime import datetime, timezone
from pathlib import Path

import pytest

import velixverify
from velixverify import (Cards, KeyType, Status, VerifyError, check_auth_line, verify_detached,
                         verify_document)

CASES = Path(os.environ["VELIX_VERIFY_CASES"])


def read(name: str) -> bytes:
    return (CASES / name).read_bytes()


def cases(kind: str) -> list[list[str]]:
    lines = (CASES / "cases.tsv").read_text(encoding="utf-8").splitlines()
    return [line.split("\t")[1:] for line in lines if line.split("\t")[0] == kind]


@pytest.fixture(scope="module")
def cards() -> Cards:
    return Cards.load(read("cards.key"))


@pytest.mark.parametrize("name,mode,status,serial,user_id,text_file", cases("document"))
def test_documents_give_the_c_librarys_status(cards, name, mode, status, serial, user_id, text_file):
    document = read(name)
    if int(status) == Status.OK:
        verified = verify_document(cards, document, lenient=mode == "lenient")
        assert verified.text == read(text_file)
        assert (verified.serial, verified.user_id, verified.key_bits) == (int(serial), user_id, 1024)
        assert verified.text in document
        assert abs((datetime.now(timezone.utc) - verified.signed_at).days) <= 1
        assert document[:verified.consumed].rstrip(b"\r\n").endswith(b"END SIGNATURE")
    else:
        with pytest.raises(VerifyError) as raised:
            verify_document(cards, document, lenient=mode == "lenient")
        assert raised.value.status == int(status)
        assert type(raised.value) is velixverify.ERRORS[Status(int(status))]


def test_lenient_mode_tells_where_the_document_ended(cards):
    document = read("forged_after_lenient.txt")
    verified = verify_document(cards, document, lenient=True)
    assert verified.consumed < len(document)
    assert document[verified.consumed:].lstrip().startswith(b"0000")  # the forged document follows


@pytest.mark.parametrize("signature,data,status,serial", cases("detached"))
def test_detached_signatures_in_one_piece_and_streamed(cards, signature, data, status, serial):
    signature_bytes, data_bytes = read(signature), read(data)
    pieces = [data_bytes[at:at + 4093] for at in range(0, len(data_bytes), 4093)]
    for given in (data_bytes, pieces, io.BytesIO(data_bytes)):
        if int(status) == Status.OK:
            signer = verify_detached(cards, signature_bytes, given)
            assert (signer.serial, signer.user_id) == (int(serial), "Test User")
        else:
            with pytest.raises(velixverify.BadSignature) as raised:
                verify_detached(cards, signature_bytes, given)
            assert raised.value.serial == int(serial)


@pytest.mark.parametrize("name,prefix,serial,status,key_type,line_start", cases("auth"))
def test_auth_lines(name, prefix, serial, status, key_type, line_start):
    text = read(name)
    if int(status) == Status.OK:
        line = check_auth_line(prefix, text, int(serial))
        assert line.key_type == KeyType(int(key_type))
        assert line.line_start == int(line_start)
        assert line.message == text[:int(line_start)]
    else:
        with pytest.raises(VerifyError) as raised:
            check_auth_line(prefix, text, int(serial))
        assert raised.value.status == int(status)


def test_a_prefix_must_be_twenty_hex_digits():
    with pytest.raises(velixverify.BadPrefix):
        check_auth_line("5f3a9c0e71d24b86e2a", read("auth_good.txt"), 12345)


@pytest.mark.parametrize("name,rule,status,count", cases("cards"))
def test_card_collections(name, rule, status, count):
    if int(status) == Status.OK:
        with Cards.load(read(name), later_wins=rule == "later_wins") as loaded:
            assert len(loaded) == int(count)
    else:
        with pytest.raises(VerifyError) as raised:
            Cards.load(read(name), later_wins=rule == "later_wins")
        assert raised.value.status == int(status)


def test_every_status_has_its_own_exception_class():
    failing = [status for status in Status if status != Status.OK]
    assert sorted(velixverify.ERRORS) == failing
    assert len({cls.__name__ for cls in velixverify.ERRORS.values()}) == len(failing)


def test_one_collection_serves_many_threads(cards):
    good, tampered = read("good.txt"), read("tampered.txt")
    failures: list[str] = []

    def check() -> None:
        for _ in range(100):
            if verify_document(cards, good).serial != 12345:
                failures.append("good")
            try:
                verify_document(cards, tampered)
                failures.append("tampered passed")
            except velixverify.BadSignature:
                pass

    threads = [threading.Thread(target=check) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=60)
    assert failures == []
    assert not any(thread.is_alive() for thread in threads)


def test_a_closed_collection_is_refused(cards):
    loaded = Cards.load(read("cards.key"))
    loaded.close()
    with pytest.raises(ValueError):
        verify_document(loaded, read("good.txt"))
