// Handing caller text and requests to the system, within what the system takes.
//
// The library runs in its client's process: a system function given more than it
// is made for may write past its buffers or never return, and the client loses its
// work. Each check below raises the run-time error a member reports for such an
// argument before anything is handed over, so nothing has changed when it fails.
#pragma once
#include <windows.h>

#include <optional>
#include <string_view>

namespace qm {

namespace limit {
// A path in the plain form (no "\\?\" prefix): MAX_PATH with its NUL. Shell file
// operations, the shell's file information and the profile functions take no more.
constexpr size_t kPath = MAX_PATH - 1;
// A path in the "\\?\" form, prefix included.
constexpr size_t kLongPath = 32767;
// A text passed to an ANSI function is converted by the system into a counted
// wide string of at most 32,767 characters, its NUL included.
constexpr size_t kAnsiText = 32766;
// What the shell's open verb is given (a file, a folder or an address): it builds
// its command, the program and the quoted target, in 1,024 characters, so the
// target gets half of them.
constexpr size_t kShellTarget = 512;
// A process's command line, its NUL included: 32,767 characters.
constexpr size_t kCommandLine = 32766;
// A computer: a DNS host name (255), optionally after "\\".
constexpr size_t kComputerName = 2 + 255;
// An account: a user name (UNLEN 256), optionally with its domain (a DNS name,
// 255) and a separator ("domain\user", "user@domain").
constexpr size_t kAccountName = 256 + 1 + 255;
}  // namespace limit

// 52 (bad file name) for a path longer than the plain form allows.
void check_plain_path(std::wstring_view path);
// 52 for a path longer than the "\\?\" form allows.
void check_long_path(std::wstring_view path);
// 52 for a target of the shell's open verb longer than it takes.
void check_shell_target(std::wstring_view target);
// 5 for a command line longer than a process can be given.
void check_command_line(std::wstring_view line);
// 5 for a name longer than its kind allows.
void check_name(std::wstring_view name, size_t longest);

// --- messages to windows that may be another thread's or process's ---------------

// How long a window of another thread may take to answer before the caller gives up.
constexpr UINT kAnswerTimeoutMs = 2000;

// The window's answer to a sent message. The calling thread's own windows are
// called directly (their procedure runs on this thread anyway); any other window
// gets at most timeout_ms, and none at all when the system takes it for hung.
// Nothing when the window did not answer in time (busy, hung, in a modal loop of
// its own) or is gone.
std::optional<LRESULT> send_bounded(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0,
                                    UINT timeout_ms = kAnswerTimeoutMs);

// Whether the window answers at all (a WM_NULL sent as above). The system's own
// calls that show, move, enable, re-parent or restyle another thread's window wait
// for that thread without limit: ask first, and leave a window alone that does
// not answer.
bool answers(HWND window);

}  // namespace qm
