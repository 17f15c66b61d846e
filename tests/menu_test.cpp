// The Menu class on the test's own windows: a plain window with a menu bar and
// nested submenus, and its system menu (German captions under this locale).
#include <gtest/gtest.h>

#include <olectl.h>

#include <map>
#include <string>

#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

long L(HANDLE h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

std::map<UINT, int>* commands = nullptr;

LRESULT CALLBACK menu_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && commands) ++(*commands)[LOWORD(wp)];
    return DefWindowProcW(hwnd, msg, wp, lp);
}

COLORREF brush_color(HBRUSH brush) {
    LOGBRUSH lb{};
    if (!brush || !GetObjectW(brush, sizeof lb, &lb)) return CLR_INVALID;
    return lb.lbColor;
}

HBRUSH background(HMENU menu) {
    MENUINFO mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIM_BACKGROUND;
    GetMenuInfo(menu, &mi);
    return mi.hbrBack;
}

class MenuTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = menu_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmMenuTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"QmMenuTest", L"QM menus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 200,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(window);
        // &Datei > &Neu, separator, Sub > (&Tief<tab>Strg+T, &Öffnen), &Ende;  &Öffnen;  &Extras > &Farbe
        bar = CreateMenu();
        file = CreatePopupMenu();
        deeper = CreatePopupMenu();
        extras = CreatePopupMenu();
        AppendMenuW(deeper, MF_STRING, 111, L"&Tief\tStrg+T");
        AppendMenuW(deeper, MF_STRING, 112, L"&Öffnen");
        AppendMenuW(file, MF_STRING, 101, L"&Neu");
        AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(deeper), L"Sub");
        AppendMenuW(file, MF_STRING, 103, L"&Ende");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Datei");
        AppendMenuW(bar, MF_STRING, 200, L"&Öffnen");
        AppendMenuW(extras, MF_STRING, 301, L"&Farbe");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(extras), L"&Extras");
        SetMenu(window, bar);
        pump_messages();
        disp = create(L"Quillmark.Menu");
        ASSERT_TRUE(disp);
        menu = disp.query<_Menu>();
        commands = &seen;
    }
    void TearDown() override {
        commands = nullptr;
        if (window) DestroyWindow(window);
        pump_messages();
    }
    MNUINFO find(const wchar_t* caption, bool system_menu = false) {
        MNUINFO info{-1, -1, -1};
        VARIANT_BOOL sys = system_menu ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(menu->Find_MenuItemByCaption(L(window), Bstr(caption).get(), &sys, &info), S_OK);
        return info;
    }
    long color(MenuNFO what, long c, short* index = nullptr, bool submenus = false) {
        long r = -1;
        VARIANT_BOOL sub = submenus ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(menu->Set_MenuColor(&what, L(window), c, index, &sub, &r), S_OK);
        return r;
    }
    HWND window = nullptr;
    HMENU bar = nullptr, file = nullptr, deeper = nullptr, extras = nullptr;
    ComPtr<IDispatch> disp;
    ComPtr<_Menu> menu;
    qmtest::ErrorLog errors;
    std::map<UINT, int> seen;
};

TEST_F(MenuTest, SystemMenuCarriesTheGermanCaptions) {
    HMENU sys = GetSystemMenu(window, FALSE);
    ASSERT_TRUE(sys);
    auto text = [&](UINT id) {
        wchar_t buf[64]{};
        GetMenuStringW(sys, id, buf, 64, MF_BYCOMMAND);
        return std::wstring(buf);
    };
    EXPECT_EQ(text(SC_CLOSE), L"&Schließen\tAlt+F4");
    EXPECT_EQ(text(SC_MINIMIZE), L"Mi&nimieren");
    EXPECT_EQ(text(SC_MAXIMIZE), L"Ma&ximieren");
    EXPECT_EQ(text(SC_MOVE), L"&Verschieben");
}

TEST_F(MenuTest, CaptionSearchWalksTheTreeInPreOrder) {
    long count = 0;
    ASSERT_EQ(menu->Get_MenuItemCount(L(window), &count), S_OK);
    EXPECT_EQ(count, 3);

    struct Case {
        const wchar_t* caption;
        HMENU menu;
        long position, id;
    } cases[] = {
        {L"&Tief\tStrg+T", deeper, 0, 111},  // only a submenu item carries it
        {L"&Öffnen", deeper, 1, 112},        // the submenu's item comes before the later top-level one
        {L"&Farbe", extras, 0, 301},
        {L"&Ende", file, 3, 103},
        {L"", file, 1, 0},                  // the first separator
        {L"&tief\tStrg+T", nullptr, 0, 0},  // letter case counts
        {L"&Tief", nullptr, 0, 0},          // so does the tab part
        {L"&Datei", nullptr, 0, 0},         // a submenu's own item is no command
    };
    for (const Case& c : cases) {
        MNUINFO info = find(c.caption);
        EXPECT_EQ(info.mHwnd, L(c.menu)) << c.caption;
        EXPECT_EQ(info.Position, c.position) << c.caption;
        EXPECT_EQ(info.mID, c.id) << c.caption;
    }
    MNUINFO sys = find(L"&Verschieben", true);
    EXPECT_EQ(sys.mHwnd, L(GetSystemMenu(window, FALSE)));
    EXPECT_EQ(static_cast<UINT>(sys.mID), static_cast<UINT>(SC_MOVE));
    EXPECT_EQ(find(L"&Verschieben").mHwnd, 0);

    // Late bound, Systemmenu left out: the record arrives whole.
    Variant result, hwnd = v_long(L(window)), caption = v_str(L"&Farbe");
    ASSERT_EQ(call(disp.get(), L"Find_MenuItemByCaption", {hwnd.get(), caption.get()}, result.put()), S_OK);
    ASSERT_EQ(V_VT(result.get()), VT_RECORD);
    auto* info = static_cast<MNUINFO*>(V_RECORD(result.get()));
    EXPECT_EQ(info->mID, 301);
    EXPECT_EQ(info->mHwnd, L(extras));
}

TEST_F(MenuTest, ClicksPostTheCommandOnceAndNothingWhenNotFound) {
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(menu->Click_MenuItemByID(L(window), 101, &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    ASSERT_EQ(menu->Click_MenuItemBymHwnd(L(window), L(deeper), 0, &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    ASSERT_EQ(menu->Click_MenuItemByCaption(L(window), Bstr(L"&Farbe").get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    pump_messages();
    EXPECT_EQ(seen, (std::map<UINT, int>{{101, 1}, {111, 1}, {301, 1}}));

    // A caption nobody carries, a submenu position, a position past the end: nothing posted.
    seen.clear();
    ASSERT_EQ(menu->Click_MenuItemByCaption(L(window), Bstr(L"Nirgends").get(), &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    ASSERT_EQ(menu->Click_MenuItemBymHwnd(L(window), L(bar), 0, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    ASSERT_EQ(menu->Click_MenuItemBymHwnd(L(window), L(file), 9, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    // No window: not the caller's own queue (0), nor every window (-1, 0xFFFF).
    for (long none : {0L, -1L, 0xFFFFL}) {
        ASSERT_EQ(menu->Click_MenuItemByID(none, none, &r), S_OK);
        EXPECT_EQ(r, VARIANT_FALSE) << none;
    }
    MSG queued;
    EXPECT_FALSE(PeekMessageW(&queued, reinterpret_cast<HWND>(-1), WM_COMMAND, WM_COMMAND, PM_REMOVE));
    pump_messages();
    EXPECT_TRUE(seen.empty());
}

TEST_F(MenuTest, RemovesASystemMenuItemOnce) {
    VARIANT_BOOL sys = VARIANT_TRUE, r = VARIANT_FALSE;
    ASSERT_EQ(menu->Remove_MenuByCaption(L(window), Bstr(L"&Verschieben").get(), &sys, &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    EXPECT_EQ(GetMenuState(GetSystemMenu(window, FALSE), SC_MOVE, MF_BYCOMMAND), static_cast<UINT>(-1));
    ASSERT_EQ(menu->Remove_MenuByCaption(L(window), Bstr(L"&Verschieben").get(), &sys, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
}

TEST_F(MenuTest, ColoursMenusWithOneBrushPerColour) {
    EXPECT_EQ(color(mMENUBAR, 0x0000FF), 0);
    HBRUSH red = background(bar);
    EXPECT_EQ(brush_color(red), 0x0000FFu);
    EXPECT_EQ(color(mMENUBAR, 0x0000FF), 0);
    EXPECT_EQ(background(bar), red);  // the same brush again, none leaked

    // mMENU without an index colours the bar; index 99 changes nothing.
    EXPECT_EQ(color(mMENU, 0x00FF00), 0);
    EXPECT_EQ(brush_color(background(bar)), 0x00FF00u);
    short index = 99;
    EXPECT_EQ(color(mMENU, 0xFF0000, &index), 0);
    EXPECT_EQ(brush_color(background(bar)), 0x00FF00u);
    EXPECT_EQ(background(file), nullptr);

    // A submenu of the bar, with and without its own submenus.
    index = 3;
    EXPECT_EQ(color(mMENU, 0x123456, &index), 0);
    EXPECT_EQ(brush_color(background(extras)), 0x123456u);
    index = 1;
    EXPECT_EQ(color(mMENU, 0x654321, &index, true), 0);
    EXPECT_EQ(brush_color(background(file)), 0x654321u);
    EXPECT_EQ(brush_color(background(deeper)), 0x654321u);

    // The system menu, with a system colour translated.
    EXPECT_EQ(color(mSYSMENU, static_cast<long>(0x8000000F)), 0);
    EXPECT_EQ(brush_color(background(GetSystemMenu(window, FALSE))), GetSysColor(COLOR_BTNFACE));

    // Late bound with the optional arguments left out.
    Variant result, what = v_long(mMENU), hwnd = v_long(L(window)), c = v_long(0x0F0F0F);
    VARIANT what_ref = v_ref(what);
    ASSERT_EQ(call(disp.get(), L"Set_MenuColor", {&what_ref, hwnd.get(), c.get()}, result.put()), S_OK);
    EXPECT_EQ(V_I4(result.get()), 0);
    EXPECT_EQ(brush_color(background(bar)), 0x0F0F0Fu);
}

TEST_F(MenuTest, PicturesGoToBothStatesOfTheItem) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 13, 13);
    ReleaseDC(nullptr, screen);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
    IPictureDisp* p = picture.get();
    VARIANT_BOOL sys = VARIANT_FALSE, r = VARIANT_FALSE;
    ASSERT_EQ(menu->AddPictureToMenu(L(window), Bstr(L"&Neu").get(), &p, &sys, &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoW(file, 0, TRUE, &mii));
    EXPECT_EQ(mii.hbmpChecked, bitmap);
    EXPECT_EQ(mii.hbmpUnchecked, bitmap);

    EXPECT_EQ(errors.count("AddPictureToMenu"), 0);
    ASSERT_EQ(menu->AddPictureToMenu(L(window), Bstr(L"Nirgends").get(), &p, &sys, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_EQ(errors.count("AddPictureToMenu"), 1);
}

}  // namespace
