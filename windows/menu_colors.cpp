// Menu: background colours and item pictures.
#include <olectl.h>

#include <map>
#include <mutex>

#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/com_ptr.h"
#include "runtime/contract.h"
#include "windows/menu.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// One brush per colour for the life of the process: a menu keeps using the
// brush it was given, so none may be deleted while any menu might hold it.
HBRUSH brush_for(COLORREF color) {
    static std::mutex lock;
    static std::map<COLORREF, HBRUSH> brushes;
    std::lock_guard guard(lock);
    HBRUSH& brush = brushes[color];
    if (!brush) brush = CreateSolidBrush(color);
    if (!brush) raise_win32();
    return brush;
}

void set_background(HMENU menu, HBRUSH brush, bool submenus) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND | (submenus ? MIM_APPLYTOSUBMENUS : 0);
    info.hbrBack = brush;
    SetMenuInfo(menu, &info);
}

}  // namespace

HRESULT Menu::Set_MenuColor(MenuNFO* SetWhat, long hwnd, long Color, short* MenuIndex, VARIANT_BOOL* IncludeSubmenus,
                            long* result) {
    return trapped(Trap{Source::Menu, L"Set_MenuColor"}, result, ErrorNumberResult{}, [&] {
        HWND window = hwnd_of(hwnd);
        long rgb = 0;
        check(shared<_Grafic>()->Convert_OLEtoRBG(Color, &rgb));
        HBRUSH brush = brush_for(static_cast<COLORREF>(rgb));
        long what = arg_or<MenuNFO>(SetWhat, MenuNFO{});
        short index = arg_or<short>(MenuIndex, 0);
        if (what == mMENU && index == 0) what = mMENUBAR;
        switch (what) {
        case mMENUBAR:
            set_background(GetMenu(window), brush, false);
            break;
        case mMENU: {
            HMENU bar = GetMenu(window);
            // An index outside the menu bar changes nothing.
            if (index >= 1 && index <= GetMenuItemCount(bar))
                set_background(GetSubMenu(bar, index - 1), brush, flag_or(IncludeSubmenus, false));
            return 0L;
        }
        case mSYSMENU:
            set_background(GetSystemMenu(window, FALSE), brush, true);
            return 0L;
        default:
            break;
        }
        DrawMenuBar(window);
        return 0L;
    });
}

HRESULT Menu::AddPictureToMenu(long hwnd, BSTR MenuText, IPictureDisp** Picture, VARIANT_BOOL* Systemmenu,
                               VARIANT_BOOL* result) {
    return trapped(Trap{Source::Menu, L"AddPictureToMenu"}, result, false, [&] {
        MenuItemHit hit =
            find_menu_item(hwnd_of(hwnd), std::wstring(Bstr::view_of(MenuText)), flag_or(Systemmenu, false));
        if (!Picture || !*Picture) raise(err::ObjectNotSet);
        ComPtr<IPicture> picture;
        if (FAILED((*Picture)->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.put()))))
            raise(err::TypeMismatch);
        OLE_HANDLE handle = 0;
        check(picture->get_Handle(&handle));
        auto bitmap = reinterpret_cast<HBITMAP>(static_cast<ULONG_PTR>(handle));
        if (!hit.found) raise(err::InvalidCall);
        HMENU menu = reinterpret_cast<HMENU>(static_cast<LONG_PTR>(hit.info.mHwnd));
        if (!SetMenuItemBitmaps(menu, hit.info.Position, MF_BYPOSITION, bitmap, bitmap)) raise_win32();
        return true;
    });
}

}  // namespace qm
