# FTP server for the transfer tests: serves ROOT on 127.0.0.1 at a free port,
# prints "PORT <n>" once it listens and "CMD <command> <argument>" per command.
# A Windows test under Wine starts it as a Unix program, whose standard output
# it cannot read and whose end it cannot wait for: --output names the file to
# print to, and the server stops once the --while-exists file is gone (or its
# parent process is).
import argparse
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def stop_when_gone(path, parent):
    while os.path.exists(path) and os.getppid() == parent:
        time.sleep(0.05)
    print("STOPPED", flush=True)
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--refuse-login", action="store_true")  # no user may log in
    parser.add_argument("--read-only", action="store_true")  # anonymous may list and read only
    parser.add_argument("--no-rest", action="store_true")  # REST is refused
    parser.add_argument("--throttle", type=int, default=0)  # uploads received at N bytes a second
    parser.add_argument("--output")
    parser.add_argument("--while-exists")
    args = parser.parse_args()
    if args.output:
        sys.stdout = open(args.output, "w", buffering=1)
    if args.while_exists:
        threading.Thread(target=stop_when_gone, args=(args.while_exists, os.getppid()), daemon=True).start()

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
