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

// The image's entry point, ahead of the C runtime's. When the process ends, the
// runtime's teardown of its static objects deletes its per-thread keys, which
// takes its thread-key lock for writing; that lock can still be counted as held
// by a client thread that was stopped, or ended, while running its thread-end
// cleanup, and the process would then never end. The system takes the whole
// process back anyway, so nothing is torn down then; an unload by FreeLibrary
// still runs the full teardown.
BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);
BOOL WINAPI QuillmarkEntry(HANDLE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved) return TRUE;
    return DllMainCRTStartup(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) { return qm::server::get_class_object(clsid, riid, out); }
STDAPI DllCanUnloadNow() { return qm::server::can_unload_now(); }
STDAPI DllRegisterServer() { return qm::server::register_server(); }
STDAPI DllUnregisterServer() { return qm::server::unregister_server(); }

}  // extern "C"
