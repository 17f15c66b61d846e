// Desktop: the wallpaper, the display mode, screen and work-area sizes, pixels,
// the screen saver, the system's normal cursor and the visual-style switch.
#include <windows.h>
#include <uxtheme.h>

#include <cmath>
#include <string>

#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"
#include "windows/desktop.h"
#include "windows/window_common.h"

namespace qm {

namespace {

constexpr POINT kModes[] = {{640, 480},   {800, 600},   {960, 600},   {1024, 768},  {1088, 612}, {1152, 864},
                            {1280, 720},  {1280, 768},  {1280, 800},  {1280, 960},  {1280, 1024}, {1360, 768},
                            {1600, 900},  {1600, 1024}, {1600, 1200}};

bool set_wallpaper(std::wstring_view file) {
    std::wstring path(file);
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) !=
           FALSE;
}

std::wstring wallpaper_path() {
    wchar_t buf[MAX_PATH + 1] = {};
    SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, buf, 0);
    std::wstring s(buf, MAX_PATH);
    std::erase(s, L'\0');
    return s;
}

// uxtheme's switches, found at run time (the library does not load uxtheme
// until a client asks).
template <class F>
F uxtheme(const char* name) {
    HMODULE dll = LoadLibraryW(L"uxtheme.dll");
    return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}

}  // namespace

CONTROLDIMENSIONS desktop_work_area_twips() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return {CLng(static_cast<double>(static_cast<float>(r.bottom - r.top) * forms::screen_twips_per_pixel_y())),
            CLng(static_cast<double>(static_cast<float>(r.right - r.left) * forms::screen_twips_per_pixel_x()))};
}

HRESULT Desktop::Wallpaper_Change(BSTR File, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return set_wallpaper(text_of(File)); });
}

HRESULT Desktop::Wallpaper_Clear(VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    Bstr empty(L"");
    return Wallpaper_Change(empty.get(), result);
}

HRESULT Desktop::Wallpaper_GetPath(BSTR* result) {
    return untrapped(result, [&] { return Bstr(wallpaper_path()); });
}

HRESULT Desktop::Wallpaper_Get(long* ErrorNumber, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (ErrorNumber) *ErrorNumber = 0;
    try {
        const std::wstring path = wallpaper_path();
        if (!path.empty()) *result = forms::load_picture(path).detach();
    } catch (...) {
        // Reported through ErrorNumber only.
        if (ErrorNumber) *ErrorNumber = detail::as_runtime_error(std::current_exception()).number();
    }
    return S_OK;
}

HRESULT Desktop::Set_DesktopResulotion(DESKTOPRESULOTION* Resulotion, BYTE* Frequency, BSTR* OtherResulotion,
                                       long* result) {
    return trapped(Trap{Source::Desktop, L"Set_DesktopResulotion"}, result, ErrorNumberResult{}, [&]() -> long {
        const long which = Resulotion ? static_cast<long>(*Resulotion) : 0;
        if (which < 0 || which > 15) return 0;
        long width = 0, height = 0;
        if (which == drOTHERRESULOTION) {
            std::wstring text = LCase(OtherResulotion ? text_of(*OtherResulotion) : std::wstring_view());
            if (OtherResulotion) {
                Bstr lowered(text);
                SysFreeString(*OtherResulotion);
                *OtherResulotion = lowered.detach();
            }
            const size_t x = text.find(L'x');
            if (x == std::wstring::npos) raise(err::SubscriptOutOfRange);
            // Split keeps only the first two parts: "1x2x3" is 1 x 2.
            const size_t next = text.find(L'x', x + 1);
            width = CLng(std::wstring_view(text).substr(0, x));
            height = CLng(std::wstring_view(text).substr(x + 1, next == std::wstring::npos ? next : next - x - 1));
        } else {
            width = kModes[which].x;
            height = kModes[which].y;
        }
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
        mode.dmDisplayFrequency = Frequency ? *Frequency : 0;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        // A mode the system refuses is not stored either.
        if (ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) raise(err::InvalidCall);
        ChangeDisplaySettingsW(&mode, CDS_UPDATEREGISTRY);
        return 0;
    });
}

HRESULT Desktop::Get_DesktopDimensions(CONTROLDIMENSIONS* result) {
    if (!result) return E_POINTER;
    return untrapped([&] {
        const float w = forms::screen_width() / forms::screen_twips_per_pixel_x();
        const float h = forms::screen_height() / forms::screen_twips_per_pixel_y();
        *result = {CLng(static_cast<double>(h)), CLng(static_cast<double>(w))};
    });
}

HRESULT Desktop::Get_WorkAreaDimension(CONTROLDIMENSIONS* result) {
    if (!result) return E_POINTER;
    return untrapped([&] { *result = desktop_work_area_twips(); });
}

HRESULT Desktop::Get_ScreenDPI(long* result) {
    return untrapped(result, [&] {
        HDC dc = GetDC(nullptr);
        const long dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
        if (dc) ReleaseDC(nullptr, dc);
        return dpi;
    });
}

HRESULT Desktop::Get_Pixel(long X, long* Y, long* result) {
    if (!result) return E_POINTER;
    *result = static_cast<long>(CLR_INVALID);
    HWND desk = GetDesktopWindow();
    if (HDC dc = GetWindowDC(desk)) {
        *result = static_cast<long>(GetPixel(dc, X, Y ? *Y : 0));
        ReleaseDC(desk, dc);
    }
    return S_OK;
}

HRESULT Desktop::Desktop_Update() {
    if (InvalidateRect(nullptr, nullptr, FALSE)) InvalidateRect(nullptr, nullptr, FALSE);
    return S_OK;
}

HRESULT Desktop::ScreenSaver_Activate(IDispatch** Form) {
    return untrapped([&] {
        IDispatch* form = Form ? *Form : nullptr;
        if (!form) raise(err::ObjectNotSet);
        send_bounded(hwnd_of(CLng(*late::get(form, L"hWnd").get())), WM_SYSCOMMAND, SC_SCREENSAVE);
    });
}

HRESULT Desktop::Set_WindowsDefaultMouseCursor(DEFAULTCURSOR* Cursor) {
    return untrapped([&] {
        const long id = Cursor ? static_cast<long>(*Cursor) : 0;
        // The standard cursor is shared: the system is handed a copy of its own.
        HCURSOR shared_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
        if (!shared_cursor) return;
        if (HCURSOR copy = CopyCursor(shared_cursor)) {
            if (!SetSystemCursor(copy, 32512)) DestroyCursor(copy);
        }
    });
}

HRESULT Desktop::XPtheme_isActive(VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        auto active = uxtheme<BOOL(WINAPI*)()>("IsThemeActive");
        return active && active() != FALSE;
    });
}

HRESULT Desktop::XPtheme_Enable(VARIANT_BOOL* Disable, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        auto enable = uxtheme<HRESULT(WINAPI*)(BOOL)>("EnableTheming");
        return enable && enable(flag_or(Disable, false) ? FALSE : TRUE) == S_OK;
    });
}

}  // namespace qm
