// Hardware: hardware information.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Hardware : public Dispatch<_Hardware> {
public:
    // Serial ports
    HRESULT STDMETHODCALLTYPE COMport_Exist(long Port, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE COMport_ConfigureDialog(long Port, long* hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE COMport_GetInstalledCOMPorts(SAFEARRAY** result) override;
    // Keyboard
    HRESULT STDMETHODCALLTYPE Keyboard_CAPSisEnabled(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_NUMisEnabled(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_GetPressedKey(long* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_KeyIsPressed(VARIANT Key, VARIANT_BOOL* result) override;
    // Joystick and monitor
    HRESULT STDMETHODCALLTYPE Joystick_isPresent(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Joystick_Count(long* result) override;
    HRESULT STDMETHODCALLTYPE Joystick_GetInfo(VARIANT Index, JOYSTICKINFO* result) override;
    HRESULT STDMETHODCALLTYPE Monitor_PowerDown(long hwnd, MonitorCommand* Command) override;
    // Mouse
    HRESULT STDMETHODCALLTYPE Mouse_Click(VARIANT_BOOL* ClickRight, VARIANT_BOOL* DoubleClick) override;
    HRESULT STDMETHODCALLTYPE Mouse_SetPos(long X, long Y, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_Show(VARIANT_BOOL* ShowMouse) override;
    HRESULT STDMETHODCALLTYPE Mouse_hWndUnderCursor(long* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_GetColorUnderCursor(long* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_GetPos(Position* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_GetTextUnderCursor(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_GetClassUnderCursor(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_isCursorOverHwnd(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_isUserClick(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_isCursorOverControl(IDispatch** Control, LONG* ErrorNumber,
                                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_BlockUserInput(VARIANT_BOOL* BlockUserInput, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_ButtonCount(long* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_Button(long* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_Center(long hwnd, IDispatch** ctrl, long* ErrorNumber,
                                           VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_ClipCursor(long* hwnd, VARIANT_BOOL* UnClip, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mouse_isMoving(VARIANT_BOOL* result) override;
    // Speaker and sound card
    HRESULT STDMETHODCALLTYPE Soundcard_Installed(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PCspeaker(SPEAKERINFO* Info, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Monitor_StandBy(MonitorCommand* Command) override;
    // Mouse buttons
    HRESULT STDMETHODCALLTYPE Mouse_SwapButton(VARIANT_BOOL SwapButton) override;

private:
    POINT last_{0, 0};  // Mouse_isMoving: the position seen by the previous call
};

}  // namespace qm
