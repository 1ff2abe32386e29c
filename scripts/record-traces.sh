#!/usr/bin/env bash
# Records the traces of tests/traces afresh: velmora.exe under Wine against HyperVSim.dll's simulated host
# (the tour; a machine that is not there) and, since that host lives only as long as one run of velmora.exe,
# the Linux build against a state file for the delete that Hyper-V refuses (a running machine). Each trace
# NAME.jsonl comes with the command's arguments (NAME.args) and the recorded run's exit status (NAME.status),
# standard output (NAME.out) and log lines (NAME.err, every line: -v). Needs the windows and default builds
# (scripts/test-windows.sh, make build) and Wine (scripts/install-deps.sh --windows).
set -euo pipefail
cd "$(dirname "$0")/.."
traces=$PWD/tests/traces
windows_velmora=$PWD/build/windows/bin/velmora.exe
linux_velmora=$PWD/build/default/bin/velmora
for program in "$windows_velmora" "$linux_velmora"; do
    [ -x "$program" ] || { echo "$program is missing: build it first" >&2; exit 1; }
done
wine64=$(command -v /usr/lib/wine/wine64 wine64 | head -n 1)
wineserver=$(command -v /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver wineserver | head -n 1)

work=$(mktemp -d)
# A Wine prefix of its own unless one is given.
WINEPREFIX=${WINEPREFIX:-$work/wine}
export WINEPREFIX WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    if [[ $WINEPREFIX == "$work"/* ]]; then
        "$wineserver" -k 2>/dev/null || true
        "$wineserver" -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# record NAME PROGRAM [GLOBAL OPTIONS] -- COMMAND ARGUMENTS
record() {
    local name=$1 program=()
    shift
    while [ "$1" != "--" ]; do
        program+=("$1")
        shift
    done
    shift
    local status=0
    (cd "$work" && "${program[@]}" -v --record "$name.jsonl" "$@" >"$name.out" 2>"$name.err") || status=$?
    printf '%s\n' "$@" >"$traces/$name.args"
    echo "$status" >"$traces/$name.status"
    tr -d '\r' <"$work/$name.out" >"$traces/$name.out"
    tr -d '\r' <"$work/$name.err" >"$traces/$name.err"
    cp "$work/$name.jsonl" "$traces/$name.jsonl"
    echo "$name: exit status $status, $(wc -l <"$traces/$name.jsonl") lines"
}

record tour "$wine64" "$windows_velmora" --simulated-host -- tour
record missing-machine "$wine64" "$windows_velmora" --simulated-host -- start \
    '\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="5653494D-0000-4000-8000-0000000000FF"'
"$linux_velmora" --state "$work/host.json" create --name web-01 --memory 1GiB >/dev/null
"$linux_velmora" --state "$work/host.json" start web-01 >/dev/null
record refused-delete "$linux_velmora" --state "$work/host.json" -- delete --yes web-01
