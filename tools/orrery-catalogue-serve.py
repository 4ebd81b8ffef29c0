#!/usr/bin/env python3
"""Serves a catalogue made by orrery-catalogue on this machine, to try it
with the console before publishing it:

    tools/orrery-catalogue-serve.py SITE_FOLDER [PORT] [--bind ADDRESS]
    orrery -catalogue_url http://127.0.0.1:8000

Files are served as any static web server serves them. A request with a
query, PATH?QUERY, is answered from the file PATH@QUERY, where the kit
writes its list pages (bbs/cpost_lister3.php@max=32&start_index=0&...) and
cartridge pages (bbs/@pid=ID). A query of anything but letters, digits and
"_=&-" has no file and gets 404, and so does a search, which a catalogue of
files cannot answer. PORT is 8000 by default, ADDRESS 127.0.0.1.
"""

import argparse
import functools
import http.server
import os
import re
import sys
import urllib.parse

SITE_QUERY = re.compile(r"[A-Za-z0-9_=&-]+\Z")
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class CatalogueHandler(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        query = urllib.parse.urlsplit(self.path).query
        if query and not SITE_QUERY.match(query):
            self.send_error(404, "no page for this query")
            return None
        return super().send_head()

    def translate_path(self, path):
        path = path.split("#", 1)[0]
        base, mark, query = path.partition("?")
        local = super().translate_path(base)
        return local + "@" + query if mark and query else local

    def guess_type(self, path):
        # Pages named after their query have no extension to go by.
        if "@" not in os.path.basename(path):
            return super().guess_type(path)
        try:
            with open(path, "rb") as f:
                head = f.read(len(PNG_SIGNATURE))
        except OSError:
            return "application/octet-stream"
        return "image/png" if head == PNG_SIGNATURE else "text/html; charset=utf-8"


def main():
    parser = argparse.ArgumentParser(description="Serve a catalogue folder made by orrery-catalogue.")
    parser.add_argument("site", help="the OUT_FOLDER of orrery-catalogue")
    parser.add_argument("port", nargs="?", type=int, default=8000)
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    args = parser.parse_args()
    if not os.path.isdir(os.path.join(args.site, "bbs")):
        print(f"{args.site} holds no catalogue (no bbs/ folder): make one with orrery-catalogue", file=sys.stderr)
        return 2
    handler = functools.partial(CatalogueHandler, directory=args.site)
    try:
        server = http.server.ThreadingHTTPServer((args.bind, args.port), handler)
    except OSError as e:
        print(f"cannot listen on {args.bind}:{args.port}: {e.strerror}", file=sys.stderr)
        return 1
    print(f"serving {args.site} at http://{args.bind}:{server.server_port}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
