// Test-side use of the stand-in server: a real component's name mapped to its
// stand-in for one test, and the word processor's record of calls.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "standins/standin.h"

namespace qmtest {

// Maps a programmatic identifier to a stand-in class for the object's lifetime.
class Shadow {
public:
    Shadow(const wchar_t* progid, REFCLSID clsid) : progid_(progid) {
        wchar_t text[40];
        StringFromGUID2(clsid, text, 40);
        RegSetValueW(HKEY_CLASSES_ROOT, (progid_ + L"\\CLSID").c_str(), REG_SZ, text,
                     static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)));
    }
    ~Shadow() { RegDeleteTreeW(HKEY_CLASSES_ROOT, progid_.c_str()); }
    Shadow(const Shadow&) = delete;
    Shadow& operator=(const Shadow&) = delete;

private:
    std::wstring progid_;
};

// The stand-in server's module, loaded from where the harness registered it.
inline HMODULE standin_module() {
    wchar_t clsid[40];
    StringFromGUID2(standin::CLSID_Connection, clsid, 40);
    wchar_t path[MAX_PATH] = {};
    LONG size = sizeof(path);
    RegQueryValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32").c_str(), path, &size);
    HMODULE m = GetModuleHandleW(path);
    return m ? m : LoadLibraryW(path);
}

// The word processor's calls since the last reset, one line each.
inline std::wstring word_log() {
    auto f = reinterpret_cast<BSTR(WINAPI*)()>(GetProcAddress(standin_module(), "StandinWordLog"));
    if (!f) return L"<no stand-in server>";
    BSTR b = f();
    std::wstring s(b, SysStringLen(b));
    SysFreeString(b);
    return s;
}
inline void word_reset() {
    auto f = reinterpret_cast<void(WINAPI*)()>(GetProcAddress(standin_module(), "StandinWordReset"));
    if (f) f();
}

}  // namespace qmtest
