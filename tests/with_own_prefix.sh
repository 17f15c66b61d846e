#!/usr/bin/env bash
# Runs one test program in a Wine prefix, display and scratch drive of its own,
# made like the run's (a copy of the template, the library and the tests' form
# host registered): what the program does to the registry, the prefix's folders,
# the windows, the pointer or the clipboard reaches no test running beside it.
# Everything goes with the test.
set -u
exe=$1
: "${QUILL_BUILD_ROOT:?run through ./quill test}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
run=$(mktemp -d /tmp/quill-own.XXXXXX)
xvfb=""
cleanup() {
    # The prefix's server folder goes too: $TMPDIR/<its "wineserver" file>/server-DEV-INODE.
    local dev ino dir=""
    read -r dev ino < <(stat -L -c '%d %i' "$run/prefix" 2>/dev/null) &&
        dir=$(printf '%s/%s/server-%x-%x' "${TMPDIR:-/tmp}" "$(cat "$run/prefix/wineserver" 2>/dev/null)" "$dev" "$ino")
    WINEPREFIX=$run/prefix "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$run/prefix "$WINESERVER" -w >/dev/null 2>&1
    [ -n "$dir" ] && [ -d "$dir" ] && rm -rf "$dir"
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$run"
}
trap cleanup EXIT
cp -a "$QUILL_BUILD_ROOT/wine-template" "$run/prefix"
mkdir -p "$run/home" "$run/scratch"
printf 'pcm.!default { type null }\nctl.!default { type null }\n' >"$run/home/.asoundrc"
ln -sfn "$QUILL_BUILD_ROOT" "$run/prefix/dosdevices/q:"
ln -sfn "$run/scratch" "$run/prefix/dosdevices/s:"
export WINEPREFIX=$run/prefix HOME=$run/home QM_SCRATCH='S:\' QM_SCRATCH_UNIX=$run/scratch
unset DISPLAY
# A display is ours once its lock names our server and its socket is there: a
# test started beside this one may take the same number first.
for n in $(seq 141 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for i in $(seq 100); do
        kill -0 "$xvfb" 2>/dev/null || break
        if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb" ]; then
            export DISPLAY=":$n"
            break 2
        fi
        sleep 0.1
    done
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=""
done
[ -n "${DISPLAY:-}" ] || { echo "no free X display"; exit 1; }
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1
# The program's own build, with that build's regsvr32.
. "$(dirname "$0")/arch.sh"
arch=$(qm_arch_of "$exe")
regsvr32=$(qm_tool "$arch" regsvr32)
"$WINE" "$regsvr32" /s "Q:\\$arch\\Quillmark.dll" </dev/null >/dev/null 2>&1 || { echo "regsvr32 failed"; exit 1; }
"$WINE" "$regsvr32" /s "Q:\\$arch\\tests\\formhost\\qmformhost.dll" </dev/null >/dev/null 2>&1 ||
    { echo "regsvr32 of the form host failed"; exit 1; }
"$(dirname "$0")/run_test.sh" "$exe"
