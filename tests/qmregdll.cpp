// A component whose registration functions the registration tests call.
// QM_REG_MODE 0: registers by writing HKCU\Software\QuillmarkTest "reg" = 1
// and unregisters by removing it; 1: registration fails; 2: registration takes
// 15 seconds; 3: no registration functions at all.
#include <windows.h>

#if QM_REG_MODE != 3
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
#if QM_REG_MODE == 0
    DWORD one = 1;
    return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest", L"reg", REG_DWORD, &one, sizeof one) ==
                   ERROR_SUCCESS
               ? S_OK
               : E_FAIL;
#elif QM_REG_MODE == 1
    return E_FAIL;
#else
    Sleep(15000);
    return S_OK;
#endif
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest", L"reg") == ERROR_SUCCESS ? S_OK : E_FAIL;
}
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) { return TRUE; }
