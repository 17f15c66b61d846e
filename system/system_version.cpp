// Which Windows the library runs on, and facts about its installation.
#include <windows.h>

#include <array>
#include <string>

#include "files/registry_key.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/wmi.h"
#include "runtime/wow64.h"
#include "system/system.h"

namespace qm {

namespace {

constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

OSVERSIONINFOA version_info() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&vi)) raise_win32();
#pragma GCC diagnostic pop
    return vi;
}

bool nt_family() { return version_info().dwPlatformId == VER_PLATFORM_WIN32_NT; }

// The twelve texts of an OSinfo record, in record order, and the properties of
// Win32_OperatingSystem they come from.
std::array<BSTR*, 12> fields_of(OSinfo& r) {
    return {&r.BootDevice, &r.BuildNumber,     &r.BuildType,   &r.Windowsversion, &r.CodeSet,        &r.WindowsDirectory,
            &r.SystemDirectory, &r.SystemDrive, &r.Status,     &r.SerialNumber,   &r.RegisteredUser, &r.Manufacturer};
}
constexpr const wchar_t* kOsProperties[12] = {
    L"BootDevice", L"BuildNumber", L"BuildType", L"Caption",      L"CodeSet",        L"WindowsDirectory",
    L"SystemDirectory", L"SystemDrive", L"Status", L"SerialNumber", L"RegisteredUser", L"Manufacturer"};

// A value of HKEY_LOCAL_MACHINE's CurrentVersion key as text, read as Registry.ValueGet
// reads it but from the 64-bit registry view, where the system keeps its own: a
// 32-bit process on 64-bit Windows would otherwise read the copy of its half.
std::wstring current_version_value(const wchar_t* field) {
    reg::Key key;
    if (!key.open(HKEY_LOCAL_MACHINE_, kCurrentVersion, KEY_READ | KEY_WOW64_64KEY)) return {};
    return CStr(*reg::value(key.get(), field).get());
}

}  // namespace

namespace sys {

OPERATINGSYSTEM winver_code(DWORD platform, DWORD major, DWORD minor) noexcept {
    switch (platform) {
    case VER_PLATFORM_WIN32_WINDOWS:
        if (major != 4) return osUNKNOWN;
        switch (minor) {
        case 0: return osWindows95;
        case 10: return osWindows98;
        case 90: return osWindowsMillenium;
        default: return osUNKNOWN;
        }
    case VER_PLATFORM_WIN32_NT:
        switch (major) {
        case 3: return osWindowsNT35x;
        case 4: return osWindowsNT40;
        case 5:
            switch (minor) {
            case 0: return osWindows2000;
            case 1: return osWindowsXP;
            case 2: return osWindows2003;
            default: return osUNKNOWN;
            }
        case 6:
            switch (minor) {
            case 0: return osWindowsVista;
            case 1: return osWindows7;
            default: return osUNKNOWN;
            }
        default: return osUNKNOWN;
        }
    default: return osUNKNOWN;
    }
}

std::wstring running_time_text(unsigned long long ms) {
    unsigned long long hours = ms / 3600000;
    unsigned minutes = static_cast<unsigned>(ms / 60000 % 60);
    unsigned seconds = static_cast<unsigned>(ms / 1000 % 60);
    unsigned tenths = static_cast<unsigned>(ms % 1000 / 100);
    wchar_t text[64];
    swprintf(text, 64, L"%llu:%02u:%02u:%u", hours, minutes, seconds, tenths);
    return text;
}

std::wstring product_id(HKEY root, const wchar_t* key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &k) != ERROR_SUCCESS) return {};
    std::wstring data;
    DWORD type = 0, size = 0;
    LSTATUS rc = RegQueryValueExW(k, L"ProductId", nullptr, &type, nullptr, &size);
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(k, L"ProductId", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got / sizeof(wchar_t));
            if (!data.empty() && data.back() == L'\0') data.pop_back();
            break;
        }
        size = got;
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? data : L"Not Registered";
}

}  // namespace sys

HRESULT System::Get_WinVer(OPERATINGSYSTEM* result) {
    if (!result) return E_POINTER;
    *result = osUNKNOWN;
    return untrapped([&] {
        OSVERSIONINFOA vi = version_info();
        *result = sys::winver_code(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion);
    });
}

HRESULT System::isWindowsNT(VARIANT_BOOL* result) {
    return untrapped(result, [] { return nt_family(); });
}

HRESULT System::is32BitWindows(VARIANT_BOOL* result) {
    return untrapped(result, [] { return nt_family(); });
}

HRESULT System::is64BitWindows(VARIANT_BOOL* result) {
    return untrapped(result, [] { return on_64bit_windows(); });
}

HRESULT System::XPstyleSupported(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        HMODULE theme = LoadLibraryW(L"uxtheme.dll");
        if (theme) FreeLibrary(theme);
        return theme != nullptr;
    });
}

HRESULT System::Get_ServicePack(BSTR* result) {
    return untrapped(result, [] { return Bstr(nt_family() ? current_version_value(L"CSDVersion") : L""); });
}

HRESULT System::Get_ProductID(BSTR* result) {
    return untrapped(result, [] { return Bstr(sys::product_id(HKEY_LOCAL_MACHINE, kCurrentVersion)); });
}

HRESULT System::Get_RegOwner(BSTR* User, BSTR* Organization) {
    if (!User || !Organization) return E_POINTER;
    return untrapped([&] {
        Bstr user(current_version_value(L"RegisteredOwner"));
        Bstr organization(current_version_value(L"RegisteredOrganization"));
        SysFreeString(*User);
        *User = user.detach();
        SysFreeString(*Organization);
        *Organization = organization.detach();
    });
}

HRESULT System::Get_OSinfo(LONG* ErrorNumber, OSinfo* result) {
    if (!result) return E_POINTER;
    *result = OSinfo{};
    auto fields = fields_of(*result);
    HRESULT hr = trapped(Trap{Source::System, L"Get_OSinfo", ErrorNumber}, [&] {
        auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
        std::wstring values[12];
        for (auto& os : wmi::instances_of(services.get(), L"win32_operatingsystem"))
            for (size_t i = 0; i < 12; ++i) values[i] = wmi::text(os.get(), kOsProperties[i]);
        Bstr texts[12];
        for (size_t i = 0; i < 12; ++i) texts[i] = Bstr(values[i]);
        for (size_t i = 0; i < 12; ++i) *fields[i] = texts[i].detach();
    });
    // Every field is a text: a failure leaves them all empty, not null.
    for (BSTR* f : fields)
        if (!*f) *f = SysAllocStringLen(nullptr, 0);
    return hr;
}

HRESULT System::Get_BootDevice(BSTR* result) {
    return untrapped(result, [this] {
        OSinfo info{};
        long error = 0;
        check(Get_OSinfo(&error, &info));
        Bstr texts[12];
        auto fields = fields_of(info);
        for (size_t i = 0; i < 12; ++i) texts[i] = Bstr::attach(*fields[i]);
        return error == 0 ? texts[0] : Bstr(L"");
    });
}

HRESULT System::Get_BootMode(BootModeConstants* result) {
    if (!result) return E_POINTER;
    int mode = GetSystemMetrics(SM_CLEANBOOT);
    *result = mode >= bmNormal && mode <= bmSafeModeNetwork ? static_cast<BootModeConstants>(mode) : bmUNKNOWN;
    return S_OK;
}

HRESULT System::WindowsIsRunning(DetailedTimeInfo* DTi, BSTR* result) {
    if (!DTi) return E_POINTER;
    return untrapped(result, [&] {
        unsigned long long ms = GetTickCount64();
        DTi->Stoptime = Time();
        // The running time to the second, as a Date: whole days plus the time of
        // day, so that it keeps counting past 24 hours.
        DTi->WindowsRunningTime = static_cast<double>(ms / 1000) / 86400.0;
        return Bstr(sys::running_time_text(ms));
    });
}

}  // namespace qm
