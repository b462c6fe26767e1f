#!/bin/sh
# Serves the browser build (build-web/) on this machine only: http://127.0.0.1:PORT/index.html
# (default port 8080). Builds it first with scripts/build-web.sh when build-web/quarnel.wasm is missing or
# older than any of the sources, data or web files it is made from. Ctrl+C stops the server.
#
# Usage: scripts/serve-web.sh [PORT]
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build-web"
PORT=${1:-8080}
case "$PORT" in
    ''|*[!0-9]*) echo "serve-web: the port must be a number: $PORT" >&2; exit 2 ;;
esac

stale() {
    [ -f "$OUT/quarnel.wasm" ] || return 0
    newer=$(cd "$ROOT" && find CMakeLists.txt cmake shell capture runtime scene render sound assets math \
        platform gl_layer data tools dist/web scripts/build-web.sh -newer "$OUT/quarnel.wasm" -type f 2>/dev/null | head -n 1)
    [ -n "$newer" ] && echo "serve-web: $newer changed since the last build" >&2
    [ -n "$newer" ]
}

if stale; then
    if [ ! -x "$ROOT/scripts/build-web.sh" ]; then
        echo "serve-web: $OUT needs a build, and there is no scripts/build-web.sh to make it" >&2
        exit 1
    fi
    "$ROOT/scripts/build-web.sh"
fi
for f in index.html quarnel.js quarnel.wasm quarnel.data; do
    [ -f "$OUT/$f" ] || { echo "serve-web: the build lacks $OUT/$f" >&2; exit 1; }
done

echo "http://127.0.0.1:$PORT/index.html"
cd "$OUT"
exec python3 -c '
import http.server, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".data": "application/octet-stream",
                      ".js": "text/javascript"}

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")  # a rebuilt page is never served from a cache
        super().end_headers()

try:
    http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
except KeyboardInterrupt:
    pass
' "$PORT"
