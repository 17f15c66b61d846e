// Hardware: the installed printers, the library's current printer, the spooler's
// queue commands and the page-setup dialog.
#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/module.h"
#include "runtime/printer.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "system/hardware.h"
#include "windows/window_common.h"

// The records' field names, not the device-capability macros.
#undef DRIVERVERSION
#undef TECHNOLOGY

namespace qm {

namespace {

// Device-capability indexes whose macros share the records' field names.
constexpr int kDriverVersion = 0;
constexpr int kTechnology = 2;

BSTR alloc(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

// Sends a control command (pause, resume, purge) to a whole queue; false when the
// printer cannot be opened or the spooler refuses the command.
bool queue_command(const std::wstring& printer, DWORD command) {
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, &access) || !handle) return false;
    const bool done = SetPrinterW(handle, 0, nullptr, command) != FALSE;
    ClosePrinter(handle);
    return done;
}

}  // namespace

std::wstring technology_text(long technology) {
    static const wchar_t* const kTexts[] = {
        L"TECHNOLOGY=PLOTTER",    L"TECHNOLOGY=RASDISPLAY", L"TECHNOLOGY=RASPRINTER", L"TECHNOLOGY=RASCAMERA",
        L"TECHNOLOGY=CHARSTREAM", L"TECHNOLOGY=METAFILE",   L"TECHNOLOGY=DISPFILE",
    };
    return technology >= 0 && technology <= 6 ? kTexts[technology] : L"";
}

DeviceEntry split_device_entry(std::wstring_view entry) {
    DeviceEntry parts;
    const size_t first = entry.find(L',');
    parts.name = entry.substr(0, first);
    if (first == std::wstring_view::npos) return parts;
    const size_t second = entry.find(L',', first + 1);
    parts.spooler = entry.substr(first + 1, second == std::wstring_view::npos ? std::wstring_view::npos
                                                                               : second - first - 1);
    if (second != std::wstring_view::npos) parts.port = entry.substr(second + 1);
    return parts;
}

HRESULT Hardware::Printer_SetCommand(PRINTERCOMMAND Command, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Printer_SetCommand", ErrorNumber}, result, false, [&] {
        return queue_command(Printer::current().DeviceName(), static_cast<DWORD>(Command));
    });
}

HRESULT Hardware::Printer_Default(PRINTERINFO* result) {
    if (!result) return E_POINTER;
    *result = PRINTERINFO{};
    return untrapped([&] {
        std::vector<wchar_t> buffer(8192);
        const DWORD n = GetProfileStringW(L"windows", L"Device", L"", buffer.data(), 8192);
        const DeviceEntry parts = split_device_entry(std::wstring_view(buffer.data(), n));
        result->Name = alloc(parts.name);
        result->SPOOLER = alloc(parts.spooler);
        result->INTERFACE = alloc(parts.port);
    });
}

HRESULT Hardware::Printer_List(long* ErrorNumber, SAFEARRAY** result) {
    const HRESULT hr = trapped(Trap{Source::Hardware, L"Printer_List", ErrorNumber}, result,
                               static_cast<SAFEARRAY*>(nullptr), [] {
                                   const std::vector<PrinterEntry> printers = Printers();
                                   if (printers.empty()) raise(err::SubscriptOutOfRange);
                                   SafeArray names(VT_BSTR, static_cast<long>(printers.size()));
                                   for (size_t i = 0; i < printers.size(); ++i)
                                       names.set_text(static_cast<long>(i), printers[i].DeviceName);
                                   return names.detach();
                               });
    if (hr == S_OK && !*result) *result = SafeArray(VT_BSTR, 0).detach();
    return hr;
}

HRESULT Hardware::Printer_Select(BSTR PrinterName, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Printer_Select", ErrorNumber}, result, false, [&] {
        const std::wstring wanted = LCase(text_of(PrinterName));
        for (const PrinterEntry& printer : Printers()) {
            if (LCase(printer.DeviceName) != wanted) continue;
            Printer::current().select(printer.DeviceName);
            return true;
        }
        return false;
    });
}

// True only when the spooler purged the queue.
HRESULT Hardware::Printer_DeleteDocsFromQueue(BSTR PrinterName, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring name(text_of(PrinterName));
        if (name.empty()) name = Printer::current().DeviceName();
        return queue_command(name, PRINTER_CONTROL_PURGE);
    });
}

HRESULT Hardware::Printer_isAvaible(VARIANT_BOOL* result) {
    return untrapped(result, [] { return !Printers().empty(); });
}

HRESULT Hardware::Printer_ShowPageSetup(long hwnd) {
    return trapped(Trap{Source::Hardware, L"Printer_ShowPageSetup"}, [&] {
        PAGESETUPDLGW setup{};
        setup.lStructSize = sizeof setup;
        setup.hwndOwner = hwnd_of(hwnd);
        setup.hInstance = module_handle();
        PageSetupDlgW(&setup);
        if (setup.hDevMode) GlobalFree(setup.hDevMode);
        if (setup.hDevNames) GlobalFree(setup.hDevNames);
    });
}

// The print dialog through the common-dialog front-end of Controls; the choice
// is not used.
HRESULT Hardware::Printer_ShowPrinterDialog(long hwnd) {
    return untrapped([&] {
        COMMONDIALOGINFO info{};
        info.hwnd = hwnd;
        info.Flags = cdSHOWPRINTER;
        Bstr answer;
        const HRESULT hr = shared<_Controls>()->CommonDialog(&info, answer.put());
        SysFreeString(info.Filter);
        check(hr);
    });
}

HRESULT Hardware::Printer_GetInfo(PRINTEREXINFO* result) {
    if (!result) return E_POINTER;
    *result = PRINTEREXINFO{};
    return untrapped([&] {
        Printer& printer = Printer::current();
        HDC dc = printer.hDC();
        const std::wstring name = printer.DeviceName();
        auto caps = [dc](int index) { return std::to_wstring(GetDeviceCaps(dc, index)); };
        const std::wstring values[] = {name,          caps(kDriverVersion), technology_text(GetDeviceCaps(dc, kTechnology)),
                                       caps(HORZSIZE), caps(VERTSIZE),     caps(HORZRES),
                                       caps(VERTRES),  caps(LOGPIXELSX),   caps(LOGPIXELSY),
                                       caps(NUMBRUSHES), caps(NUMPENS),    caps(NUMCOLORS)};
        BSTR* fields[] = {&result->Name,     &result->DRIVERVERSION,   &result->TECHNOLOGY,      &result->Width_in_mm,
                          &result->Height_in_mm, &result->Width_in_Pixel, &result->Height_in_Pixel, &result->DPI_in_X,
                          &result->DPI_in_Y, &result->Brushes,         &result->Pens,            &result->Colors};
        for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = alloc(values[i]);
    });
}

}  // namespace qm
