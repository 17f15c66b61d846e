#!/usr/bin/env bash
# Runs one test program. Its output goes through a file, not the pipe ctest
# reads: a program the test starts (Wine's desktop or file window, a shell
# verb's handler) inherits the output and may outlive the test, and ctest would
# wait for the pipe to close; the test ends when its own process ends.
set -u
exe=$1
name=$(basename "$exe" .exe)
. "$(dirname "$0")/arch.sh"
arch=$(qm_arch_of "$exe")
tmp=$(mktemp) || { echo "no temporary file for the output of $name"; exit 1; }
/usr/lib/wine/wine64 "$exe" </dev/null >"$tmp" 2>&1
rc=$?
if [ "$rc" != 0 ] && ! grep -q '^\[==========\]' "$tmp"; then
    # The program ended before its first line (or was ended: its buffered output
    # is lost then): say how, with what Wine printed.
    echo "wine ended $name with status $rc before the program printed anything$( ((rc > 128)) && echo " (signal $((rc - 128)))")"
fi
cat "$tmp"
# Skipped cases, for the run's closing list: "[  SKIPPED ] Suite.Case (12 ms)".
if [ -n "${QM_SKIPPED:-}" ]; then
    tr -d '\r' <"$tmp" | sed -n "s/^\[  SKIPPED \] \([^ ]*\) ([0-9]* ms)\$/\1 ($name, $arch)/p" >>"$QM_SKIPPED"
fi
rm -f "$tmp"
exit $rc
