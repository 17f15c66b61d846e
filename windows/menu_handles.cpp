// Menu: the handles of a window's menu bar and system menu.
#include "runtime/contract.h"
#include "windows/menu.h"
#include "windows/window_common.h"

namespace qm {

namespace {
long menu_long(HMENU menu) noexcept { return static_cast<long>(reinterpret_cast<LONG_PTR>(menu)); }
}  // namespace

HRESULT Menu::Get_MenuHwnd(long hwnd, long* result) {
    return untrapped(result, [&] { return menu_long(GetMenu(hwnd_of(hwnd))); });
}

HRESULT Menu::Get_SystemMenuHwnd(long hwnd, long* result) {
    return untrapped(result, [&] { return menu_long(GetSystemMenu(hwnd_of(hwnd), FALSE)); });
}

}  // namespace qm
