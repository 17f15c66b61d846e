// A stand-in for the browser and the mail program: appends one line to the
// file named by QM_RECORDER_LOG and ends. The line holds the program's file
// name (lower case), the show command it was started with (-1 when none was
// given) and its command line after the program's own name, byte for byte in
// the ANSI code page, separated by tabs. Without QM_RECORDER_LOG it does nothing.
#include <windows.h>

#include <cctype>
#include <string>

int main() {
    char log[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QM_RECORDER_LOG", log, MAX_PATH)) return 0;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string name(self);
    name = name.substr(name.find_last_of('\\') + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    STARTUPINFOA start{};
    start.cb = sizeof(start);
    GetStartupInfoA(&start);
    const int show = (start.dwFlags & STARTF_USESHOWWINDOW) ? start.wShowWindow : -1;

    // The arguments: what follows the program's name (quoted or not) and one blank.
    const char* rest = GetCommandLineA();
    if (*rest == '"') {
        ++rest;
        while (*rest && *rest != '"') ++rest;
        if (*rest) ++rest;
    } else {
        while (*rest && *rest != ' ' && *rest != '\t') ++rest;
    }
    if (*rest == ' ' || *rest == '\t') ++rest;

    std::string line = name + '\t' + std::to_string(show) + '\t' + rest + '\n';
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE f = CreateFileA(log, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(f);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
