// Deleting the lists of recently used entries, the memory figures and the
// colour depth of the screen.
#include <windows.h>

#include <cmath>

#include "runtime/contract.h"
#include "system/system.h"

namespace qm {

namespace {

// The HKEY_CURRENT_USER key each REGISTRYCLEANINFO value deletes.
const wchar_t* mru_key(long clean) noexcept {
    switch (clean) {
    case rcRUNMENU: return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
    case rcTYPEDURLS: return L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
    case rcRECENTDOCS: return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
    default: return nullptr;
    }
}

MEMORYSTATUSEX memory_status() {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    GlobalMemoryStatusEx(&ms);
    // Figures that contradict each other are brought in line: Wine's 32-bit half
    // cuts the total to what 32 bits count but not the free memory, and its load
    // then comes out as a wrapped-around number.
    if (ms.ullAvailPhys > ms.ullTotalPhys) ms.ullAvailPhys = ms.ullTotalPhys;
    if (ms.dwMemoryLoad > 100)
        ms.dwMemoryLoad =
            ms.ullTotalPhys ? static_cast<DWORD>((ms.ullTotalPhys - ms.ullAvailPhys) * 100 / ms.ullTotalPhys) : 0;
    if (ms.ullAvailVirtual > ms.ullTotalVirtual) ms.ullAvailVirtual = ms.ullTotalVirtual;
    return ms;
}

}  // namespace

namespace sys {

long memory_figure(unsigned long long bytes) noexcept {
    return static_cast<long>(std::nearbyint(static_cast<double>(bytes) / 1024.0 / 1000.0));
}

}  // namespace sys

HRESULT System::RegistryCleanUp(REGISTRYCLEANINFO* Clean, VARIANT_BOOL* CleanAll) {
    long clean = Clean ? *Clean : 0;
    bool all = CleanAll && *CleanAll;
    // A key that still has sub-keys is not deleted, and nothing is reported.
    if (all) {
        for (long v = rcRUNMENU; v <= rcRECENTDOCS; ++v) RegDeleteKeyW(HKEY_CURRENT_USER, mru_key(v));
    } else if (const wchar_t* key = mru_key(clean)) {
        RegDeleteKeyW(HKEY_CURRENT_USER, key);
    }
    return S_OK;
}

HRESULT System::Get_PhysicalMemoryStatus(LONG* TotalPhysicalMemory, LONG* AvailablePhysicalMemory,
                                         VARIANT* result) {
    if (!TotalPhysicalMemory || !AvailablePhysicalMemory || !result) return E_POINTER;
    VariantInit(result);
    MEMORYSTATUSEX ms = memory_status();
    *TotalPhysicalMemory = sys::memory_figure(ms.ullTotalPhys);
    *AvailablePhysicalMemory = sys::memory_figure(ms.ullAvailPhys);
    return S_OK;
}

HRESULT System::Get_VirtualMemoryStatus(LONG* TotalVirtualMemory, LONG* AvailableVirtualMemory, VARIANT* result) {
    if (!TotalVirtualMemory || !AvailableVirtualMemory || !result) return E_POINTER;
    VariantInit(result);
    MEMORYSTATUSEX ms = memory_status();
    *TotalVirtualMemory = sys::memory_figure(ms.ullTotalVirtual);
    *AvailableVirtualMemory = sys::memory_figure(ms.ullAvailVirtual);
    return S_OK;
}

HRESULT System::Get_MemoryLoad(LONG* result) {
    if (!result) return E_POINTER;
    *result = static_cast<LONG>(memory_status().dwMemoryLoad);
    return S_OK;
}

HRESULT System::Get_SystemColor(VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    return untrapped([&] {
        HDC dc = GetDC(nullptr);
        if (!dc) raise_win32();
        int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
        result->vt = VT_R8;
        result->dblVal = std::ldexp(1.0, bits);
    });
}

}  // namespace qm
