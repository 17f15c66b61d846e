// Windows and the processes behind them, through the library's process list.
#pragma once
#include <windows.h>

#include <string>

namespace qm {

// The identifier of the process that owns the window; 0 for an invalid handle.
DWORD process_of_window(HWND window);

// The executable of process pid (its file name, or its full path when wanted and
// known); empty when the process is not in the list.
std::wstring exe_of_process(DWORD pid, bool full_path);
// The process id of the first process with this executable (compared without
// regard to case); -1 when there is none.
long process_of_exe(const std::wstring& exe, bool full_path);

}  // namespace qm
