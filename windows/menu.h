// Menu: menus.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Menu : public Dispatch<_Menu> {
public:
    HRESULT STDMETHODCALLTYPE Get_MenuHwnd(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_SystemMenuHwnd(long hwnd, long* result) override;
};

}  // namespace qm
