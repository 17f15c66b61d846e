// Hardware: hardware information.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"
#include "system/hardware_info.h"

namespace qm {

class Hardware : public Dispatch<_Hardware> {
public:
    // Printers
    HRESULT STDMETHODCALLTYPE Printer_SetCommand(PRINTERCOMMAND Command, long* ErrorNumber,
                                                 VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Printer_Default(PRINTERINFO* result) override;
    HRESULT STDMETHODCALLTYPE Printer_List(long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Printer_Select(BSTR PrinterName, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Printer_DeleteDocsFromQueue(BSTR PrinterName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Printer_isAvaible(VARIANT_BOOL* result) override;
    // Serial ports
    HRESULT STDMETHODCALLTYPE COMport_Exist(long Port, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE COMport_ConfigureDialog(long Port, long* hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE COMport_GetInstalledCOMPorts(SAFEARRAY** result) override;
    // Keyboard
    HRESULT STDMETHODCALLTYPE Keyboard_CAPSisEnabled(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_NUMisEnabled(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_GetPressedKey(long* result) override;
    HRESULT STDMETHODCALLTYPE Keyboard_KeyIsPressed(VARIANT Key, VARIANT_BOOL* result) override;
    // Processor
    HRESULT STDMETHODCALLTYPE CPU_Speed(long* result) override;
    HRESULT STDMETHODCALLTYPE CPU_Info(long Index, CPUINFO* result) override;
    HRESULT STDMETHODCALLTYPE CPU_Load(long* result) override;
    HRESULT STDMETHODCALLTYPE CPU_Count(long* ErrorNumber, long* result) override;
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
    // Printer dialogs
    HRESULT STDMETHODCALLTYPE Printer_ShowPageSetup(long hwnd) override;
    HRESULT STDMETHODCALLTYPE Printer_ShowPrinterDialog(long hwnd) override;
    // Speaker and sound card
    HRESULT STDMETHODCALLTYPE Soundcard_Installed(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PCspeaker(SPEAKERINFO* Info, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Monitor_StandBy(MonitorCommand* Command) override;
    // Mainboard, video adapter, printer capabilities and disk temperature
    HRESULT STDMETHODCALLTYPE Mainboard_GetInfo(long* ErrorNumber, MainboardInfo* result) override;
    HRESULT STDMETHODCALLTYPE VideoAdapter_GetInfo(long* ErrorNumber, VideoAdapterInfo* result) override;
    HRESULT STDMETHODCALLTYPE Printer_GetInfo(PRINTEREXINFO* result) override;
    HRESULT STDMETHODCALLTYPE HD_GetTemperature(long DriveIndex, long* ErrorNumber, BSTR* result) override;
    // Mouse buttons
    HRESULT STDMETHODCALLTYPE Mouse_SwapButton(VARIANT_BOOL SwapButton) override;

    ~Hardware() override;

private:
    POINT last_{0, 0};  // Mouse_isMoving: the position seen by the previous call

    // CPU_Load: the performance query of this instance (kept open while it
    // lives) and the moving average of its samples.
    bool load_started_ = false;
    bool nt_ = false;
    HANDLE load_query_ = nullptr;
    HANDLE load_counter_ = nullptr;
    bool stat_started_ = false;  // the dynamic statistics are started (9x)
    LoadAverage load_;
};

namespace hw {

// Whether serial port n exists: its device opens. Tests put a probe of their own
// here (under Wine the ports are the host's devices, never to be opened by them).
using PortProbe = bool (*)(long port);
PortProbe& port_probe() noexcept;

}  // namespace hw

}  // namespace qm
