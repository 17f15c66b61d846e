// Menu: counting, finding, clicking and removing menu items.
#include <string>

#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "windows/menu.h"
#include "windows/window_common.h"

namespace qm {

namespace {

long menu_long(HMENU menu) noexcept { return static_cast<long>(reinterpret_cast<LONG_PTR>(menu)); }
HMENU menu_of(long handle) noexcept { return reinterpret_cast<HMENU>(static_cast<LONG_PTR>(handle)); }

// The item's text as the menu holds it, ampersands and tab part included.
std::wstring item_text(HMENU menu, int position) {
    int length = GetMenuStringW(menu, position, nullptr, 0, MF_BYPOSITION);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetMenuStringW(menu, position, text.data(), length + 1, MF_BYPOSITION);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

// Depth first: an item of a submenu comes before the items that follow the submenu.
bool search_level(HMENU menu, const std::wstring& caption, MenuItemHit& hit, int depth) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(menu, i);
        if (id != static_cast<UINT>(-1) && item_text(menu, i) == caption) {
            hit.info = MNUINFO{static_cast<long>(id), menu_long(menu), i};
            hit.found = true;
            return true;
        }
        // A menu that contains itself must not loop for ever.
        if (HMENU sub = GetSubMenu(menu, i); sub && depth < 64 && search_level(sub, caption, hit, depth + 1))
            return true;
    }
    return false;
}

// Only to a window: a null handle would post to the caller's own thread queue, and
// -1 or 0xFFFF would send the command to every top-level window of the desktop.
bool post_command(long hwnd, UINT id) {
    const HWND window = hwnd_of(hwnd);
    return IsWindow(window) && PostMessageW(window, WM_COMMAND, id, 0) != FALSE;
}

}  // namespace

MenuItemHit find_menu_item(HWND window, const std::wstring& caption, bool system_menu) {
    MenuItemHit hit;
    HMENU start = system_menu ? GetSystemMenu(window, FALSE) : GetMenu(window);
    if (start) search_level(start, caption, hit, 0);
    return hit;
}

HRESULT Menu::Get_MenuItemCount(long hwnd, long* result) {
    return untrapped(result, [&] { return static_cast<long>(GetMenuItemCount(GetMenu(hwnd_of(hwnd)))); });
}

HRESULT Menu::Find_MenuItemByCaption(long hwnd, BSTR MenuItemText, VARIANT_BOOL* Systemmenu, MNUINFO* result) {
    if (!result) return E_POINTER;
    *result = MNUINFO{};
    return untrapped([&] {
        *result = find_menu_item(hwnd_of(hwnd), std::wstring(Bstr::view_of(MenuItemText)), flag_or(Systemmenu, false))
                      .info;
    });
}

HRESULT Menu::Click_MenuItemByID(long hwnd, long mID, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return post_command(hwnd, static_cast<UINT>(mID)); });
}

HRESULT Menu::Click_MenuItemBymHwnd(long hwnd, long mHwnd, long POS, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        // A submenu, a position past the end or no menu: nothing to click.
        UINT id = GetMenuItemID(menu_of(mHwnd), POS);
        return id != static_cast<UINT>(-1) && post_command(hwnd, id);
    });
}

HRESULT Menu::Click_MenuItemByCaption(long hwnd, BSTR Caption, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        MenuItemHit hit = find_menu_item(hwnd_of(hwnd), std::wstring(Bstr::view_of(Caption)), false);
        return hit.found && post_command(hwnd, static_cast<UINT>(hit.info.mID));
    });
}

HRESULT Menu::Remove_MenuByCaption(long hwnd, BSTR Caption, VARIANT_BOOL* Systemmenu, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        MenuItemHit hit =
            find_menu_item(hwnd_of(hwnd), std::wstring(Bstr::view_of(Caption)), flag_or(Systemmenu, false));
        return hit.found && RemoveMenu(menu_of(hit.info.mHwnd), hit.info.Position, MF_BYPOSITION) != FALSE;
    });
}

}  // namespace qm
