#!/usr/bin/env python3
"""Serves the built page as plain files on 127.0.0.1, as any static host would.

    python3 web/serve.py [--port N] [--log FILE] [FOLDER]

FOLDER defaults to build-web/site. Port 0 takes a free one. The address is printed on the
first line of output. With --log, every request's path is appended to FILE (the tests use it
to check that the page asks for nothing after it has loaded).
"""
import argparse
import functools
import http.server
import sys

TYPES = {
    '.wasm': 'application/wasm',
    '.js': 'text/javascript',
    '.webmanifest': 'application/manifest+json',
    '.svg': 'image/svg+xml',
    '.css': 'text/css',
    '.html': 'text/html; charset=utf-8',
}


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}
    log_file = None

    def end_headers(self):
        # Revalidated on every visit, so that a new build is seen; the service worker keeps
        # its own copy for use without a network.
        self.send_header('Cache-Control', 'no-cache')
        self.send_header('X-Content-Type-Options', 'nosniff')
        super().end_headers()

    def log_message(self, format, *args):
        if self.log_file:
            with open(self.log_file, 'a', encoding='utf-8') as log:
                log.write(self.path + '\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('folder', nargs='?', default='build-web/site')
    parser.add_argument('--port', type=int, default=8080)
    parser.add_argument('--log')
    args = parser.parse_args()
    Handler.log_file = args.log
    handler = functools.partial(Handler, directory=args.folder)
    with http.server.ThreadingHTTPServer(('127.0.0.1', args.port), handler) as server:
        print(f'http://127.0.0.1:{server.server_address[1]}/', flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == '__main__':
    sys.exit(main())
