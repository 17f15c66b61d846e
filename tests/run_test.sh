#!/usr/bin/env bash
# Runs one test program. Its output goes through a file, not the pipe ctest
# reads: a program the test starts (Wine's desktop or file window, a shell
# verb's handler) inherits the output and may outlive the test, and ctest would
# wait for the pipe to close; the test ends when its own process ends.
set -u
exe=$1
tmp=$(mktemp)
/usr/lib/wine/wine64 "$exe" </dev/null >"$tmp" 2>&1
rc=$?
cat "$tmp"
rm -f "$tmp"
exit $rc
