#!/usr/bin/python3
"""A mail server for the delivery tests, on 127.0.0.1: STARTTLS or TLS on a certificate made
here with openssl, AUTH PLAIN/LOGIN for one user, and every mail it accepts saved in a folder:
N.eml as received, and N.txt with what a mail reader makes of it (Python's email package):
envelope, headers decoded, the parts' types, the text and its HTML form, and each attachment's
type and decoded bytes in N-K.bin (a zip's entries listed). While the
folder holds a file "answer", the end of every mail's data is answered with its line instead."""
import argparse
import asyncio
import email
import email.policy
import os
import signal
import ssl
import subprocess
import sys
import threading
import warnings
import zipfile

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def make_certificates(folder, names):
    """A CA of its own and a server certificate it signed for `names` (subjectAltName text)."""
    def run(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)
    ca_key, ca = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    key, csr, cert = (os.path.join(folder, n) for n in ("server.key", "server.csr", "server.pem"))
    ext = os.path.join(folder, "server.ext")
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
        "/CN=Delivery test CA", "-keyout", ca_key, "-out", ca)
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=delivery test server",
        "-keyout", key, "-out", csr)
    with open(ext, "w") as f:
        f.write("subjectAltName=" + names + "\nbasicConstraints=CA:FALSE\n")
    run("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
        "-days", "2", "-extfile", ext, "-out", cert)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def structure(part):
    """"multipart/mixed(multipart/alternative(text/plain,text/html),application/pdf)"."""
    if part.is_multipart():
        return "%s(%s)" % (part.get_content_type(), ",".join(map(structure, part.iter_parts())))
    return part.get_content_type()


def summarise(path, envelope_from, rcpts):
    """What a reader sees, one "key: value" per line; attachments saved beside."""
    with open(path, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    lines = ["envelope-from: " + envelope_from]
    lines += ["envelope-to: " + r for r in rcpts]
    for name in ("From", "To", "Cc", "Bcc", "Subject", "Message-ID", "Date"):
        for value in message.get_all(name, []):
            lines.append(name.lower() + ": " + " ".join(str(value).split()))
    lines.append("structure: " + structure(message))
    for kind, key in (("plain", "body"), ("html", "html")):
        body = message.get_body(preferencelist=(kind,))
        if body is not None and body.get_content_type() == "text/" + kind:
            for line in body.get_content().splitlines():
                lines.append(key + ": " + line)
    base = path[: -len(".eml")]
    for k, part in enumerate(message.iter_attachments(), 1):
        data = part.get_payload(decode=True)
        target = "%s-%d.bin" % (base, k)
        with open(target, "wb") as f:
            f.write(data)
        lines.append("attachment: %s\t%s" % (part.get_filename(), target))
        charset = part.get_param("charset")
        lines.append("attachment-type: %s%s" % (part.get_content_type(),
                                                 "; charset=" + charset if charset else ""))
        if part.get_content_type() == "application/zip":
            with zipfile.ZipFile(target) as archive:
                for entry in archive.infolist():
                    lines.append("zip-entry: %s\t%d" % (entry.filename, entry.file_size))
    return "\n".join(lines) + "\n"


class Handler:
    def __init__(self, folder, reject, stall_first):
        self.folder, self.reject, self.stall = folder, reject, stall_first
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.reject:
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        # A reply a test asks for at the moment (421, 451, 550, ...): the mail is not taken.
        try:
            with open(os.path.join(self.folder, "answer")) as f:
                answer = f.read().strip()
        except FileNotFoundError:
            answer = ""
        if answer:
            return answer
        with self.lock:
            self.count += 1
            number = self.count
        path = os.path.join(self.folder, "%d.eml" % number)
        with open(path + ".part", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        summary = summarise(path + ".part", envelope.mail_from, envelope.rcpt_tos)
        os.rename(path + ".part", path)
        with open(path[:-4] + ".txt.part", "w") as f:
            f.write(summary)
        os.rename(path[:-4] + ".txt.part", path[:-4] + ".txt")
        if self.stall and number == 1:
            # The mail is in, but the sender never hears so: as if it died before the reply.
            await asyncio.sleep(3600)
        return "250 Message accepted for delivery"


def main():
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--folder", required=True, help="where mails and certificates go")
    parser.add_argument("--security", choices=("starttls", "tls", "none"), default="starttls")
    parser.add_argument("--cert-names", default="IP:127.0.0.1,DNS:localhost")
    parser.add_argument("--user", default="", help="USER:PASSWORD that AUTH accepts")
    parser.add_argument("--reject", action="append", default=[], help="answer 550 to RCPT")
    parser.add_argument("--stall-first", action="store_true",
                        help="never answer the end of the first mail's data")
    args = parser.parse_args()

    os.makedirs(args.folder, exist_ok=True)
    context = None
    if args.security != "none":
        context = make_certificates(args.folder, args.cert_names)
    kwargs = {}
    if args.user:
        user, password = args.user.split(":", 1)

        def authenticate(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login.decode() == user and auth_data.password.decode() == password
            return AuthResult(success=ok, handled=False)
        kwargs.update(authenticator=authenticate, auth_require_tls=args.security != "none")
    else:
        kwargs.update(auth_require_tls=False)
    if args.security == "starttls":
        kwargs.update(tls_context=context, require_starttls=True)
    elif args.security == "tls":
        kwargs.update(ssl_context=context)
    handler = Handler(args.folder, set(args.reject), args.stall_first)
    controller = Controller(handler, hostname="127.0.0.1", port=args.port,
                            data_size_limit=200 * 1024 * 1024, **kwargs)
    controller.start()
    os.write(1, b"ready\n")
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.wait(0.5):
        pass
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
