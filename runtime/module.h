// Facts about the module that holds the library's code, and its object count.
#pragma once
#include <windows.h>
#include <string>

namespace qm {

// The DLL (or, in white-box tests, the executable) that this code is linked into.
HMODULE module_handle() noexcept;
std::wstring module_path();

struct ModuleVersion {
    unsigned major = 0, minor = 0, revision = 0;
};
// The version of the module's VERSIONINFO resource.
ModuleVersion module_version();

// Live automation objects and server locks, for DllCanUnloadNow.
void object_created() noexcept;
void object_destroyed() noexcept;
long live_objects() noexcept;
void lock_module(bool lock) noexcept;
long module_locks() noexcept;

}  // namespace qm
