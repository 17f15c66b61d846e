// A service of the tests' own: it runs until it is stopped and can be paused
// and resumed. The tests create it in their prefix's service manager as
// "QmTestService" and delete it again.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
HANDLE g_stop = nullptr;
wchar_t g_name[] = L"QmTestService";

void report(DWORD state) {
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING || state == SERVICE_PAUSED
                                      ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE
                                      : 0;
    SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
            report(SERVICE_STOP_PENDING);
            SetEvent(g_stop);
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            report(SERVICE_PAUSED);
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            report(SERVICE_RUNNING);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            SetServiceStatus(g_handle, &g_status);
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI service_main(DWORD, wchar_t**) {
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_handle = RegisterServiceCtrlHandlerExW(g_name, handler, nullptr);
    if (!g_handle) return;
    report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    report(SERVICE_STOPPED);
}

}  // namespace

int wmain() {
    SERVICE_TABLE_ENTRYW table[] = {{g_name, service_main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
