#!/usr/bin/python3
"""A receiving SMTP server for the mail tests (Debian's python3-aiosmtpd 1.4).

Every accepted message is written to OUTDIR as NNNNNN.eml (the bytes as
received) beside NNNNNN.json (envelope, login, whether TLS was in use). The
.eml file is renamed into place last, so a test waits for it. Every line a
client sends (after TLS, decrypted) is appended to OUTDIR/received.txt.
Recipients that start with "reject" get 550; senders that start with
"tempfail" get 451. Prints READY once every listener accepts connections.

  --port P          plain port; offers STARTTLS when --cert is given
  --smtps-port P    implicit TLS port (needs --cert)
  --no-auth         the plain port never offers AUTH
  --refuse-starttls the plain port offers STARTTLS but answers it with 454
  --trickle-ms MS   every byte of every reply goes out on its own, MS apart
Run with /usr/bin/python3 (aiosmtpd is Debian's package).
"""
import argparse
import asyncio
import itertools
import json
import logging
import os
import signal
import ssl
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# aiosmtpd 1.4 logs a warning about its own login_data attribute on every AUTH.
logging.getLogger("mail.log").addFilter(lambda r: "login_data" not in r.getMessage())

parser = argparse.ArgumentParser()
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--port", type=int, required=True)
parser.add_argument("--smtps-port", type=int, default=0)
parser.add_argument("--outdir", required=True)
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--user", default="testuser")
parser.add_argument("--password", default="testpass")
parser.add_argument("--no-auth", action="store_true")
parser.add_argument("--refuse-starttls", action="store_true")
parser.add_argument("--trickle-ms", type=int, default=0)
args = parser.parse_args()
os.makedirs(args.outdir, exist_ok=True)

numbers = itertools.count(1)
numbers_lock = threading.Lock()


class SavingHandler:
    def __init__(self, implicit_tls):
        self.implicit_tls = implicit_tls

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if address.lower().startswith("tempfail"):
            return "451 4.3.0 Try again later (test)"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("reject"):
            return "550 5.1.1 No such user here (test)"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with numbers_lock:
            number = next(numbers)
        base = os.path.join(args.outdir, "%06d" % number)
        login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else None
        meta = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login,
            "tls": self.implicit_tls or session.ssl is not None,
        }
        with open(base + ".json", "w") as f:
            json.dump(meta, f)
        with open(base + ".eml.part", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.part", base + ".eml")
        return "250 2.0.0 Accepted as %06d" % number


def check_login(server, session, envelope, mechanism, auth_data):
    # Every login that reaches the server is noted, with whether it came over TLS.
    with open(os.path.join(args.outdir, "logins.txt"), "a") as f:
        f.write("%s tls=%s\n" % (mechanism, session.ssl is not None))
    ok = (isinstance(auth_data, LoginPassword)
          and auth_data.login == args.user.encode()
          and auth_data.password == args.password.encode())
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


def record(data):
    with open(os.path.join(args.outdir, "received.txt"), "ab") as f:
        f.write(data)


class SinkSMTP(SMTP):
    """Records what arrives; optionally answers one byte at a time."""

    def _client_connected_cb(self, reader, writer):
        super()._client_connected_cb(reader, writer)
        # The same reader serves the connection before and after STARTTLS.
        for name in ("readuntil", "readline", "read"):
            original = getattr(reader, name)

            async def recorded(*a, _original=original, **k):
                data = await _original(*a, **k)
                record(data)
                return data

            setattr(reader, name, recorded)

    async def push(self, status):
        if not args.trickle_ms:
            return await super().push(status)
        response = status.encode("utf-8") if isinstance(status, str) else status
        for byte in response + b"\r\n":
            self._writer.write(bytes([byte]))
            await self._writer.drain()
            await asyncio.sleep(args.trickle_ms / 1000)


class StartTlsRefusingSMTP(SinkSMTP):
    async def smtp_STARTTLS(self, arg):
        await self.push("454 4.7.0 TLS not available now (test)")


class SinkController(Controller):
    def factory(self):
        return SinkSMTP(self.handler, **self.SMTP_kwargs)


class StartTlsRefusingController(Controller):
    def factory(self):
        return StartTlsRefusingSMTP(self.handler, **self.SMTP_kwargs)


tls = None
if args.cert:
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(args.cert, args.key)

common = dict(authenticator=check_login, decode_data=False, data_size_limit=64 * 1024 * 1024)
# AUTH is offered on the plain port only once STARTTLS has run; without a
# certificate and with --no-auth it is never offered.
plain_controller = StartTlsRefusingController if args.refuse_starttls else SinkController
controllers = [plain_controller(SavingHandler(False), hostname=args.host, port=args.port,
                          tls_context=tls,
                          # The refusing server offers AUTH in plain text, as careless
                          # servers do: a client must not take the offer.
                          auth_require_tls=(args.no_auth or bool(tls)) and not args.refuse_starttls,
                          **common)]
if args.smtps_port and tls:
    # aiosmtpd counts only STARTTLS as TLS, so AUTH must not require it here.
    controllers.append(SinkController(SavingHandler(True), hostname=args.host, port=args.smtps_port,
                                  ssl_context=tls, auth_require_tls=False, **common))
for controller in controllers:
    controller.start()
print("READY", flush=True)

stop = threading.Event()
signal.signal(signal.SIGTERM, lambda *_: stop.set())
signal.signal(signal.SIGINT, lambda *_: stop.set())
stop.wait()
for controller in controllers:
    controller.stop()
