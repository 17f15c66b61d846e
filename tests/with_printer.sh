#!/usr/bin/env bash
# Runs one test program with a printer of its own: a private CUPS scheduler on a
# socket under the scratch drive (never the system's socket or port), one raw
# queue "QmPrinter" as the default, and a backend that writes each job as
# job-N.ps (Wine's PostScript), job-N.pdf and job-N.html (pdftotext -bbox: each
# word with its box in points from the page's top left) into the queue's folder;
# the .html appears last, in one rename. Only this program sees CUPS_SERVER; every
# other test has no CUPS and so no printer.
# Measured: cupsd runs in the foreground without a service manager; Wine lists the
# queue (EnumPrinters, the default printer) and sends its own PostScript to the
# raw queue; a job is back within a second or two (the tests wait for the .html
# with a time-out). cups-pdf is not used: its output folder is set host-wide in
# /etc/cups/cups-pdf.conf.
set -u
exe=$1
: "${QM_SCRATCH_UNIX:?run through ./quill test}"
name=$(basename "$exe" .exe)
root=$QM_SCRATCH_UNIX/$name.cups
rm -rf "$root"
mkdir -p "$root"/{conf,spool,cache,state,tmp,bin/backend,out}
chmod 1777 "$root/out"
for d in filter daemon cgi-bin notifier monitor driver; do ln -s "/usr/lib/cups/$d" "$root/bin/$d"; done
cat >"$root/bin/backend/qmfile" <<'BACKEND'
#!/bin/sh
[ $# -eq 0 ] && { echo 'file qmfile "Unknown" "Test job files"'; exit 0; }
out=${DEVICE_URI#qmfile:}
job=$out/job-$1
if [ -n "${6:-}" ]; then cat "$6"; else cat; fi >"$job.ps" || exit 1
ps2pdf "$job.ps" "$job.pdf" && pdftotext -bbox "$job.pdf" "$job.part" && mv "$job.part" "$job.html"
BACKEND
chmod 700 "$root/bin/backend/qmfile"
cat >"$root/conf/cupsd.conf" <<CONF
Listen $root/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
CONF
cat >"$root/conf/cups-files.conf" <<CONF
ServerRoot $root/conf
ServerBin $root/bin
RequestRoot $root/spool
CacheDir $root/cache
StateDir $root/state
TempDir $root/tmp
ErrorLog $root/error_log
AccessLog /dev/null
PageLog /dev/null
CONF
/usr/sbin/cupsd -f -c "$root/conf/cupsd.conf" -s "$root/conf/cups-files.conf" </dev/null &
cupsd=$!
trap 'kill "$cupsd" 2>/dev/null; wait "$cupsd" 2>/dev/null' EXIT
export CUPS_SERVER=$root/cups.sock
# lpstat -r exits 0 whether or not the scheduler answers, so the wait is on the
# first request that needs it: adding the queue (up to 20 s on a busy machine).
ready=
for _ in $(seq 400); do
    kill -0 "$cupsd" 2>/dev/null || break
    if [ -S "$root/cups.sock" ] && lpadmin -p QmPrinter -E -v "qmfile:$root/out" 2>/dev/null; then
        ready=1; break
    fi
    sleep 0.05
done
[ -n "$ready" ] && lpadmin -d QmPrinter ||
    { echo "the private CUPS scheduler did not start"; cat "$root/error_log" 2>/dev/null; exit 1; }
# A prefix of its own (its registry copied, its drive shared), so that the queue
# Wine copies into the registry never reaches the other tests' prefix.
: "${WINEPREFIX:?run through ./quill test}"
mkdir -p "$root/prefix"
cp -a "$WINEPREFIX"/*.reg "$WINEPREFIX/dosdevices" "$root/prefix/"
cp -a "$WINEPREFIX/.update-timestamp" "$root/prefix/" 2>/dev/null
ln -s "$(readlink -f "$WINEPREFIX/drive_c")" "$root/prefix/drive_c"
export WINEPREFIX=$root/prefix
trap 'WINEPREFIX=$root/prefix /usr/lib/wine/wineserver64 -k 2>/dev/null; kill "$cupsd" 2>/dev/null; wait "$cupsd" 2>/dev/null' EXIT
# The shared prefix's registry may not be on disk yet: register anew.
. "$(dirname "$0")/arch.sh"
arch=$(qm_arch_of "$exe")
/usr/lib/wine/wine64 "$(qm_tool "$arch" regsvr32)" /s "Q:\\$arch\\Quillmark.dll" </dev/null >/dev/null 2>&1 ||
    { echo "regsvr32 failed in the printer's prefix"; exit 1; }
export QM_PRINT_OUT="S:\\$name.cups\\out\\"
"$(dirname "$0")/run_test.sh" "$exe"
