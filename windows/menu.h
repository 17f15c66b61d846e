// Menu: menus.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Menu : public Dispatch<_Menu> {
public:
    HRESULT STDMETHODCALLTYPE Get_MenuHwnd(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_SystemMenuHwnd(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_MenuItemCount(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Find_MenuItemByCaption(long hwnd, BSTR MenuItemText, VARIANT_BOOL* Systemmenu,
                                                     MNUINFO* result) override;
    HRESULT STDMETHODCALLTYPE Click_MenuItemByID(long hwnd, long mID, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Click_MenuItemBymHwnd(long hwnd, long mHwnd, long POS, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Click_MenuItemByCaption(long hwnd, BSTR Caption, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Remove_MenuByCaption(long hwnd, BSTR Caption, VARIANT_BOOL* Systemmenu,
                                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Set_MenuColor(MenuNFO* SetWhat, long hwnd, long Color, short* MenuIndex,
                                            VARIANT_BOOL* IncludeSubmenus, long* result) override;
    HRESULT STDMETHODCALLTYPE AddPictureToMenu(long hwnd, BSTR MenuText, IPictureDisp** Picture,
                                               VARIANT_BOOL* Systemmenu, VARIANT_BOOL* result) override;
};

// The caption search, for the form members that strip system-menu items: the
// first item (pre-order over the submenus) whose text equals caption exactly.
// found is false (and the record all 0) when there is none.
struct MenuItemHit {
    MNUINFO info{};
    bool found = false;
};
MenuItemHit find_menu_item(HWND window, const std::wstring& caption, bool system_menu);

}  // namespace qm
