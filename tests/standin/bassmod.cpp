// A stand-in for the module player library, for the tests only: it plays
// nothing, answers TRUE and records each call with its arguments.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
std::string calls;

void record(const char* text) {
    calls += text;
    calls += ';';
}
}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI BASSMOD_Init(int device, DWORD rate, DWORD flags) {
    char text[96];
    std::snprintf(text, sizeof text, "Init(%d,%lu,%lu)", device, static_cast<unsigned long>(rate),
                  static_cast<unsigned long>(flags));
    record(text);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI BASSMOD_MusicLoad(BOOL memory, const void* file, DWORD offset, DWORD length,
                                                    DWORD flags) {
    std::string text = "MusicLoad(" + std::to_string(memory) + "," + static_cast<const char*>(file) + "," +
                       std::to_string(offset) + "," + std::to_string(length) + "," + std::to_string(flags) + ")";
    record(text.c_str());
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI BASSMOD_MusicPlay() {
    record("MusicPlay()");
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI BASSMOD_MusicStop() {
    record("MusicStop()");
    return TRUE;
}

__declspec(dllexport) void WINAPI BASSMOD_Free() { record("Free()"); }

// The calls since the last look, "Name(arguments);" each; the record starts anew.
__declspec(dllexport) int WINAPI StandIn_TakeCalls(char* buffer, int size) {
    const int n = static_cast<int>(calls.size());
    if (buffer && size > n) {
        calls.copy(buffer, n);
        buffer[n] = 0;
    }
    calls.clear();
    return n;
}
}
