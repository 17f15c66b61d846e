// The DLL's entry point and its four exports.
#include <windows.h>

#include "frame/server.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) { return qm::server::get_class_object(clsid, riid, out); }
STDAPI DllCanUnloadNow() { return qm::server::can_unload_now(); }
STDAPI DllRegisterServer() { return qm::server::register_server(); }
STDAPI DllUnregisterServer() { return qm::server::unregister_server(); }

}  // extern "C"
