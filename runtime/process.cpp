#include "runtime/process.h"

#include <string>

#include "runtime/ansi.h"
#include "runtime/errors.h"
#include "runtime/handover.h"

namespace qm::process {

Started start(std::wstring_view command_line, long window_style) {
    // The runtime's styles 0 to 4 are the system's show codes, 6 is minimised without
    // focus; 5 is none of them.
    static const WORD shows[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE,
                                 0,       SW_SHOWMINNOACTIVE};
    if (window_style < 0 || window_style > 6 || window_style == 5) raise(err::InvalidCall);
    std::wstring line(command_line);
    if (line.find_first_not_of(L" \t") == std::wstring::npos) raise(err::InvalidCall);
    check_command_line(line);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = shows[window_style];
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD code = GetLastError();
        switch (code) {
        case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY: case ERROR_BAD_EXE_FORMAT:
            raise(err::FileNotFound);
        default:
            raise_win32(code);
        }
    }
    CloseHandle(pi.hThread);
    Started s;
    s.process.reset(pi.hProcess);
    s.id = pi.dwProcessId;
    return s;
}

bool pump() noexcept {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // left for the client's own loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void wait(HANDLE process) noexcept {
    if (!process) return;
    for (;;) {
        if (!pump()) {  // the thread is quitting: nothing more to dispatch
            WaitForSingleObject(process, INFINITE);
            return;
        }
        DWORD r = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r != WAIT_OBJECT_0 + 1) return;  // ended, or the handle cannot be waited on
    }
}

namespace {

// The text in quotes, each run of backslashes before a quote (the closing one
// included) doubled, each quote inside written \".
std::wstring in_quotes(std::wstring_view text) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L'"';
}

}  // namespace

std::wstring quote(std::wstring_view path) {
    const bool quoted = path.size() >= 2 && path.front() == L'"' && path.back() == L'"';
    if (quoted) path = path.substr(1, path.size() - 2);
    if (path.find(L'"') != std::wstring_view::npos) raise(err::BadFileNameOrNumber);
    if (!quoted && path.find_first_of(L" \t") == std::wstring_view::npos) return std::wstring(path);
    return in_quotes(path);
}

std::wstring argument(std::wstring_view text) {
    if (!text.empty() && text.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) return std::wstring(text);
    return in_quotes(text);
}

std::optional<std::wstring> batch_word(std::wstring_view path) {
    for (const wchar_t c : path)
        if (c < L' ' || c == L'"') return std::nullopt;
    if (!holds_exactly(path)) return std::nullopt;
    std::wstring out = L"\"";
    for (const wchar_t c : path) {
        out += c;
        if (c == L'%') out += L'%';
    }
    return out + L'"';
}

}  // namespace qm::process
