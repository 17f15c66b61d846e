// 64-bit Windows keeps two halves of the machine: a 32-bit process sees the
// 32-bit half of the registry (Wow6432Node) and of the system folder (SysWOW64)
// unless it asks for the other. Members that report what the machine holds ask
// for both.
#pragma once
#include <windows.h>

#include <string>

namespace qm {

// True for a 64-bit process and for a 32-bit one under WoW64.
bool on_64bit_windows() noexcept;

// The registry views that make up the machine's part of the registry: the 64-bit
// and the 32-bit one on 64-bit Windows (a process's own first), the one view elsewhere.
struct RegistryViews {
    REGSAM view[2];
    int count;
    const REGSAM* begin() const { return view; }
    const REGSAM* end() const { return view + count; }
};
RegistryViews machine_views() noexcept;

// A key of the other half's machine classes, HKLM\Software\Classes\<path> in the
// other registry view; null where there is no other half or no such key. The
// process's own classes are the classes root as it is: opened with a view flag,
// the classes root makes Wine keep a new handle of the root for good at every
// open, where the machine's key with a view flag keeps nothing.
HKEY open_other_half_classes(const std::wstring& path, REGSAM access);

}  // namespace qm
