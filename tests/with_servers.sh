#!/usr/bin/env bash
# Runs one test program with its own loopback servers (tests/servers/loopback.py):
# they listen on 127.0.0.1 only, under a folder of the scratch drive, and stop
# with the test. The test learns the ports and the folder from the environment.
set -u
exe=$1
: "${QM_SCRATCH_UNIX:?run through ./quill test}"
name=$(basename "$exe" .exe)
root=$QM_SCRATCH_UNIX/$name.servers
rm -rf "$root"
mkdir -p "$root"
/usr/bin/python3 "$(dirname "$0")/servers/loopback.py" --root "$root" --ready "$root/ready" </dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 200); do
    [ -s "$root/ready" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
done
[ -s "$root/ready" ] || { echo "the loopback servers did not start"; exit 1; }
# shellcheck disable=SC1091
. "$root/ready"
export QM_HTTP_PORT QM_FTP_PORT QM_SERVER_ROOT="S:\\$name.servers\\"
# WinINet honours these over the prefix's own settings.
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY
"$(dirname "$0")/run_test.sh" "$exe"
