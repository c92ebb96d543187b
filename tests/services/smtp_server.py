"""A real SMTP server for the mail tests: aiosmtpd on 127.0.0.1.

usage: smtp_server.py OUTFILE

Accepts AUTH LOGIN for the user "user" with the password "pass" and appends one
JSON line per received message to OUTFILE. The Player's client greets with HELO,
not EHLO, and then authenticates; aiosmtpd only offers AUTH after EHLO, so this
server treats HELO as opening an extended session. It listens on a free port,
prints that port once it accepts connections, and stops when its standard
input closes.
"""
import asyncio
import json
import socket
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class LegacyClientSMTP(SMTP):
    async def smtp_HELO(self, hostname):
        await super().smtp_HELO(hostname)
        self.session.extended_smtp = True


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"user" and auth_data.password == b"pass"
    return AuthResult(success=ok)


class Recorder:
    def __init__(self, path):
        self.path = path

    async def handle_DATA(self, server, session, envelope):
        with open(self.path, "a") as out:
            out.write(json.dumps({
                "helo": session.host_name,
                "from": envelope.mail_from,
                "to": envelope.rcpt_tos,
                "content": envelope.original_content.hex(),
            }) + "\n")
        return "250 OK"


def main():
    handler = Recorder(sys.argv[1])
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    loop = asyncio.new_event_loop()

    def factory():
        return LegacyClientSMTP(handler, authenticator=authenticate, auth_require_tls=False,
                                auth_exclude_mechanism=["PLAIN"], loop=loop)

    server = loop.run_until_complete(loop.create_server(factory, sock=sock))
    print(sock.getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), loop.call_soon_threadsafe(loop.stop)),
                     daemon=True).start()
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    main()
