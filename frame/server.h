// The in-process server: class factories, self-registration and unloading.
#pragma once
#include <windows.h>

namespace qm::server {

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** out) noexcept;
HRESULT can_unload_now() noexcept;
HRESULT register_server() noexcept;
HRESULT unregister_server() noexcept;

}  // namespace qm::server
