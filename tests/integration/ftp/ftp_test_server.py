# FTP server for the transfer tests: serves ROOT on 127.0.0.1 at a free port,
# prints "PORT <n>" once it listens and "CMD <command> <argument>" per command.
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--refuse-login", action="store_true")  # no user may log in
    parser.add_argument("--read-only", action="store_true")  # anonymous may list and read only
    parser.add_argument("--no-rest", action="store_true")  # REST is refused
    parser.add_argument("--throttle", type=int, default=0)  # uploads received at N bytes a second
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    if not args.refuse_login:
        authorizer.add_anonymous(args.root, perm="elr" if args.read_only else "elradfmwMT")

    class Handler(FTPHandler):
        def process_command(self, cmd, *a, **kw):
            words = [x for x in a if isinstance(x, str)]
            if cmd == "STOR":
                words.append("at %d" % self._restart_position)
            print("CMD", cmd, *words, flush=True)
            if cmd == "REST" and args.no_rest:
                self.respond("502 Command not implemented.")
                return
            return super().process_command(cmd, *a, **kw)

    Handler.authorizer = authorizer
    Handler.use_encoding = "utf8"
    if args.throttle:
        class Throttled(ThrottledDTPHandler):
            read_limit = args.throttle
        Handler.dtp_handler = Throttled

    logging.basicConfig(level=logging.CRITICAL)
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT", server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
