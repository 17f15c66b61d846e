// Desktop's wallpaper, display-mode, screen and cursor members. Every setting a
// test changes is read first and put back in TearDown (the run's own prefix and
// display; the ctest lock keeps other desktop tests away meanwhile).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "qmwindows_helper.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "windows/desktop.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;
namespace forms = qm::forms;

namespace {

std::wstring wallpaper_now() {
    wchar_t buf[MAX_PATH + 1] = {};
    SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, buf, 0);
    return buf;
}

// A 24-bit BMP of w x h pixels.
std::string bmp(long w, long h) {
    const long row = (w * 3 + 3) & ~3L, data = row * h;
    std::string b(54 + data, '\0');
    auto put = [&](size_t at, unsigned long v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, 54 + data, 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
    put(26, 1, 2), put(28, 24, 2), put(34, data, 4);
    for (long i = 54; i < 54 + data; ++i) b[i] = static_cast<char>(0x80);
    return b;
}

// A top-most red square at the screen's top-left corner.
class RedSquare {
public:
    RedSquare(int x, int y, int size) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
        wc.lpszClassName = L"QmRedSquare";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"QmRedSquare", L"", WS_POPUP | WS_VISIBLE, x, y,
                                size, size, nullptr, nullptr, wc.hInstance, nullptr);
        UpdateWindow(hwnd_);
        // Until the screen shows it (other tests' windows come and go).
        HDC screen = GetDC(nullptr);
        for (int i = 0; i < 150 && GetPixel(screen, x + size / 2, y + size / 2) != RGB(255, 0, 0); ++i) {
            SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            pump_messages();
            Sleep(20);
        }
        ReleaseDC(nullptr, screen);
    }
    ~RedSquare() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

class DesktopSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop = ComPtr<_Desktop>::attach(new qm::Desktop());
        old_wallpaper = wallpaper_now();
        old_mode.dmSize = sizeof old_mode;
        EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &old_mode);
    }
    void TearDown() override {
        SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, old_wallpaper.data(), SPIF_UPDATEINIFILE);
        DEVMODEW now{};
        now.dmSize = sizeof now;
        EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &now);
        if (now.dmPelsWidth != old_mode.dmPelsWidth || now.dmPelsHeight != old_mode.dmPelsHeight) {
            old_mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
            ChangeDisplaySettingsW(&old_mode, CDS_UPDATEREGISTRY);
        }
    }
    long resolution(long which, BYTE frequency, Bstr& other) {
        DESKTOPRESULOTION r = static_cast<DESKTOPRESULOTION>(which);
        BSTR text = other.detach();
        long result = -1;
        EXPECT_EQ(desktop->Set_DesktopResulotion(&r, &frequency, &text, &result), S_OK);
        other = Bstr::attach(text);
        return result;
    }
    ComPtr<_Desktop> desktop;
    std::wstring old_wallpaper;
    DEVMODEW old_mode{};
};

TEST_F(DesktopSettingsTest, WallpaperIsSetReadAndCleared) {
    const std::wstring file = scratch() + L"wall_4x3.bmp", bad = scratch() + L"wall_bad.bmp";
    write_bytes(file, bmp(4, 3));
    write_bytes(bad, "not a picture at all");
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(desktop->Wallpaper_Change(Bstr(file).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    BSTR path = nullptr;
    ASSERT_EQ(desktop->Wallpaper_GetPath(&path), S_OK);
    EXPECT_EQ(Bstr::attach(path).str(), file);

    long error = -1;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(desktop->Wallpaper_Get(&error, picture.put()), S_OK);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(picture);
    ComPtr<IPicture> pic;
    ASSERT_EQ(picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.put())), S_OK);
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    pic->get_Width(&w), pic->get_Height(&h);
    EXPECT_EQ(MulDiv(w, 96, 2540), 4);
    EXPECT_EQ(MulDiv(h, 96, 2540), 3);

    // An unreadable file: its error in ErrorNumber, no picture.
    ASSERT_EQ(desktop->Wallpaper_Change(Bstr(bad).get(), &ok), S_OK);
    if (wallpaper_now() == bad) {
        ComPtr<IPictureDisp> none;
        ASSERT_EQ(desktop->Wallpaper_Get(&error, none.put()), S_OK);
        EXPECT_TRUE(error == 481 || error == 53) << error;
        EXPECT_FALSE(none);
    }

    // Names of no file change nothing.
    ASSERT_EQ(desktop->Wallpaper_Change(Bstr(file).get(), &ok), S_OK);
    for (const std::wstring& none : {scratch() + L"wall_none.bmp", scratch(), std::wstring(100000, L'w')}) {
        ASSERT_EQ(desktop->Wallpaper_Change(Bstr(none).get(), &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE) << none.size();
        EXPECT_EQ(wallpaper_now(), file);
    }

    ASSERT_EQ(desktop->Wallpaper_Clear(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(desktop->Wallpaper_GetPath(&path), S_OK);
    EXPECT_EQ(Bstr::attach(path).str(), L"");
    ComPtr<IPictureDisp> nothing;
    error = -1;
    ASSERT_EQ(desktop->Wallpaper_Get(&error, nothing.put()), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(nothing);
}

TEST_F(DesktopSettingsTest, ResolutionTextsRangesAndRefusedModes) {
    const DWORD w = old_mode.dmPelsWidth, h = old_mode.dmPelsHeight;
    // No "x": the subscript error, the text untouched.
    Bstr text(L"800");
    EXPECT_EQ(resolution(drOTHERRESULOTION, 60, text), 9);
    EXPECT_EQ(text.str(), L"800");
    // Values outside the enumeration do nothing.
    for (long v : {-1L, 16L, 1000L}) EXPECT_EQ(resolution(v, 60, text), 0) << v;
    // A mode the display does not list is refused, and not stored.
    text = Bstr(L"13X7");
    EXPECT_EQ(resolution(drOTHERRESULOTION, 0, text), 5);
    EXPECT_EQ(text.str(), L"13x7");
    EXPECT_EQ(static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)), w);
    // The current size at the display's default rate (frequency 0).
    text = Bstr(std::to_wstring(w) + L"X" + std::to_wstring(h));
    EXPECT_EQ(resolution(drOTHERRESULOTION, 0, text), 0);
    EXPECT_EQ(text.str(), std::to_wstring(w) + L"x" + std::to_wstring(h));

    // Another listed mode of the table, when the display offers one: switched
    // to and back.
    static const POINT table[] = {{640, 480}, {800, 600}, {1024, 768}};
    for (long i = 0; i < 3; ++i) {
        if (static_cast<DWORD>(table[i].x) == w) continue;
        DEVMODEW m{};
        m.dmSize = sizeof m;
        bool listed = false;
        for (DWORD n = 0; EnumDisplaySettingsW(nullptr, n, &m); ++n)
            listed = listed || (m.dmPelsWidth == static_cast<DWORD>(table[i].x) &&
                                m.dmPelsHeight == static_cast<DWORD>(table[i].y));
        if (!listed) continue;
        const long which = i == 0 ? dr640x480 : i == 1 ? dr800x600 : dr1024x768;
        Bstr unused;
        EXPECT_EQ(resolution(which, 0, unused), 0);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), table[i].x);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), table[i].y);
        Bstr back(std::to_wstring(w) + L"x" + std::to_wstring(h));
        EXPECT_EQ(resolution(drOTHERRESULOTION, 0, back), 0);
        EXPECT_EQ(static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)), w);
        break;
    }
}

TEST_F(DesktopSettingsTest, ScreenQueries) {
    CONTROLDIMENSIONS screen{}, work{};
    ASSERT_EQ(desktop->Get_DesktopDimensions(&screen), S_OK);
    EXPECT_EQ(screen.Width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen.Height, GetSystemMetrics(SM_CYSCREEN));
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ASSERT_EQ(desktop->Get_WorkAreaDimension(&work), S_OK);
    EXPECT_EQ(work.Width, (area.right - area.left) * 15);
    EXPECT_EQ(work.Height, (area.bottom - area.top) * 15);
    long dpi = 0;
    ASSERT_EQ(desktop->Get_ScreenDPI(&dpi), S_OK);
    EXPECT_EQ(dpi, 96);

    RedSquare red(300, 200, 40);
    long y = 220, colour = 0;
    ASSERT_EQ(desktop->Get_Pixel(320, &y, &colour), S_OK);
    EXPECT_EQ(colour, 0x0000FF);
    for (POINT p : {POINT{-5, 5}, POINT{5, -5}, POINT{100000, 5}}) {
        y = p.y;
        ASSERT_EQ(desktop->Get_Pixel(p.x, &y, &colour), S_OK);
        EXPECT_EQ(colour, -1) << p.x << "," << p.y;
    }
    EXPECT_EQ(desktop->Desktop_Update(), S_OK);
}

WNDPROC g_form_proc = nullptr;
int g_savers = 0;
LRESULT CALLBACK saver_catcher(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SYSCOMMAND && (w & 0xFFF0) == SC_SCREENSAVE) {
        ++g_savers;
        return 0;
    }
    return CallWindowProcW(g_form_proc, h, m, w, l);
}

TEST_F(DesktopSettingsTest, ScreenSaverGoesThroughTheForm) {
    ComPtr<forms::Form> form = forms::make<forms::Form>();
    g_savers = 0;
    g_form_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(form->hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saver_catcher)));
    IDispatch* f = form.get();
    ASSERT_EQ(desktop->ScreenSaver_Activate(&f), S_OK);
    EXPECT_EQ(g_savers, 1);
    SetWindowLongPtrW(form->hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_form_proc));
    IDispatch* none = nullptr;
    EXPECT_EQ(desktop->ScreenSaver_Activate(&none), static_cast<HRESULT>(0x800A005B));  // 91
    form->unload();
}

TEST_F(DesktopSettingsTest, SystemCursorAndThemes) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    for (long id : {long{dcWAIT}, long{dcNORMAL}, 4711L}) {
        DEFAULTCURSOR c = static_cast<DEFAULTCURSOR>(id);
        EXPECT_EQ(desktop->Set_WindowsDefaultMouseCursor(&c), S_OK);
    }
    // The shared standard cursors stay valid: the system got copies.
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    DeleteObject(info.hbmMask), DeleteObject(info.hbmColor);
    ASSERT_TRUE(GetIconInfo(LoadCursorW(nullptr, IDC_WAIT), &info));
    DeleteObject(info.hbmMask), DeleteObject(info.hbmColor);

    // The switch, read back through the user's setting and uxtheme; the
    // setting is put back (for programs started later).
    const wchar_t* manager = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
    auto setting = [&] {
        wchar_t text[64] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        return RegGetValueW(HKEY_CURRENT_USER, manager, L"ThemeActive", RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, text,
                            &size) == ERROR_SUCCESS
                   ? std::wstring(text)
                   : std::wstring(L"<missing>");
    };
    const std::wstring old = setting();
    HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    ASSERT_TRUE(uxtheme);
    auto active = reinterpret_cast<BOOL(WINAPI*)()>(GetProcAddress(uxtheme, "IsThemeActive"));
    ASSERT_TRUE(active);
    VARIANT_BOOL before = VARIANT_FALSE, enabled = VARIANT_FALSE, seen = VARIANT_TRUE;
    ASSERT_EQ(desktop->XPtheme_isActive(&before), S_OK);
    ASSERT_TRUE(before) << "the prefix's theme is active";
    ASSERT_TRUE(active());
    // Wine's switch only turns the theme off: switching it on again succeeds
    // without effect, and the user's setting stays off.
    VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
    for (VARIANT_BOOL* disable : {&yes, &yes, &no, static_cast<VARIANT_BOOL*>(nullptr)}) {
        EXPECT_EQ(desktop->XPtheme_Enable(disable, &enabled), S_OK);
        EXPECT_EQ(enabled, VARIANT_TRUE);
        EXPECT_FALSE(active());
        EXPECT_EQ(setting(), L"0");
        EXPECT_EQ(desktop->XPtheme_isActive(&seen), S_OK);
        EXPECT_EQ(seen, VARIANT_FALSE);
    }
    if (old != L"<missing>")
        RegSetKeyValueW(HKEY_CURRENT_USER, manager, L"ThemeActive", REG_SZ, old.c_str(),
                        static_cast<DWORD>((old.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, manager, L"ThemeActive");
    FreeLibrary(uxtheme);
}

}  // namespace
