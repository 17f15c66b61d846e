// The library's 27 public classes: registration data and creation.
#pragma once
#include <windows.h>
#include <span>

namespace qm {

struct ClassEntry {
    const wchar_t* name;  // programmatic identifier is "Quillmark." + name
    const CLSID* clsid;
    const IID* iid;       // the class's default interface
    bool shared;          // the library keeps a shared instance of it
    HRESULT (*create)(REFIID riid, void** out);
};

// In registration order.
std::span<const ClassEntry> classes() noexcept;
const ClassEntry* find_class(REFCLSID clsid) noexcept;
const ClassEntry* find_class_by_interface(REFIID iid) noexcept;

}  // namespace qm
