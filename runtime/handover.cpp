#include "runtime/handover.h"

#include "runtime/errors.h"

namespace qm {

void check_plain_path(std::wstring_view path) {
    if (path.size() > limit::kPath) raise(err::BadFileNameOrNumber);
}

void check_long_path(std::wstring_view path) {
    if (path.size() > limit::kLongPath) raise(err::BadFileNameOrNumber);
}

void check_shell_target(std::wstring_view target) {
    if (target.size() > limit::kShellTarget) raise(err::BadFileNameOrNumber);
}

void check_command_line(std::wstring_view line) {
    if (line.size() > limit::kCommandLine) raise(err::InvalidCall);
}

void check_name(std::wstring_view name, size_t longest) {
    if (name.size() > longest) raise(err::InvalidCall);
}

std::optional<LRESULT> send_bounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT timeout_ms) {
    const DWORD thread = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (!thread) return std::nullopt;
    if (thread == GetCurrentThreadId()) return SendMessageW(window, message, wparam, lparam);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeout_ms, &answer))
        return std::nullopt;
    return static_cast<LRESULT>(answer);
}

bool answers(HWND window) { return send_bounded(window, WM_NULL).has_value(); }

}  // namespace qm
