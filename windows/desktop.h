// Desktop: the desktop, taskbar and tray.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

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

    // Wallpaper, display settings and screen queries
    HRESULT STDMETHODCALLTYPE Wallpaper_Change(BSTR File, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Wallpaper_Clear(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Wallpaper_GetPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Wallpaper_Get(long* ErrorNumber, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE Set_DesktopResulotion(DESKTOPRESULOTION* Resulotion, BYTE* Frequency,
                                                    BSTR* OtherResulotion, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_DesktopDimensions(CONTROLDIMENSIONS* result) override;
    HRESULT STDMETHODCALLTYPE Get_WorkAreaDimension(CONTROLDIMENSIONS* result) override;
    HRESULT STDMETHODCALLTYPE Get_ScreenDPI(long* result) override;
    HRESULT STDMETHODCALLTYPE Get_Pixel(long X, long* Y, long* result) override;
    HRESULT STDMETHODCALLTYPE Desktop_Update() override;
    HRESULT STDMETHODCALLTYPE ScreenSaver_Activate(IDispatch** Form) override;
    HRESULT STDMETHODCALLTYPE Set_WindowsDefaultMouseCursor(DEFAULTCURSOR* Cursor) override;
    HRESULT STDMETHODCALLTYPE XPtheme_isActive(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE XPtheme_Enable(VARIANT_BOOL* Disable, VARIANT_BOOL* result) override;

    // Recycle bin, recent documents, control-panel pages and shell folders
    HRESULT STDMETHODCALLTYPE RecycleBin_Info(RECYCLEBININFO* Info) override;
    HRESULT STDMETHODCALLTYPE RecycleBin_Clear(long* hwnd, VARIANT_BOOL* Confirm, VARIANT_BOOL* ShowProgress,
                                               VARIANT_BOOL* PlaySound) override;
    HRESULT STDMETHODCALLTYPE RecycleBin_UpdateIcon() override;
    HRESULT STDMETHODCALLTYPE RecentDocs(RECENTDOCSCOMMAND* Command, BSTR* File) override;
    HRESULT STDMETHODCALLTYPE SystemPanel(::SystemPanelApp* SystemPanelApp, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE SystemDirOpen(SYSTEMDIR* SysDir, long* result) override;
    HRESULT STDMETHODCALLTYPE DesktopSystemIcons_Rename(DESKTOPSYSTEMICON* SystemIcon, BSTR NewName) override;
    HRESULT STDMETHODCALLTYPE MyComputer_SetIcon(BSTR AppName, BSTR AppPath, BSTR AppInfoTip) override;

    // Additional desktops
    HRESULT STDMETHODCALLTYPE Desktops(DeskCommand* Command, BSTR DesktopName, BSTR AppPath,
                                       SAFEARRAY** result) override;

    // Screen capture and text on the desktop
    HRESULT STDMETHODCALLTYPE SnapShot(long* AreaLeft, long* AreaTop, long* AreaWidth, long* AreaHeight,
                                       long* ErrorNumber, IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE WriteOnDesktop(DESKTOPTEXTINFO* DesktopText, long* result) override;

    ~Desktop() override;

private:
    // A desktop this instance made, with the desktops to return to.
    struct MadeDesktop {
        HDESK old_thread;  // the thread's desktop then (not ours to close)
        HDESK old_input;   // the input desktop then
        HDESK desktop;
        std::wstring name;
    };
    void unload(size_t index);
    std::vector<MadeDesktop> desktops_;
};

// The shell's windows by role (0 when absent): 1 the notification area, 2 the
// desktop, 3 the start button, 4 the taskbar, 5 the clock, 7 "Program Manager".
HWND desktop_window(long role);
// How the minimise and tray commands find the taskbar (Window.FindWindow by its
// class), replaceable by tests; nullptr puts the library's own back.
void set_taskbar_finder(long (*finder)());
// The band of task buttons and the notification area inside the taskbar.
HWND Get_TaskbarRebarHwnd();
HWND Get_TrayNotifyHwnd();
// Passes the mouse over every icon of a notification-area toolbar, so that icons
// of programs that ended without removing them vanish.
void sweep_tray_toolbar(HWND toolbar);

// The work area's size in twips.
CONTROLDIMENSIONS desktop_work_area_twips();
// The command line that opens a control-panel page (empty for values without
// one) and its window style; the command line that opens a shell folder.
std::wstring system_panel_command(long app, long* window_style);
std::wstring system_dir_command(long dir);

}  // namespace qm
