#!/usr/bin/python3
"""Local OAuth2 authorization server for the tests and the demo, with Python's standard library only.

It plays both the provider and the person at the browser: the authorization endpoint approves at
once and redirects to the client's loopback address, and a device code is approved by fetching
/device?user_code=CODE. It listens on 127.0.0.1 unless told otherwise, on a port the system picks,
and prints one line when it is ready:

    READY port=<port>

Endpoints (RFC 6749, 7636, 8628):

    GET  /authorize     response_type=code, client_id, redirect_uri (http://127.0.0.1:P/... or
                        http://localhost:P/...), state, code_challenge, code_challenge_method=S256
    POST /token         grant_type authorization_code (PKCE checked), refresh_token (the refresh
                        token is replaced by a new one at each use, as Microsoft does), or
                        urn:ietf:params:oauth:grant-type:device_code
    POST /devicecode    client_id, scope
    GET  /device        user_code=CODE: the person approves that code (deny=1 refuses it)
    POST /admin/revoke  every refresh token stops working (the user revoked the sign-in)
    POST /admin/expire  every access token stops working (they all expired)
    GET  /admin/stats   JSON counts of the grants served

Every valid access token is kept in TOKENS (--tokens), a JSON object {token: {"account": A,
"expires": epoch}}, replaced atomically on each change; the local mail server reads it to check
AUTH XOAUTH2.
"""

import argparse
import base64
import hashlib
import json
import os
import secrets
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

DEVICE_GRANT = "urn:ietf:params:oauth:grant-type:device_code"


def write_atomically(path, data):
    temporary = path.with_name("." + path.name + ".tmp")
    temporary.write_bytes(data)
    os.replace(temporary, path)


def s256(verifier):
    digest = hashlib.sha256(verifier.encode("ascii")).digest()
    return base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


def is_loopback_redirect(uri):
    parts = urllib.parse.urlsplit(uri)
    # RFC 8252, 7.3: http on the loopback interface, any port.
    return parts.scheme == "http" and parts.hostname in ("127.0.0.1", "localhost", "::1")


class State:
    """Everything the server has issued; one lock, since requests run on their own threads."""

    def __init__(self, options):
        self.options = options
        self.lock = threading.RLock()
        self.codes = {}          # code -> (client_id, redirect_uri, challenge)
        self.devices = {}        # device_code -> {"user_code", "status", "expires"}
        self.refresh_tokens = set()
        self.access_tokens = {}  # token -> expiry epoch
        self.stats = {"authorization_code": 0, "refresh_token": 0, "device_code": 0,
                      "device_polls": 0, "refused": 0}
        self.save_tokens()

    def save_tokens(self):
        now = time.time()
        tokens = {token: {"account": self.options.account, "expires": expires}
                  for token, expires in self.access_tokens.items() if expires > now}
        write_atomically(Path(self.options.tokens), json.dumps(tokens).encode("utf-8"))

    def issue(self, grant):
        access = "at-" + secrets.token_urlsafe(24)
        refresh = "rt-" + secrets.token_urlsafe(24)
        lifetime = self.options.token_lifetime
        self.access_tokens[access] = time.time() + lifetime
        self.refresh_tokens.add(refresh)
        self.stats[grant] += 1
        self.save_tokens()
        return {"access_token": access, "token_type": "Bearer", "expires_in": lifetime,
                "refresh_token": refresh, "scope": self.options.scope}


class Handler(BaseHTTPRequestHandler):
    server_version = "test-oauth-server"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        if self.server.options.verbose:
            sys.stderr.write("oauth: " + format % args + "\n")

    # -- replies ------------------------------------------------------------------------------

    def reply_json(self, status, body):
        data = json.dumps(body).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def refuse(self, error, description, status=400):
        with self.server.state.lock:
            self.server.state.stats["refused"] += 1
        self.reply_json(status, {"error": error, "error_description": description})

    def reply_text(self, status, text):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    # -- requests -----------------------------------------------------------------------------

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        if url.path == "/authorize":
            return self.authorize(query)
        if url.path == "/device":
            return self.approve_device(query)
        if url.path == "/admin/stats":
            with self.server.state.lock:
                return self.reply_json(200, dict(self.server.state.stats))
        return self.reply_text(404, "not found")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8")
        if self.headers.get("Content-Type", "").split(";")[0].strip() != \
                "application/x-www-form-urlencoded" and self.path in ("/token", "/devicecode"):
            return self.refuse("invalid_request", "form encoding expected")
        form = dict(urllib.parse.parse_qsl(body, keep_blank_values=True))
        state = self.server.state
        if self.path == "/token":
            return self.token(form)
        if self.path == "/devicecode":
            return self.device_code(form)
        if self.path == "/admin/revoke":
            with state.lock:
                state.refresh_tokens.clear()
            return self.reply_json(200, {})
        if self.path == "/admin/expire":
            with state.lock:
                state.access_tokens.clear()
                state.save_tokens()
            return self.reply_json(200, {})
        return self.reply_text(404, "not found")

    def authorize(self, query):
        options = self.server.options
        redirect_uri = query.get("redirect_uri", "")
        # Without a trustworthy redirect there is nobody to tell: the page says it, as real ones do.
        if query.get("client_id") != options.client_id:
            return self.reply_text(400, "unknown client_id")
        if not is_loopback_redirect(redirect_uri):
            return self.reply_text(400, "redirect_uri must be a loopback http address")
        reply = {"state": query.get("state", "")}
        if query.get("response_type") != "code":
            reply["error"] = "unsupported_response_type"
        elif query.get("code_challenge_method") != "S256" or not query.get("code_challenge"):
            reply["error"] = "invalid_request"
        elif options.deny:
            reply["error"] = "access_denied"
        else:
            code = "code-" + secrets.token_urlsafe(16)
            with self.server.state.lock:
                self.server.state.codes[code] = (query["client_id"], redirect_uri,
                                                 query["code_challenge"])
            reply["code"] = code
        separator = "&" if "?" in redirect_uri else "?"
        self.redirect(redirect_uri + separator + urllib.parse.urlencode(reply))

    def client_ok(self, form):
        options = self.server.options
        if form.get("client_id") != options.client_id:
            return False
        return options.client_secret is None or form.get("client_secret") == options.client_secret

    def token(self, form):
        state = self.server.state
        if not self.client_ok(form):
            return self.refuse("invalid_client", "unknown client or wrong secret", 401)
        grant = form.get("grant_type")
        with state.lock:
            if grant == "authorization_code":
                issued = state.codes.pop(form.get("code", ""), None)
                if issued is None:
                    return self.refuse("invalid_grant", "unknown or used code")
                _, redirect_uri, challenge = issued
                if form.get("redirect_uri") != redirect_uri:
                    return self.refuse("invalid_grant", "redirect_uri differs")
                if s256(form.get("code_verifier", "")) != challenge:
                    return self.refuse("invalid_grant", "PKCE verification failed")
                return self.reply_json(200, state.issue("authorization_code"))
            if grant == "refresh_token":
                refresh = form.get("refresh_token", "")
                if refresh not in state.refresh_tokens:
                    return self.refuse("invalid_grant",
                                       "AADSTS70008: The refresh token has expired or was revoked")
                state.refresh_tokens.discard(refresh)
                return self.reply_json(200, state.issue("refresh_token"))
            if grant == DEVICE_GRANT:
                return self.poll_device(form)
        return self.refuse("unsupported_grant_type", f"grant_type {grant!r}")

    def device_code(self, form):
        if form.get("client_id") != self.server.options.client_id:
            return self.refuse("invalid_client", "unknown client", 401)
        device = "dc-" + secrets.token_urlsafe(16)
        user = secrets.token_hex(4).upper()
        port = self.server.server_address[1]
        with self.server.state.lock:
            self.server.state.devices[device] = {
                "user_code": user, "status": "pending",
                "expires": time.time() + self.server.options.device_lifetime}
        self.reply_json(200, {"device_code": device, "user_code": user,
                              "verification_uri": f"http://127.0.0.1:{port}/device",
                              "expires_in": self.server.options.device_lifetime,
                              "interval": self.server.options.interval})

    def approve_device(self, query):
        with self.server.state.lock:
            for entry in self.server.state.devices.values():
                if entry["user_code"] == query.get("user_code"):
                    entry["status"] = "denied" if query.get("deny") else "approved"
                    return self.reply_text(200, "Listo: vuelva al programa.")
        return self.reply_text(404, "unknown code")

    def poll_device(self, form):
        # Called with the lock held.
        state = self.server.state
        state.stats["device_polls"] += 1
        entry = state.devices.get(form.get("device_code", ""))
        if entry is None:
            return self.refuse("invalid_grant", "unknown device_code")
        if time.time() > entry["expires"]:
            return self.refuse("expired_token", "the device code has expired")
        if entry["status"] == "pending":
            return self.refuse("authorization_pending", "the user has not answered yet")
        if entry["status"] == "denied":
            return self.refuse("access_denied", "the user refused")
        del state.devices[form["device_code"]]
        return self.reply_json(200, state.issue("device_code"))


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tokens", required=True, help="JSON file of the valid access tokens")
    parser.add_argument("--client-id", default="cliente-de-prueba")
    parser.add_argument("--client-secret", help="require this client secret at /token")
    parser.add_argument("--account", default="oficina@example.com",
                        help="the account every sign-in is for")
    parser.add_argument("--scope", default="https://mail.example.com/smtp")
    parser.add_argument("--token-lifetime", type=int, default=3600, metavar="SECONDS")
    parser.add_argument("--device-lifetime", type=int, default=900, metavar="SECONDS")
    parser.add_argument("--interval", type=int, default=5, help="device polling interval")
    parser.add_argument("--deny", action="store_true", help="the person refuses every sign-in")
    parser.add_argument("--stop-on-stdin-eof", action="store_true")
    parser.add_argument("--verbose", action="store_true")
    return parser.parse_args(argv)


def main(argv):
    options = parse_arguments(argv)
    server = ThreadingHTTPServer((options.host, options.port), Handler)
    server.daemon_threads = True
    server.options = options
    server.state = State(options)
    print(f"READY port={server.server_address[1]}", flush=True)
    if options.stop_on_stdin_eof:
        def watch():
            while sys.stdin.buffer.read(4096):
                pass
            server.shutdown()
        threading.Thread(target=watch, daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
