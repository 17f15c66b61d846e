#include "runtime/wow64.h"

namespace qm {

bool on_64bit_windows() noexcept {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

RegistryViews machine_views() noexcept {
    if (!on_64bit_windows()) return {{0, 0}, 1};
#ifdef _WIN64
    return {{KEY_WOW64_64KEY, KEY_WOW64_32KEY}, 2};
#else
    return {{KEY_WOW64_32KEY, KEY_WOW64_64KEY}, 2};
#endif
}

HKEY open_other_half_classes(const std::wstring& path, REGSAM access) {
    const RegistryViews views = machine_views();
    if (views.count < 2) return nullptr;
    const std::wstring key = path.empty() ? L"Software\\Classes" : L"Software\\Classes\\" + path;
    HKEY h = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access | views.view[1], &h) == ERROR_SUCCESS ? h : nullptr;
}

}  // namespace qm
