#!/usr/bin/env bash
# Runs one test program with a home page of its own: python's HTTP server on
# 127.0.0.1, on a free port, over a folder of the scratch drive that the test
# fills. The server stops with the test; the test learns the port and the folder
# from the environment.
set -u
exe=$1
: "${QM_SCRATCH_UNIX:?run through ./quill test}"
name=$(basename "$exe" .exe)
root=$QM_SCRATCH_UNIX/$name.home
rm -rf "$root"
mkdir -p "$root"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$root" "$port" </dev/null >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
done
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "the home page server did not start"; exit 1; }
export QM_HOME_PORT=$port QM_HOME_ROOT="S:\\$name.home\\"
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY
"$(dirname "$0")/run_test.sh" "$exe"
