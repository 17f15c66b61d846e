#include "windows/window_process.h"

#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/errors.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

SafeArray process_list(bool full_path) {
    VARIANT_BOOL full = full_path ? VARIANT_TRUE : VARIANT_FALSE;
    SafeArray list(VT_RECORD);
    check(shared<_System>()->Get_ProcessList(&full, list.put()));
    return list;
}

}  // namespace

DWORD process_of_window(HWND window) {
    DWORD pid = 0;
    if (window) GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::wstring exe_of_process(DWORD pid, bool full_path) {
    if (pid == 0) return {};  // no window, no process (not the system's idle process)
    SafeArray list = process_list(full_path);
    long i = ProcessFind(list.get(), L"", static_cast<long>(pid));
    return i > -1 ? std::wstring(text_of(list.at<PROCESSINFO>(i).EXENAME)) : std::wstring();
}

long process_of_exe(const std::wstring& exe, bool full_path) {
    SafeArray list = process_list(full_path);
    long i = ProcessFind(list.get(), exe, 0);
    return i > -1 ? list.at<PROCESSINFO>(i).PROCESSID : -1;
}

}  // namespace qm
