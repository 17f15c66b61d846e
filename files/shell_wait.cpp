// Shell: starting a program and waiting for it, and waiting for a running one.
// The waits keep the caller's messages flowing and have no time-out.
#include <string>

#include "files/shell.h"
#include "runtime/contract.h"
#include "runtime/process.h"
#include "runtime/strings.h"
#include "windows/window_process.h"

namespace qm {

namespace {

// The identifier of the running process whose executable path is path (any
// case), from the System class's process list; 9 when none runs.
DWORD process_by_path(const std::wstring& path) {
    long pid = process_of_exe(path, true);
    if (pid < 0) raise(err::SubscriptOutOfRange);
    return static_cast<DWORD>(pid);
}

void wait_for(DWORD pid) {
    if (pid == GetCurrentProcessId()) raise(err::InvalidCall);  // it would never end
    process::Handle h(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    process::wait(h.get());
}

}  // namespace

HRESULT Shell::ExecuteAndWait(BSTR AppPath, LONG WindowStyle, LONG* result) {
    return trapped(Trap{Source::Shell, L"ExecuteAndWait"}, result, ErrorNumberResult{}, [&] {
        process::Started program = process::start(shell_command_line(text_of(AppPath)), WindowStyle);
        process::wait(program.process.get());
        process::pump();
        return 0L;
    });
}

// Waits for the program running from Path, or, when Path is empty, for the
// program that owns the window captioned WindowCaption. Path is lower-cased in
// the caller's variable.
HRESULT Shell::WaitForTask(BSTR* Path, BSTR* WindowCaption, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Shell, L"WaitForTask", ErrorNumber}, result, false, [&] {
        std::wstring path(Path ? text_of(*Path) : std::wstring_view());
        DWORD pid = 0;
        if (!path.empty()) {
            path = LCase(path);
            Bstr lowered(path);
            SysFreeString(*Path);
            *Path = lowered.detach();
            pid = process_by_path(path);
        } else {
            std::wstring caption(WindowCaption ? text_of(*WindowCaption) : std::wstring_view());
            if (caption.empty()) raise(err::InvalidCall);  // no program named at all
            pid = process_of_window(FindWindowW(nullptr, caption.c_str()));  // 0 when there is none
        }
        wait_for(pid);
        return true;
    });
}

}  // namespace qm
