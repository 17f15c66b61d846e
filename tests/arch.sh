# Sourced by the test scripts: the build a program or script under the build
# folder belongs to (its first folder, win64 or win32) and the system's tools of
# that bitness, which a 32-bit build needs from SysWOW64.
qm_arch_of() {
    local rel=${1#"$QUILL_BUILD_ROOT"/}
    rel=${rel%%/*}
    case $rel in win32) printf win32 ;; *) printf win64 ;; esac
}
qm_tool() {
    case $1 in
        win32) printf 'C:\\windows\\syswow64\\%s.exe' "$2" ;;
        *) printf '%s' "$2" ;;
    esac
}
