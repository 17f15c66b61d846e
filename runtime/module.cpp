#include "runtime/module.h"

#include <vector>

namespace qm {

namespace {
LONG g_objects = 0;
LONG g_locks = 0;
}  // namespace

HMODULE module_handle() noexcept {
    static HMODULE handle = [] {
        HMODULE h = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&module_handle), &h);
        return h;
    }();
    return handle;
}

std::wstring module_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module_handle(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

ModuleVersion module_version() {
    ModuleVersion v;
    HRSRC res = FindResourceW(module_handle(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (!res) return v;
    HGLOBAL data = LoadResource(module_handle(), res);
    const void* block = data ? LockResource(data) : nullptr;
    if (!block) return v;
    // VerQueryValue wants a writable copy of the block.
    std::vector<BYTE> copy(static_cast<const BYTE*>(block), static_cast<const BYTE*>(block) + SizeofResource(module_handle(), res));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&info), &len) && info) {
        v.major = HIWORD(info->dwFileVersionMS);
        v.minor = LOWORD(info->dwFileVersionMS);
        v.revision = LOWORD(info->dwFileVersionLS);
    }
    return v;
}

void object_created() noexcept { InterlockedIncrement(&g_objects); }
void object_destroyed() noexcept { InterlockedDecrement(&g_objects); }
long live_objects() noexcept { return InterlockedCompareExchange(&g_objects, 0, 0); }
void lock_module(bool lock) noexcept { lock ? InterlockedIncrement(&g_locks) : InterlockedDecrement(&g_locks); }
long module_locks() noexcept { return InterlockedCompareExchange(&g_locks, 0, 0); }

}  // namespace qm
