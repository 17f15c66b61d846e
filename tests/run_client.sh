#!/usr/bin/env bash
# Runs one client script with the system's script host. The host prints nothing
# and exits 0 on a script error, so a script passes only when it exits 0 and
# its last line of output is the sentinel "CLIENT-OK".
set -u
script=$1
: "${QUILL_BUILD_ROOT:?run through ./quill test}"
rel=${script#"$QUILL_BUILD_ROOT"/}
win="Q:\\${rel//\//\\}"
. "$(dirname "$0")/arch.sh"
# The script host of the build the script tests: a 32-bit host loads the 32-bit DLL.
host=$(qm_tool "$(qm_arch_of "$script")" cscript)
tmp=$(mktemp)
timeout 300 /usr/lib/wine/wine64 "$host" //nologo "$win" </dev/null >"$tmp" 2>/dev/null
rc=$?
out=$(tr -d '\r' <"$tmp")
rm -f "$tmp"
printf '%s\n' "$out"
if [ "$rc" != 0 ]; then echo "script exited with $rc"; exit 1; fi
if [ "$(printf '%s\n' "$out" | tail -n 1)" != "CLIENT-OK" ]; then echo "no sentinel: the script stopped early"; exit 1; fi
