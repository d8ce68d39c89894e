#!/usr/bin/python3
"""Local SMTP server for the tests and the demo: it keeps every message it receives in a folder.

Runs with Debian's /usr/bin/python3 and python3-aiosmtpd, nothing else. It listens on 127.0.0.1
unless told otherwise, on ports the system picks, and prints one line when it is ready:

    READY plain=<port> starttls=<port> smtps=<port> nogreet=<port>

(0 for a port it does not serve). Then it runs until SIGTERM or SIGINT.

With --script FILE it can misbehave on purpose, message by message: FILE holds a JSON list of
steps, one per message (one MAIL FROM) in the order messages arrive, and every message after the
last step is accepted. The server takes the file (reads and removes it) at start and whenever
a new one appears (write it beside and rename it into place); the new list replaces what was left
of the old one. A step is one of

    {"action": "accept"}
    {"action": "refuse", "at": "mail" | "rcpt" | "after-dot", "reply": "452 4.3.1 Full"}
    {"action": "stall", "at": "before-dot" | "after-dot"}
    {"action": "drop", "at": "before-dot" | "after-dot"}

With --oauth-tokens FILE it requires AUTH XOAUTH2 and offers nothing else: the bearer token must
be one of FILE's (written by tools/oauthserver/test_oauth_server.py), unexpired, for the user named.

"refuse" answers MAIL FROM, every RCPT TO, or the message data with that reply; a 421 reply also
closes the connection, as RFC 5321 says. "stall" never answers; "drop" cuts the connection without
a reply. Before the dot the server stops reading the data; after the dot it has saved the message
first, marked "acknowledged": false, since the client cannot know whether it was taken.
"""

import argparse
import asyncio
import base64
import hmac
import json
import logging
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import time
import warnings
from pathlib import Path

from aiosmtpd.smtp import SMTP, AuthResult

# aiosmtpd looks up the machine's fully qualified name for its greeting, which may ask a DNS
# server; a fixed name keeps the server off the network.
SERVER_NAME = "localhost"

MESSAGE_NAME = re.compile(r"^(\d{4,})\.json$")


def write_atomically(path, data):
    # Readers poll the folder while messages arrive: they must see a whole file or none.
    temporary = path.with_name("." + path.name + ".tmp")
    temporary.write_bytes(data)
    os.replace(temporary, path)


ACCEPT = {"action": "accept"}
STEP_PLACES = {
    "accept": {None},
    "refuse": {"mail", "rcpt", "after-dot"},
    "stall": {"before-dot", "after-dot"},
    "drop": {"before-dot", "after-dot"},
}


def checked_step(step):
    if not isinstance(step, dict) or step.get("action") not in STEP_PLACES:
        raise ValueError(f"not a script step: {step!r}")
    if step.get("at") not in STEP_PLACES[step["action"]]:
        raise ValueError(f"a step cannot {step['action']} at {step.get('at')!r}: {step!r}")
    if step["action"] == "refuse" and not re.match(r"^[45]\d\d( |$)", step.get("reply", "")):
        raise ValueError(f"a refusal needs a 4xx or 5xx reply: {step!r}")
    return step


class Script:
    """The steps for the coming messages, from a JSON file that a test may put in place at any time.

    The server takes the file: it reads it and removes it, so that a file that is there is always
    a new list. Telling a replaced file by its inode or time fails where inodes are reused and
    times are coarse.
    """

    def __init__(self, path):
        self.path = None if path is None else Path(path)
        self.steps = []

    def next_step(self):
        self.reload()
        return self.steps.pop(0) if self.steps else ACCEPT

    def reload(self):
        """Takes the file's steps, when there is a file."""
        if self.path is None:
            return
        try:
            text = self.path.read_text(encoding="utf-8")
        except FileNotFoundError:
            return
        self.path.unlink()
        steps = json.loads(text)
        if not isinstance(steps, list):
            raise ValueError("the script must be a JSON list of steps")
        self.steps = [checked_step(step) for step in steps]
        report(f"script: {len(self.steps)} steps from {self.path}")


def step_is(step, action, at):
    return step["action"] == action and step.get("at") == at


class Mailbox:
    """The folder of received messages: NNNN.eml (the bytes as received) and NNNN.json."""

    def __init__(self, folder):
        self.folder = folder
        # Numbering goes on after what is already there, so a second demo run keeps the first
        # run's mail instead of overwriting it.
        self.last_number = max(self._numbers_in_folder(), default=0)

    def _numbers_in_folder(self):
        for entry in self.folder.iterdir():
            match = MESSAGE_NAME.match(entry.name)
            if match:
                yield int(match.group(1))

    def store(self, content, record):
        self.last_number += 1
        stem = f"{self.last_number:04d}"
        write_atomically(self.folder / f"{stem}.eml", content)
        # The .json goes last: its presence tells a reader that the .eml is complete too.
        record = {"number": self.last_number, **record, "size": len(content)}
        text = json.dumps(record, ensure_ascii=False, indent=2) + "\n"
        write_atomically(self.folder / f"{stem}.json", text.encode("utf-8"))
        return stem


class ConnectionLog:
    """Numbers every accepted TCP connection, so tests can tell whether a client reused one."""

    def __init__(self, path):
        self.count = 0
        # Truncated at start: the log describes this run only.
        self.file = open(path, "w", encoding="utf-8")

    def accepted(self, listener, port):
        self.count += 1
        # One short line per write, so a reader counting lines never sees half of one.
        self.file.write(f"{self.count} {listener} {port}\n")
        self.file.flush()
        return self.count


class Authenticator:
    def __init__(self, user, password, refusal=None):
        self.user = user.encode("utf-8")
        self.password = password.encode("utf-8")
        self.refusal = refusal

    def __call__(self, server, session, envelope, mechanism, auth_data):
        if self.refusal:
            # A provider that has turned password sign-in off answers every login its own way.
            return AuthResult(success=False, handled=False, message=self.refusal)
        good = hmac.compare_digest(auth_data.login, self.user) and hmac.compare_digest(
            auth_data.password, self.password
        )
        if good:
            return AuthResult(success=True, auth_data=auth_data.login.decode("utf-8", "replace"))
        # handled=False makes aiosmtpd answer 535.
        return AuthResult(success=False, handled=False)


class BearerTokens:
    """AUTH XOAUTH2 against the tokens the local authorization server has issued."""

    def __init__(self, path):
        self.path = Path(path)

    def account_of(self, token):
        try:
            tokens = json.loads(self.path.read_text(encoding="utf-8"))
        except (OSError, ValueError):
            return None
        entry = tokens.get(token)
        if entry is None or entry["expires"] < time.time():
            return None
        return entry["account"]

    def check(self, response):
        # "user=" user ^A "auth=Bearer " token ^A ^A (the XOAUTH2 initial response)
        fields = dict(part.split("=", 1) for part in response.split("\x01") if "=" in part)
        user = fields.get("user", "")
        token = fields.get("auth", "").removeprefix("Bearer ")
        account = self.account_of(token)
        return user if account is not None and account.lower() == user.lower() else None


class XOAuth2:
    """Adds the XOAUTH2 mechanism; aiosmtpd offers every handler method named auth_*."""

    def __init__(self, tokens):
        self.tokens = tokens

    async def auth_XOAUTH2(self, server, args):
        if len(args) == 2:
            try:
                response = base64.b64decode(args[1], validate=True)
            except ValueError:
                return AuthResult(success=False, handled=False, message="501 5.5.2 Bad base64")
        else:
            # The client sends its response after an empty challenge; aiosmtpd decodes it.
            response = await server.challenge_auth("")
            if not isinstance(response, bytes):
                return AuthResult(success=False, handled=True)
        response = response.decode("utf-8", "replace")
        user = self.tokens.check(response)
        if user is None:
            return AuthResult(success=False, handled=False,
                              message="535 5.7.3 Authentication unsuccessful (token)")
        return AuthResult(success=True, auth_data=user)


class Handler:
    """The aiosmtpd hooks: what to accept, what to refuse, where messages go.

    aiosmtpd takes every attribute of the handler named auth_* for an AUTH mechanism to offer,
    so none of ours may be named that way, except auth_XOAUTH2 when bearer tokens are required.
    """

    def __init__(self, mailbox, options):
        self.mailbox = mailbox
        self.has_account = options.user is not None or options.oauth_tokens is not None
        self.reject_rcpt = options.reject_rcpt
        self.script = Script(options.script)
        if options.oauth_tokens is not None:
            self.auth_XOAUTH2 = XOAuth2(BearerTokens(options.oauth_tokens)).auth_XOAUTH2
        # Read now, so that a malformed script stops the server at start, where a test sees it.
        self.script.reload()

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        # With this hook aiosmtpd leaves recording the client's name to us.
        session.host_name = hostname
        if self.has_account:
            return responses
        # aiosmtpd would offer AUTH that can never succeed; a server without accounts offers none.
        return [line for line in responses if not line[4:].upper().startswith("AUTH")]

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        # Each MAIL FROM starts a message, and takes the next step of the script.
        server.step = self.script.next_step()
        if step_is(server.step, "refuse", "mail"):
            return server.step["reply"]
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if step_is(server.step, "refuse", "rcpt"):
            return server.step["reply"]
        if self.reject_rcpt and self.reject_rcpt.search(address):
            return f"550 5.1.1 <{address}>: Recipient address rejected"
        envelope.rcpt_tos.append(address)
        envelope.rcpt_options.extend(rcpt_options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        step = server.step
        if step_is(step, "refuse", "after-dot"):
            return step["reply"]
        acknowledged = step["action"] not in ("stall", "drop")
        stem = self.mailbox.store(envelope.original_content,
                                  message_record(server, envelope, acknowledged))
        report(f"{stem}  {envelope.mail_from} -> {', '.join(envelope.rcpt_tos)}  "
               f"({len(envelope.original_content)} bytes, connection {server.connection_number}, "
               f"{server.listener}){'' if acknowledged else ', then ' + step['action']}")
        if step["action"] == "drop":
            server.transport.abort()
        if not acknowledged:
            # Never answer: the client cannot know whether the message was taken. Waits until
            # the connection is gone, which cancels this coroutine.
            await asyncio.get_running_loop().create_future()
        return "250 OK"


def message_record(server, envelope, acknowledged):
    peer_host, peer_port = server.session.peer[:2]
    return {
        "acknowledged": acknowledged,
        "connection": server.connection_number,
        "listener": server.listener,
        "port": server.port,
        "peer_host": peer_host,
        "peer_port": peer_port,
        "tls": server.transport.get_extra_info("ssl_object") is not None,
        "auth_user": server.session.auth_data,
        "sender": envelope.mail_from,
        "recipients": list(envelope.rcpt_tos),
    }


class Connections:
    """The open client connections, so that shutting down does not wait for clients."""

    def __init__(self):
        self.transports = set()

    def opened(self, transport):
        self.transports.add(transport)

    def closed(self, transport):
        self.transports.discard(transport)

    def abort_all(self):
        for transport in list(self.transports):
            transport.abort()


class RecordingSMTP(SMTP):
    """aiosmtpd's session, told which connection it is and able to cut a message mid-data."""

    def __init__(self, handler, *, connection_number, listener, port, connections, **kwargs):
        super().__init__(handler, **kwargs)
        self.connection_number = connection_number
        self.listener = listener
        self.port = port
        self.connections = connections
        self.step = ACCEPT
        self.raw_transport = None

    def connection_made(self, transport):
        # Called again with the TLS transport after STARTTLS; the first one is the socket.
        if self.raw_transport is None:
            self.raw_transport = transport
            self.connections.opened(transport)
        super().connection_made(transport)

    def connection_lost(self, error):
        self.connections.closed(self.raw_transport)
        super().connection_lost(error)

    async def push(self, status):
        await super().push(status)
        # 421 means the server is closing the channel (RFC 5321, 3.8); a client must find it so.
        closing = status.startswith("421" if isinstance(status, str) else b"421")
        if closing and self.transport is not None:
            self.transport.close()

    async def smtp_DATA(self, arg):
        if self.step.get("at") != "before-dot":
            return await super().smtp_DATA(arg)
        # The same refusals as aiosmtpd's DATA, so that only a well-formed transaction is cut.
        if await self.check_helo_needed() or await self.check_auth_needed("DATA"):
            return None
        if not self.envelope.rcpt_tos:
            return await self.push("503 Error: need RCPT command")
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        # Wait for the first bytes of the message, so the client is cut while it sends, then
        # read no more: a client with more to send than the buffers hold never gets the dot out.
        await self._reader.read(4096)
        if self.step["action"] == "drop":
            self.transport.abort()
            return None
        await asyncio.get_running_loop().create_future()
        return None


class SilentProtocol(asyncio.Protocol):
    """Accepts the TCP connection and never says a word, like a server that hangs at greeting."""

    def __init__(self, connections):
        self.connections = connections
        self.transport = None

    def connection_made(self, transport):
        self.transport = transport
        self.connections.opened(transport)

    def connection_lost(self, error):
        self.connections.closed(self.transport)


def report(text):
    print(text, file=sys.stderr, flush=True)


NEW_KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
SERVER_NAMES = "subjectAltName=DNS:localhost,IP:127.0.0.1"


def openssl(*arguments):
    result = subprocess.run(["openssl", *arguments], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise RuntimeError("openssl could not make the certificate:\n" + result.stderr)


def make_faulty_certificate(folder, problem):
    """A self-signed certificate that fails a client's check in one way: "expired" (valid only in
    January 2020), or "wrong-name" (made for otro.invalid, not for localhost or 127.0.0.1)."""
    certificate = folder / "cert.pem"
    key = folder / "key.pem"
    request = folder / "cert.csr"
    names = SERVER_NAMES if problem == "expired" else "subjectAltName=DNS:otro.invalid"
    openssl("req", "-new", *NEW_KEY, "-keyout", str(key), "-out", str(request),
            "-subj", "/CN=" + ("localhost" if problem == "expired" else "otro.invalid"))
    extensions = folder / "cert.ext"
    extensions.write_text(names + "\nbasicConstraints=critical,CA:TRUE\n", encoding="ascii")
    # openssl ca is the one command of OpenSSL 3.0 that takes dates in the past.
    (folder / "index.txt").write_text("", encoding="ascii")
    (folder / "serial").write_text("01\n", encoding="ascii")
    config = folder / "ca.cnf"
    config.write_text("[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\n"
                      "serial = serial\ndefault_md = sha256\npolicy = p\nunique_subject = no\n"
                      "[p]\ncommonName = supplied\n", encoding="ascii")
    dates = (["-startdate", "20200101000000Z", "-enddate", "20200201000000Z"]
             if problem == "expired" else ["-days", "30"])
    result = subprocess.run(["openssl", "ca", "-batch", "-config", config.name, "-selfsign",
                             "-keyfile", key.name, "-in", request.name, "-out", certificate.name,
                             "-extfile", extensions.name, *dates],
                            cwd=folder, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise RuntimeError("openssl could not make the certificate:\n" + result.stderr)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    return certificate, context


def make_certificate(folder, with_authority):
    """A certificate for localhost and 127.0.0.1, new at every start, and the file to trust.

    Self-signed, the certificate is its own authority; with_authority makes a separate test
    authority (authority.pem) that signs a server certificate unable to sign anything itself, the
    way a site's own authority would.
    """
    certificate = folder / "cert.pem"
    key = folder / "key.pem"
    if not with_authority:
        openssl("req", "-x509", *NEW_KEY, "-keyout", str(key), "-out", str(certificate),
                "-days", "30", "-subj", "/CN=localhost", "-addext", SERVER_NAMES,
                # Clients trust this very certificate as their authority (CURLOPT_CAINFO).
                "-addext", "basicConstraints=critical,CA:TRUE")
        trusted = certificate
    else:
        trusted = folder / "authority.pem"
        authority_key = folder / "authority-key.pem"
        request = folder / "cert.csr"
        openssl("req", "-x509", *NEW_KEY, "-keyout", str(authority_key), "-out", str(trusted),
                "-days", "30", "-subj", "/CN=Autoridad de pruebas",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-new", *NEW_KEY, "-keyout", str(key), "-out", str(request),
                "-subj", "/CN=localhost")
        extensions = folder / "cert.ext"
        extensions.write_text(SERVER_NAMES + "\nbasicConstraints=critical,CA:FALSE\n"
                              "extendedKeyUsage=serverAuth\n", encoding="ascii")
        openssl("x509", "-req", "-in", str(request), "-CA", str(trusted), "-CAkey",
                str(authority_key), "-CAcreateserial", "-days", "30", "-out", str(certificate),
                "-extfile", str(extensions))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    return trusted, context


class Server:
    def __init__(self, options):
        self.options = options
        self.loop = asyncio.get_running_loop()
        self.outdir = Path(options.outdir).resolve()
        self.outdir.mkdir(parents=True, exist_ok=True)
        self.handler = Handler(Mailbox(self.outdir), options)
        self.connection_log = ConnectionLog(self.outdir / "connections.log")
        self.connections = Connections()
        self.listeners = []
        self.certificate = None

    def _bind(self, port):
        # Bound here rather than by asyncio so that the port is known before the first client.
        sock = socket.create_server((self.options.host, port))
        return sock, sock.getsockname()[1]

    async def _listen_smtp(self, listener, port, ssl_context=None, **smtp_options):
        sock, port = self._bind(port)
        options = self.options
        if options.user is not None:
            smtp_options["authenticator"] = Authenticator(options.user, options.password,
                                                          options.auth_refusal)
            smtp_options["auth_required"] = True
        elif options.oauth_tokens is not None:
            smtp_options["auth_required"] = True
            smtp_options["auth_exclude_mechanism"] = ["PLAIN", "LOGIN"]

        def factory():
            return RecordingSMTP(
                self.handler,
                connection_number=self.connection_log.accepted(listener, port),
                listener=listener, port=port, connections=self.connections,
                hostname=SERVER_NAME,
                enable_SMTPUTF8=True, loop=self.loop, **smtp_options)

        self.listeners.append(await self.loop.create_server(factory, sock=sock, ssl=ssl_context))
        return port

    async def _listen_silent(self, port):
        sock, port = self._bind(port)

        def factory():
            self.connection_log.accepted("nogreet", port)
            return SilentProtocol(self.connections)

        self.listeners.append(await self.loop.create_server(factory, sock=sock))
        return port

    async def start(self):
        options = self.options
        ports = {"plain": 0, "starttls": 0, "smtps": 0, "nogreet": 0}
        if options.tls:
            certdir = Path(options.certdir or options.outdir).resolve()
            certdir.mkdir(parents=True, exist_ok=True)
            if options.certificate_problem:
                self.certificate, context = make_faulty_certificate(
                    certdir, options.certificate_problem)
            else:
                self.certificate, context = make_certificate(certdir, options.authority)
            ports["starttls"] = await self._listen_smtp(
                "starttls", options.starttls_port, tls_context=context, require_starttls=True)
            # aiosmtpd only counts STARTTLS as TLS; on this port the socket is TLS from the start.
            ports["smtps"] = await self._listen_smtp(
                "smtps", options.smtps_port, ssl_context=context, auth_require_tls=False)
        else:
            # AUTH in clear is allowed here: the program may be set up that way and must be tested.
            ports["plain"] = await self._listen_smtp(
                "plain", options.plain_port, auth_require_tls=False)
        if options.no_greeting:
            ports["nogreet"] = await self._listen_silent(options.nogreet_port)
        return ports

    async def stop(self):
        for listener in self.listeners:
            listener.close()
        self.connections.abort_all()
        for listener in self.listeners:
            await listener.wait_closed()
        self.connection_log.file.close()

    def describe(self, ports):
        report(f"Messages are saved in {self.outdir} (NNNN.eml + NNNN.json)")
        for name, port in ports.items():
            if port:
                report(f"  {name:8} smtp on {self.options.host}:{port}")
        if self.certificate:
            report(f"  certificate to trust: {self.certificate}")
        if self.options.user is not None:
            report(f"  login: {self.options.user} / {self.options.password}")
        report("Stop with Ctrl+C.")


def watch_stdin_for_eof(loop, stop):
    # A parent that dies without stopping us closes our stdin: that is our cue to go.
    descriptor = sys.stdin.fileno()

    def readable():
        if not os.read(descriptor, 4096):
            loop.remove_reader(descriptor)
            stop.set()

    loop.add_reader(descriptor, readable)


async def serve(options):
    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for number in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(number, stop.set)
    if options.stop_on_stdin_eof:
        watch_stdin_for_eof(loop, stop)

    server = Server(options)
    ports = await server.start()
    print("READY " + " ".join(f"{name}={port}" for name, port in ports.items()), flush=True)
    server.describe(ports)
    await stop.wait()
    await server.stop()
    report("Mail server stopped.")


def regular_expression(text):
    try:
        return re.compile(text)
    except re.error as error:
        raise argparse.ArgumentTypeError(f"not a regular expression: {error}") from error


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Local SMTP server that saves every message it receives in a folder, "
                    "for the tests and the demo. When ready it prints "
                    "'READY plain=P starttls=P smtps=P nogreet=P' (0 = not served) and runs "
                    "until SIGTERM or Ctrl+C.")
    parser.add_argument("--outdir", required=True,
                        help="folder for the messages: NNNN.eml (raw bytes) and NNNN.json "
                             "(envelope, connection number, TLS), and connections.log")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on")
    parser.add_argument("--tls", action="store_true",
                        help="serve a STARTTLS port (STARTTLS required) and an implicit-TLS port "
                             "instead of a plain one, with a self-signed certificate for "
                             "localhost and 127.0.0.1 written to CERTDIR/cert.pem")
    parser.add_argument("--certdir", help="folder for cert.pem and key.pem (default: OUTDIR)")
    parser.add_argument("--authority", action="store_true",
                        help="with --tls, sign the certificate with a test authority made at "
                             "start, CERTDIR/authority.pem, which is then the file to trust")
    parser.add_argument("--certificate-problem", choices=("expired", "wrong-name"),
                        help="with --tls, a self-signed certificate that expired in 2020, or "
                             "one made for otro.invalid only")
    parser.add_argument("--auth-refusal", metavar="REPLY",
                        help="answer every AUTH with this reply, as a provider that has turned "
                             "password sign-in off (\"535 5.7.139 ...\")")
    parser.add_argument("--user", help="require AUTH (PLAIN or LOGIN) as this user")
    parser.add_argument("--password", help="the user's password")
    parser.add_argument("--oauth-tokens", metavar="FILE",
                        help="require AUTH XOAUTH2 with a bearer token listed in FILE, the "
                             "tokens file of the local OAuth2 authorization server")
    parser.add_argument("--reject-rcpt", metavar="REGEX", type=regular_expression,
                        help="answer 550 to recipients matching this regular expression")
    parser.add_argument("--script", metavar="FILE",
                        help="JSON list of steps, one per message, to accept, refuse, stall or "
                             "drop it (see the top of this file); taken (read and removed) at "
                             "start and whenever a new one appears")
    parser.add_argument("--no-greeting", action="store_true",
                        help="also open a port that accepts connections and never speaks")
    for name in ("plain", "starttls", "smtps", "nogreet"):
        parser.add_argument(f"--{name}-port", type=int, default=0, metavar="PORT",
                            help=f"fixed port for the {name} listener (default: a free one)")
    parser.add_argument("--stop-on-stdin-eof", action="store_true",
                        help="stop when standard input is closed (used by the tests, so the "
                             "server goes away with the process that started it)")
    parser.add_argument("--verbose", action="store_true",
                        help="log the SMTP conversation on stderr")
    options = parser.parse_args(argv)
    if (options.user is None) != (options.password is None):
        parser.error("--user and --password go together")
    if options.user is not None and options.oauth_tokens is not None:
        parser.error("--user and --oauth-tokens exclude each other")
    if options.authority and not options.tls:
        parser.error("--authority goes with --tls")
    return options


def quiet_aiosmtpd(verbose):
    # Allowing AUTH without STARTTLS is deliberate here (implicit TLS, or a plain test setup);
    # aiosmtpd would warn about it on every connection.
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    logging.basicConfig(format="%(asctime)s %(message)s",
                        level=logging.DEBUG if verbose else logging.ERROR)


def main(argv):
    options = parse_arguments(argv)
    quiet_aiosmtpd(options.verbose)
    try:
        asyncio.run(serve(options))
    except (OSError, RuntimeError, ValueError) as error:
        report(f"Mail server could not run: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
