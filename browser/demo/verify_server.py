#!/usr/bin/env python3
"""The demo's server side: checks a signed document the way a bank's server
does, with the velixverify package, and answers who signed what.

    verify_server.py --cards Public.iks --auth-prefix HEX [--port N]
                     [--allow-origin ORIGIN ...] [--code-page cp1251]

It listens on 127.0.0.1 only (port 0: any free one) and prints
"listening on http://127.0.0.1:PORT" once it does.

POST /verify with the JSON body {"document": TEXT, "utf8": BOOL}: the signed
document as the page got it from velix.js, and whether it was signed as UTF-8
(else its bytes are those of the code page). Answers, as JSON:
  200 {"result": "good", "serial", "user_id", "signed_at", "key_type",
       "message"}  the document verified strictly and its AUTH line matched;
                   message is the signed text without the AUTH line
  422 {"result": "refused", "status", "reason"}  it did not
  400 a request that is not such JSON, 404 another path, 413 over 1 MiB.
Pages of the origins given with --allow-origin may call it from the browser.
"""

from __future__ import annotations

import argparse
import json
import sys
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

try:
    import velixverify
except ImportError:  # running from a source tree
    sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "verify" / "python"))
    import velixverify

MAX_BODY = 1 << 20


class Verifier:
    """What the server checks documents with: the cards, the AUTH prefix, the
    code page of documents not signed as UTF-8."""

    def __init__(self, cards: velixverify.Cards, prefix: bytes, code_page: str) -> None:
        self.cards = cards
        self.prefix = prefix
        self.code_page = code_page

    def check(self, request: dict) -> tuple[HTTPStatus, dict]:
        document, utf8 = request.get("document"), request.get("utf8", False)
        if not isinstance(document, str) or not isinstance(utf8, bool):
            return HTTPStatus.BAD_REQUEST, {"result": "refused", "reason": "document (text) and utf8 (bool) expected"}
        encoding = "utf-8" if utf8 else self.code_page
        try:
            signed = document.encode(encoding)
        except UnicodeEncodeError:
            return HTTPStatus.UNPROCESSABLE_ENTITY, {
                "result": "refused", "status": "ENCODING", "reason": f"the document is not {encoding} text"}
        try:
            verified = velixverify.verify_document(self.cards, signed)
            auth = velixverify.check_auth_line(self.prefix, verified.text, verified.serial)
        except velixverify.VerifyError as error:
            return HTTPStatus.UNPROCESSABLE_ENTITY, {
                "result": "refused", "status": error.status.name, "reason": str(error)}
        return HTTPStatus.OK, {
            "result": "good",
            "serial": verified.serial,
            "user_id": verified.user_id,
            "signed_at": verified.signed_at.isoformat(),
            "key_type": auth.key_type.name.lower(),
            "message": auth.message.decode(encoding, errors="replace"),
        }


def make_handler(verifier: Verifier, allowed_origins: frozenset[str]) -> type[BaseHTTPRequestHandler]:
    class Handler(BaseHTTPRequestHandler):
        server_version = "velix-verify-demo"

        def log_message(self, format: str, *args: object) -> None:  # noqa: A002 - the base class's name
            sys.stderr.write("verify_server: " + format % args + "\n")

        def answer(self, status: HTTPStatus, body: dict | None = None) -> None:
            data = json.dumps(body, ensure_ascii=False).encode("utf-8") if body is not None else b""
            self.send_response(status)
            origin = self.headers.get("Origin")
            if origin in allowed_origins:
                self.send_header("Access-Control-Allow-Origin", origin)
                self.send_header("Vary", "Origin")
            if body is not None:
                self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def do_OPTIONS(self) -> None:  # noqa: N802 - http.server's naming
            if self.path != "/verify" or self.headers.get("Origin") not in allowed_origins:
                self.answer(HTTPStatus.FORBIDDEN)
                return
            self.send_response(HTTPStatus.NO_CONTENT)
            self.send_header("Access-Control-Allow-Origin", self.headers["Origin"])
            self.send_header("Access-Control-Allow-Methods", "POST")
            self.send_header("Access-Control-Allow-Headers", "Content-Type")
            self.send_header("Vary", "Origin")
            self.send_header("Content-Length", "0")
            self.end_headers()

        def do_GET(self) -> None:  # noqa: N802
            self.answer(HTTPStatus.NOT_FOUND, {"result": "refused", "reason": "POST a document to /verify"})

        def do_POST(self) -> None:  # noqa: N802
            if self.path != "/verify":
                self.answer(HTTPStatus.NOT_FOUND, {"result": "refused", "reason": "POST a document to /verify"})
                return
            try:
                length = int(self.headers.get("Content-Length", ""))
            except ValueError:
                self.answer(HTTPStatus.LENGTH_REQUIRED, {"result": "refused", "reason": "Content-Length needed"})
                return
            if length < 0 or length > MAX_BODY:
                self.close_connection = True  # the body is not read
                self.answer(HTTPStatus.REQUEST_ENTITY_TOO_LARGE, {"result": "refused", "reason": "over 1 MiB"})
                return
            try:
                request = json.loads(self.rfile.read(length).decode("utf-8"))
            except (UnicodeDecodeError, json.JSONDecodeError):
                request = None
            if not isinstance(request, dict):
                self.answer(HTTPStatus.BAD_REQUEST, {"result": "refused", "reason": "a JSON object expected"})
                return
            self.answer(*verifier.check(request))

    return Handler


def main() -> int:
    parser = argparse.ArgumentParser(description="The velix demo's verify endpoint (127.0.0.1 only).")
    parser.add_argument("--cards", required=True, type=Path, help="the signers' card collection")
    parser.add_argument("--auth-prefix", required=True, help="the AUTH digest prefix, 20 hex digits")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    parser.add_argument("--allow-origin", action="append", default=[], help="a page origin that may call it")
    parser.add_argument("--code-page", default="cp1251", help="the documents' code page when not UTF-8")
    args = parser.parse_args()
    try:
        cards = velixverify.Cards.load(args.cards.read_bytes())
        prefix = velixverify.parse_prefix(args.auth_prefix)
        "".encode(args.code_page)
    except (OSError, LookupError, velixverify.VerifyError) as error:
        print(f"verify_server: {error}", file=sys.stderr)
        return 2
    verifier = Verifier(cards, prefix, args.code_page)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), make_handler(verifier, frozenset(args.allow_origin)))
    print(f"listening on http://127.0.0.1:{server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
