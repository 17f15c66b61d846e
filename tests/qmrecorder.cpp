// A stand-in for the browser, the mail program and the other programs the
// library starts: appends one line to the file named by QM_RECORDER_LOG and
// ends. The line holds, separated by tabs, the program's file name (lower
// case), the show command it was started with (-1 when none was given), the
// number of arguments after its name and each argument as a program reads it
// (CommandLineToArgvW), all in UTF-8; a control character of an argument is
// written as \xNN, so that the line stays one line. Without QM_RECORDER_LOG it
// does nothing.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <string>

int main() {
    wchar_t log[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"QM_RECORDER_LOG", log, MAX_PATH)) return 0;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line(self);
    line = line.substr(line.find_last_of(L'\\') + 1);
    for (wchar_t& c : line) c = static_cast<wchar_t>(std::towlower(c));

    STARTUPINFOW start{};
    start.cb = sizeof(start);
    GetStartupInfoW(&start);
    line += L'\t' + std::to_wstring((start.dwFlags & STARTF_USESHOWWINDOW) ? start.wShowWindow : -1);

    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    line += L'\t' + std::to_wstring(count > 0 ? count - 1 : 0);
    for (int i = 1; i < count; ++i) {
        line += L'\t';
        for (const wchar_t* c = args[i]; *c; ++c) {
            if (*c >= L' ') {
                line += *c;
                continue;
            }
            wchar_t hex[5];
            swprintf(hex, 5, L"\\x%02X", static_cast<unsigned>(*c));
            line += hex;
        }
    }
    line += L'\n';
    LocalFree(args);
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n, nullptr, nullptr);

    // One recorder writes at a time; the test may read the log meanwhile (it
    // shares writing), and a line written whole is all it counts.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        HANDLE f = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(f);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
