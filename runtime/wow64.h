// 64-bit Windows keeps two halves of the machine: a 32-bit process sees the
// 32-bit half of the registry (Wow6432Node) and of the system folder (SysWOW64)
// unless it asks for the other. Members that report what the machine holds ask
// for both.
#pragma once
#include <windows.h>

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

}  // namespace qm
