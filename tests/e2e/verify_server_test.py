"""The demo's verify server (browser/demo/verify_server.py) as a bank's page
reaches it: a document signed by the real velix program with a key set made
by velix-demo is posted over HTTP on 127.0.0.1 and checked there; forged and
malformed posts are refused. VELIX_BIN_DIR names the build's programs."""

from __future__ import annotations

import http.client
import json
import os
import subprocess
import sys
import urllib.error
import urllib.request
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BIN = Path(os.environ["VELIX_BIN_DIR"])
PASSPHRASE = "verify-server-passphrase"
PAGE_ORIGIN = "http://127.0.0.1:8443"


def run(args: list[str], env: dict, stdin: str = "") -> str:
    # Bytes, then UTF-8: text mode would turn the document's CR LF into LF.
    return subprocess.run(args, input=stdin.encode(), env=env, capture_output=True, check=True,
                          timeout=60).stdout.decode("utf-8")


@pytest.fixture(scope="module")
def signed(tmp_path_factory) -> dict:
    """A key set of the demo and a document signed with it by velix."""
    home = tmp_path_factory.mktemp("home")
    env = {**os.environ, "HOME": str(home), "XDG_CONFIG_HOME": str(home / ".config")}
    (home / "keys").mkdir()
    run([str(BIN / "velix-demo"), "keys", str(SOURCE / "tests/fixtures/keycard.txt"), str(home / "keys"), PASSPHRASE,
         "Demo key"], env)
    document = run([str(BIN / "velix"), "--passphrase-fd", "0", "sign", "message", "--utf8",
                    "Платёж 10 to ACME, invoice 7"], env, PASSPHRASE + "\n")
    return {"document": document, "cards": home / "keys" / "Public.iks",
            "prefix": run([str(BIN / "velix-demo"), "prefix"], env).strip()}


@pytest.fixture(scope="module")
def server(signed):
    process = subprocess.Popen(
        [sys.executable, str(SOURCE / "browser/demo/verify_server.py"), "--cards", str(signed["cards"]),
         "--auth-prefix", signed["prefix"], "--allow-origin", PAGE_ORIGIN],
        stdout=subprocess.PIPE, text=True, env={**os.environ, "PYTHONDONTWRITEBYTECODE": "1"})
    try:
        line = process.stdout.readline()  # the server prints it once it listens, or dies
        assert line.startswith("listening on http://127.0.0.1:"), line
        yield line.split()[-1]
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


def post(url: str, body: bytes, headers: dict | None = None) -> tuple[int, dict, dict]:
    request = urllib.request.Request(url + "/verify", data=body, method="POST",
                                     headers={"Content-Type": "application/json", **(headers or {})})
    try:
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.status, json.loads(answer.read()), dict(answer.headers)
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read() or b"null"), dict(error.headers)


def post_document(url: str, document: str, utf8: bool = True) -> tuple[int, dict]:
    status, body, _ = post(url, json.dumps({"document": document, "utf8": utf8}).encode())
    return status, body


def test_a_signed_document_is_checked_and_named(server, signed):
    status, body = post_document(server, signed["document"])
    assert status == 200, body
    assert body["result"] == "good"
    assert (body["serial"], body["user_id"], body["key_type"]) == (12345, "Test User", "file")
    assert body["message"] == "Платёж 10 to ACME, invoice 7\r\n"
    assert body["signed_at"].startswith("20")


def test_forged_or_changed_documents_are_refused(server, signed):
    document = signed["document"]
    forged = document.replace("10 to ACME", "99 to ACME")
    cases = [
        (forged, "BAD_SIGNATURE"),
        (document + "\r\n" + forged, "TRAILING_DATA"),
        (document + " Pay 100000 to MALLORY", "TRAILING_DATA"),
        (document[:-5], "DOCUMENT"),
        (document.replace("\r\n", "\n"), "DOCUMENT"),
    ]
    for text, expected in cases:
        status, body = post_document(server, text)
        assert (status, body.get("status")) == (422, expected), (expected, body)


def test_the_document_is_checked_in_the_bytes_it_was_signed_in(server, signed):
    status, body = post_document(server, signed["document"], utf8=False)
    # In 1251 the Cyrillic letters take a byte each: no longer the signed length.
    assert (status, body["status"]) == (422, "DOCUMENT")
    status, body = post_document(server, signed["document"] + "✓", utf8=False)
    assert (status, body["status"]) == (422, "ENCODING")


def test_malformed_requests_are_refused(server):
    assert post(server, b"not json")[0] == 400
    assert post(server, b'["a list"]')[0] == 400
    assert post(server, json.dumps({"document": 5}).encode())[0] == 400
    # Over 1 MiB: refused from the header alone, the body is never read.
    host, port = server.removeprefix("http://").split(":")
    connection = http.client.HTTPConnection(host, int(port), timeout=30)
    connection.putrequest("POST", "/verify")
    connection.putheader("Content-Length", str((1 << 20) + 1))
    connection.endheaders()
    assert connection.getresponse().status == 413
    connection.close()
    with pytest.raises(urllib.error.HTTPError) as raised:
        urllib.request.urlopen(server + "/", timeout=30)
    assert raised.value.code == 404


def test_only_the_configured_page_may_call_it_from_a_browser(server, signed):
    body = json.dumps({"document": signed["document"], "utf8": True}).encode()
    _, _, allowed = post(server, body, {"Origin": PAGE_ORIGIN})
    assert allowed.get("Access-Control-Allow-Origin") == PAGE_ORIGIN
    _, _, other = post(server, body, {"Origin": "http://127.0.0.2:8443"})
    assert "Access-Control-Allow-Origin" not in other
    preflight = urllib.request.Request(server + "/verify", method="OPTIONS",
                                       headers={"Origin": PAGE_ORIGIN, "Access-Control-Request-Method": "POST"})
    with urllib.request.urlopen(preflight, timeout=30) as answer:
        assert answer.status == 204
        assert answer.headers["Access-Control-Allow-Origin"] == PAGE_ORIGIN
