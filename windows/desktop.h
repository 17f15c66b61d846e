// Desktop: the desktop, taskbar and tray.
#pragma once
#include <windows.h>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Desktop : public Dispatch<_Desktop> {
public:
    // Taskbar, tray and start button (the enum and the member share the name
    // DesktopHWND: the type is named from the global scope here)
    HRESULT STDMETHODCALLTYPE DesktopHWND(::DesktopHWND* DeskHwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Taskbar_GetPos(CONTROLPOSITION* TaskBar) override;
    HRESULT STDMETHODCALLTYPE TaskBar_GetSize(TASKBARSIZEINFO* result) override;
    HRESULT STDMETHODCALLTYPE TaskBar_Show(VARIANT_BOOL* Hide) override;
    HRESULT STDMETHODCALLTYPE Tray_Show(VARIANT_BOOL* ShowTray) override;
    HRESULT STDMETHODCALLTYPE TaskBar_Disable(VARIANT_BOOL DisableTaskBar) override;
    HRESULT STDMETHODCALLTYPE StartButton_Click() override;
    HRESULT STDMETHODCALLTYPE Windows_Minimize(VARIANT_BOOL* RestoreWindows, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SysTray_Refresh() override;
    HRESULT STDMETHODCALLTYPE TaskBar_FadeEffect(TaskBarStartCommand* Command) override;

    // Docking controls into the taskbar
    HRESULT STDMETHODCALLTYPE TaskBar_AttachControl(IDispatch** Control, long* Form_ForceWidth, long* Form_ForceHeight,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE TaskBar_DetachControl(IDispatch** Control, long* result) override;
};

// The shell's windows by role (0 when absent): 1 the notification area, 2 the
// desktop, 3 the start button, 4 the taskbar, 5 the clock, 7 "Program Manager".
HWND desktop_window(long role);
// The band of task buttons and the notification area inside the taskbar.
HWND Get_TaskbarRebarHwnd();
HWND Get_TrayNotifyHwnd();
// Passes the mouse over every icon of a notification-area toolbar, so that icons
// of programs that ended without removing them vanish.
void sweep_tray_toolbar(HWND toolbar);

}  // namespace qm
