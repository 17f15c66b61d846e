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

}  // namespace qm
