// Hardware: serial ports, joystick, monitor, speaker and sound card.
#include <windows.h>
#include <mmsystem.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "system/hardware.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// Whether the port's device opens for reading without sharing; closed at once.
bool open_port(long port) {
    if (port < 1) return false;
    const std::wstring device = L"\\\\.\\COM" + std::to_wstring(port);
    HANDLE file = CreateFileW(device.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The port dialog of the spooler, loaded on first use.
using ConfigurePortFn = decltype(&ConfigurePortW);
ConfigurePortFn configure_port() {
    static const ConfigurePortFn fn = [] {
        HMODULE spooler = LoadLibraryW(L"winspool.drv");
        return spooler ? reinterpret_cast<ConfigurePortFn>(
                             reinterpret_cast<void*>(GetProcAddress(spooler, "ConfigurePortW")))
                       : nullptr;
    }();
    return fn;
}

long joystick_count() noexcept {
    const long last = static_cast<long>(joyGetNumDevs()) + 1;
    long count = 0;
    for (long id = last; id >= 0; --id) {
        JOYINFO position{};
        if (joyGetPos(static_cast<UINT>(id), &position) == JOYERR_NOERROR) ++count;
    }
    return count;
}

bool port_exists(long port) { return hw::port_probe()(port); }

constexpr wchar_t kSoundKey[] = L"Control Panel\\Sound";
constexpr wchar_t kExtendedSounds[] = L"ExtendedSounds";

}  // namespace

hw::PortProbe& hw::port_probe() noexcept {
    static PortProbe probe = open_port;
    return probe;
}

HRESULT Hardware::COMport_Exist(long Port, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return port_exists(Port); });
}

// Opens the port's configuration dialog when the port exists; 0 or the error number.
HRESULT Hardware::COMport_ConfigureDialog(long Port, long* hwnd, long* result) {
    return trapped(Trap{Source::Hardware, L"COMport_ConfigureDialog"}, result, ErrorNumberResult{}, [&] {
        if (!port_exists(Port)) return 0L;
        ConfigurePortFn fn = configure_port();
        if (!fn) raise_win32();
        std::wstring name = L"COM" + std::to_wstring(Port) + L":";
        fn(nullptr, hwnd_of(arg_or<long>(hwnd, 0)), name.data());
        return 0L;
    });
}

// The numbers of the ports 1 to 16 that exist, as texts, ascending.
HRESULT Hardware::COMport_GetInstalledCOMPorts(SAFEARRAY** result) {
    return untrapped(result, [] {
        std::vector<long> ports;
        for (long port = 1; port <= 16; ++port)
            if (port_exists(port)) ports.push_back(port);
        SafeArray list(VT_BSTR, static_cast<long>(ports.size()));
        for (size_t i = 0; i < ports.size(); ++i) list.set_text(static_cast<long>(i), std::to_wstring(ports[i]));
        return list.detach();
    });
}

HRESULT Hardware::Joystick_isPresent(VARIANT_BOOL* result) {
    return untrapped(result, [] { return joystick_count() >= 1; });
}

HRESULT Hardware::Joystick_Count(long* result) {
    return untrapped(result, [] { return joystick_count(); });
}

// The joystick's buttons and axis ranges and its position; zeros when it cannot be read.
HRESULT Hardware::Joystick_GetInfo(VARIANT Index, JOYSTICKINFO* result) {
    if (!result) return E_POINTER;
    *result = JOYSTICKINFO{};
    return untrapped([&] {
        const UINT id = static_cast<UINT>(CLng(Index));
        JOYCAPSA caps{};
        JOYINFO position{};
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) return;
        if (joyGetPos(id, &position) != JOYERR_NOERROR) return;
        auto lng = [](UINT v) { return static_cast<long>(v); };
        *result = JOYSTICKINFO{lng(caps.wNumButtons), lng(position.wButtons), lng(caps.wXmax), lng(caps.wYmax),
                               lng(caps.wZmax),       lng(caps.wXmin),        lng(caps.wYmin), lng(caps.wZmin),
                               lng(position.wXpos),   lng(position.wYpos),    lng(position.wZpos)};
    });
}

// The monitor's power request: -1 switches it on, 2 off; other commands send 0.
HRESULT Hardware::Monitor_PowerDown(long hwnd, MonitorCommand* Command) {
    return untrapped([&] {
        const long command = Command ? static_cast<long>(*Command) : -1;
        const LPARAM power = command == mcActivate ? -1 : command == mcDeactivate ? 2 : 0;
        send_bounded(hwnd_of(hwnd), WM_SYSCOMMAND, SC_MONITORPOWER, power);
    });
}

// A wave-out or MIDI-out device counts; the MIDI count is taken as 16 bits.
HRESULT Hardware::Soundcard_Installed(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        const long devices = static_cast<long>(waveOutGetNumDevs()) + static_cast<WORD>(midiOutGetNumDevs());
        return devices >= 1;
    });
}

// The extended sounds of the sound scheme: queried, switched on or off.
HRESULT Hardware::PCspeaker(SPEAKERINFO* Info, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const long info = Info ? static_cast<long>(*Info) : -1;
        _Registry* registry = shared<_Registry>();
        Bstr key(kSoundKey), field(kExtendedSounds);
        if (info == spISENABLED) {
            Variant value;
            Bstr data;
            check(registry->ValueGet(HKEY_CURRENT_USER_, key.get(), field.get(), data.put(), value.put()));
            const std::wstring text = LCase(CStr(*value.get()));
            return Val(text) > 0 || text == L"yes" || text == L"ja" || text == L"true";
        }
        if (info != spENABLE && info != spDISABLE) return false;
        const Variant setting(info == spENABLE ? L"Yes" : L"No");
        VARIANT_BOOL written = VARIANT_FALSE;
        check(registry->ValueSet(HKEY_CURRENT_USER_, key.get(), field.get(), *setting.get(), &written));
        return written != VARIANT_FALSE;
    });
}

// Holds off the monitor's stand-by (mcDeactivate) or releases the hold (mcActivate).
HRESULT Hardware::Monitor_StandBy(MonitorCommand* Command) {
    return untrapped([&] {
        const long command = Command ? static_cast<long>(*Command) : -1;
        if (command == mcDeactivate)
            SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
        else if (command == mcActivate)
            SetThreadExecutionState(ES_CONTINUOUS);
    });
}

}  // namespace qm
