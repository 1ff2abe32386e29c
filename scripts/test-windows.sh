#!/usr/bin/env bash
# Cross-builds Velmora.dll with MinGW-w64 and runs the Windows tests under Wine (preset "windows").
#
# Wine runs in a throw-away prefix with a persistent wineserver, so that each test program starts in a
# fraction of a second instead of waiting for the server to wind down; the server is stopped and the prefix
# (about 700 MB) deleted on every way out. The packages come from scripts/install-deps.sh --windows.
set -euo pipefail
cd "$(dirname "$0")/.."

find_wine_tool() {
    local candidate
    for candidate in "$@"; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
        if command -v "$candidate" >/dev/null 2>&1; then
            command -v "$candidate"
            return 0
        fi
    done
    echo "none of $* found: run scripts/install-deps.sh --windows" >&2
    return 1
}
wine64=$(find_wine_tool /usr/lib/wine/wine64 wine64)
wineserver=$(find_wine_tool /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver wineserver)

WINEPREFIX=$(mktemp -d)
export WINEPREFIX
export WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="

warmup=""
cleanup() {
    [ -n "$warmup" ] && wait "$warmup" 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

"$wineserver" -p
# Creating the prefix takes seconds and needs no compiler: it runs while the build does.
"$wine64" cmd /c exit 0 >/dev/null 2>&1 &
warmup=$!

cmake --preset windows
cmake --build --preset windows

wait "$warmup" || { echo "Wine could not set up its prefix" >&2; exit 1; }
warmup=""
ctest --preset windows
