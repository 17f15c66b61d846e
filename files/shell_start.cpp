// Shell: starting programs and documents.
#include "files/shell.h"

#include <shellapi.h>

#include <string>

#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/process.h"
#include "runtime/strings.h"

namespace qm {

std::wstring shell_command_line(std::wstring_view program, std::wstring_view arguments) {
    std::wstring line(program);
    DWORD attributes = GetFileAttributesW(line.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) line = process::quote(line);
    if (!arguments.empty()) line += L" " + std::wstring(arguments);
    return line;
}

std::optional<std::wstring> explorer_argument(std::wstring_view path) {
    if (path.find(L'"') != std::wstring_view::npos) return std::nullopt;
    if (path.find(L',') == std::wstring_view::npos) return std::wstring(path);
    while (path.ends_with(L'\\')) path.remove_suffix(1);
    return L"\"" + std::wstring(path) + L"\"";
}

// The shell's "open" verb on a program, document, folder or web address.
HRESULT Shell::Execute(BSTR* Path, BSTR* Param, LONG* WinStyle, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring path(Path ? text_of(*Path) : std::wstring_view());
        std::wstring param(Param ? text_of(*Param) : std::wstring_view());
        int style = WinStyle ? static_cast<int>(*WinStyle) : SW_SHOWNORMAL;
        check_shell_target(path);
        HINSTANCE h = ShellExecuteW(nullptr, L"open", path.c_str(), param.empty() ? nullptr : param.c_str(), nullptr,
                                    style);
        return reinterpret_cast<INT_PTR>(h) > 32;
    });
}

// The first output of a console program: one read of at most 2000 bytes from
// its standard output, trimmed and without NUL characters.
HRESULT Shell::DOS_Execute(BSTR Command, BSTR* Param, BSTR* result) {
    return untrapped(result, [&] {
        std::wstring line = shell_command_line(text_of(Command), Param ? text_of(*Param) : std::wstring_view());
        check_command_line(line);
        SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
        process::Handle read_end, write_end;
        if (!CreatePipe(read_end.put(), write_end.put(), &sa, 0)) return Bstr(L"");
        SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);  // the child gets the write end only

        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write_end.get();
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                            &pi))
            return Bstr(L"");
        process::Handle child(pi.hProcess), thread(pi.hThread);
        // Only the child may hold the write end now: when it ends without writing,
        // the read ends too.
        write_end.reset();

        char buffer[2000];
        DWORD got = 0;
        if (!ReadFile(read_end.get(), buffer, sizeof(buffer), &got, nullptr)) return Bstr(L"");
        std::wstring text = from_ansi(std::string_view(buffer, got));
        text = Trim(Replace(text, std::wstring_view(L"\0", 1), L""));
        return Bstr(text);
    });
}

// The program under another account; it is not waited for.
HRESULT Shell::RunAsUser(BSTR UserName, BSTR Password, BSTR Domain, BSTR AppPath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring user(text_of(UserName)), password(text_of(Password)), domain(text_of(Domain)),
            app(text_of(AppPath));
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        BOOL ok = CreateProcessWithLogonW(user.c_str(), domain.c_str(), password.c_str(), LOGON_WITH_PROFILE,
                                          app.c_str(), nullptr,
                                          CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | CREATE_NEW_CONSOLE,
                                          nullptr, nullptr, &si, &pi);
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        if (!ok) return false;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    });
}

}  // namespace qm
