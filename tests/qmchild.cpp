// A child process for the tests that need a program of their own to find,
// inspect and end. Modes:
//   qmchild wait <extra threads> <ready event>
//       starts the extra threads, signals the named event and waits (at most
//       two minutes, so that it never outlives a failed test)
//   qmchild winver
//       exits with Quillmark.System's Get_WinVer, plus 100 when isWindowsNT
//       is True, as this process sees them (255 on any failure)
#include <windows.h>
#include <ole2.h>

#include <cwchar>
#include <cstdlib>

namespace {

DWORD WINAPI idle(void*) {
    Sleep(INFINITE);
    return 0;
}

int wait_mode(int threads, const wchar_t* ready) {
    for (int i = 0; i < threads; ++i) CloseHandle(CreateThread(nullptr, 0, idle, nullptr, 0, nullptr));
    if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, ready)) {
        SetEvent(event);
        CloseHandle(event);
    }
    Sleep(120000);
    return 0;
}

// A member without arguments, called by name.
bool call(IDispatch* object, const wchar_t* name, VARIANT* result) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    if (FAILED(object->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, nullptr, nullptr));
}

int winver_mode() {
    if (FAILED(CoInitialize(nullptr))) return 255;
    int code = 255;
    CLSID clsid;
    IDispatch* system = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"Quillmark.System", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&system)))) {
        VARIANT ver, nt;
        VariantInit(&ver);
        VariantInit(&nt);
        if (call(system, L"Get_WinVer", &ver) && call(system, L"isWindowsNT", &nt) &&
            SUCCEEDED(VariantChangeType(&ver, &ver, 0, VT_I4)) && V_VT(&nt) == VT_BOOL)
            code = V_I4(&ver) + (V_BOOL(&nt) ? 100 : 0);
        VariantClear(&ver);
        VariantClear(&nt);
        system->Release();
    }
    CoUninitialize();
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && wcscmp(argv[1], L"wait") == 0) return wait_mode(_wtoi(argv[2]), argv[3]);
    if (argc >= 2 && wcscmp(argv[1], L"winver") == 0) return winver_mode();
    return 2;
}
