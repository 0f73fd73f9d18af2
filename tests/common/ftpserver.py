#!/usr/bin/env python3
"""A real FTP server for the tests: pyftpdlib on a loopback address.

Prints the port it listens on as the first line of standard output, then serves until killed.
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="root")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--readonly", action="store_true")
    parser.add_argument("--auth-failed-delay", type=float, default=3.0)
    args = parser.parse_args()

    if not args.host.startswith("127."):
        sys.exit("loopback addresses only")

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root,
                        perm="elr" if args.readonly else "elradfmwMT")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = args.auth_failed_delay
    Handler.banner = "kelo test server ready"
    server = FTPServer((args.host, args.port), Handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
