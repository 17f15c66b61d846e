// Window: windows of any process.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Window : public Dispatch<_Window> {
public:
    // Finding and listing windows
    HRESULT STDMETHODCALLTYPE Get_AllHwnd(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_ChildWindows(long hwnd, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE FindWindow(BSTR* ClassName, BSTR* Caption, long* result) override;
    HRESULT STDMETHODCALLTYPE FindChild(long ParentHwnd, BSTR ChildClass, long* result) override;
    HRESULT STDMETHODCALLTYPE FindChildByText(long ParentHwnd, BSTR ChildClass, BSTR ChildText, long* result) override;
    HRESULT STDMETHODCALLTYPE FindWindowByPhrase(BSTR Phrase, VARIANT_BOOL* FindExact, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_AllHwndByClass(BSTR Class, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_AllHwndByText(BSTR Text, VARIANT_BOOL* FindExact, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE PID_GetHwnds(long PID, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_AllParentWindowsFromTaskID(long TaskID, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_AllParentWindowsFromHwnd(long hwnd, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE PID_GetParentWindows(long* PID, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE TaskIDtoHwnd(long* TaskID, long* result) override;

    // Reading a window's state
    HRESULT STDMETHODCALLTYPE Get_Text(long hwnd, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_Class(long hwnd, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_Parent(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_TopParent(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE isTopParent(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isChildWindow(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_TaskID(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_ThreadID(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE isHwnd(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Hwnd_Exist(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsWindowEnabled(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isWindowVisible(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_Pos(long hwnd, CONTROLPOSITION* result) override;
    HRESULT STDMETHODCALLTYPE Get_GlobalPosition(long hwnd, Position* result) override;
    HRESULT STDMETHODCALLTYPE Get_WindowState(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_Transparenz(long hwnd, BYTE* result) override;
    HRESULT STDMETHODCALLTYPE Get_ActiveWindow(long* result) override;
    HRESULT STDMETHODCALLTYPE Get_ForegroundWindow(long* result) override;
    HRESULT STDMETHODCALLTYPE Get_ActiveWindowTitle(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_ActiveWindowExeName(VARIANT_BOOL* GetFullPath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_Focus(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE HasFocus(long* hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ActiveEXE(long hwnd, VARIANT_BOOL* FullEXEpath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE EXEmoduleByHwnd(long hwnd, VARIANT_BOOL* FullPath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE EXEmodulToPID(BSTR EXE, VARIANT_BOOL EXEpathIsFullPath, long* result) override;
    HRESULT STDMETHODCALLTYPE ChildWindowCount(long* hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE hasChildWindow(long* hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_WindowInfo(long hwnd, QM_WINDOWINFO* result) override;

    // Changing a window
    HRESULT STDMETHODCALLTYPE Click(long hwnd) override;
    HRESULT STDMETHODCALLTYPE CloseWindow(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE EnableWindow(long hwnd, VARIANT_BOOL* Enable) override;
    HRESULT STDMETHODCALLTYPE FlashWindow(long hwnd, long* FlashCount, long* result) override;
    HRESULT STDMETHODCALLTYPE LockWindowUpdate(long hwnd, VARIANT_BOOL* LockWindow) override;
    HRESULT STDMETHODCALLTYPE SendKeys(long hwnd, BSTR Text) override;
    HRESULT STDMETHODCALLTYPE Set_Focus(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Set_Parent(long hwnd, long NewParent, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Set_Pos(long hwnd, long Top, long Left, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Set_Text(long hwnd, BSTR Text, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Set_WindowState(long hwnd, long WindowStyle) override;
    HRESULT STDMETHODCALLTYPE VisibleWindow(long hwnd, VARIANT_BOOL* isVisible, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Childs_EnableAll(long hwnd, VARIANT_BOOL* EnableAll, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Childs_VisibleAll(long hwnd, VARIANT_BOOL* VisibleAll, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE StayOnTop(long hwnd, VARIANT_BOOL* RemoveFromTop, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TerminateThread(long hwnd, long* TaskID, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Set_Transparenz(long hwnd, BYTE Transparenz) override;
    HRESULT STDMETHODCALLTYPE Set_XPstyle(long* hwnd, VARIANT_BOOL* ApplyStyle, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE tFade(long hwnd, BYTE FadeStart, BYTE FadeStop, VARIANT_BOOL* StartAtCurrentTransparenz,
                                    short* FadeStep, short* Speed) override;
    HRESULT STDMETHODCALLTYPE SnapShot(long hwnd, long* ErrorNumber, IPictureDisp** result) override;

    // Other processes' memory
    HRESULT STDMETHODCALLTYPE ProcessFind(long hwnd, BSTR Str, long StartAdress, long ReadLenght,
                                          long* result) override;
    HRESULT STDMETHODCALLTYPE ProcessRead(long hwnd, long StartAdress, long ReadLenght, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ProcessWrite(long hwnd, long Adress, BSTR Str, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ProcessReplace(long hwnd, BSTR Find, BSTR ReplaceWith, long Adress, long ReadLenght,
                                             VARIANT_BOOL* result) override;
};

}  // namespace qm
