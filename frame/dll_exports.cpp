// The DLL's entry point and its four exports.
#include <windows.h>

#include "frame/server.h"
#include "runtime/thread_state.h"

extern "C" {

// Threads are not reported: a thread's library state ends with its apartment
// (its last CoUninitialize), on that thread and outside the loader lock; the
// thread that frees the library ends its own.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    if (reason == DLL_PROCESS_DETACH && !reserved) qm::thread_state::end();
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) { return qm::server::get_class_object(clsid, riid, out); }
STDAPI DllCanUnloadNow() { return qm::server::can_unload_now(); }
STDAPI DllRegisterServer() { return qm::server::register_server(); }
STDAPI DllUnregisterServer() { return qm::server::unregister_server(); }

}  // extern "C"
