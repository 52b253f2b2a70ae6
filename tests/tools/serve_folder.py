#!/usr/bin/env python3
"""Serves the files of a folder on 127.0.0.1 over HTTP, quietly, one thread
per connection; prints the port it listens on, then serves until killed.

    tests/tools/serve_folder.py FOLDER
"""
import functools
import http.server
import sys


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=sys.argv[1]))
print(server.server_address[1], flush=True)
server.serve_forever()
