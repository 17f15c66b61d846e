// Desktop.SnapShot against a top-most window of a known colour.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "qmwindows_helper.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "windows/desktop.h"

using qm::ComPtr;
using namespace qmtest;

namespace {

// The picture's bitmap size and its colour at (x, y).
struct Shot {
    long width = 0, height = 0;
    COLORREF at(long x, long y) const {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        COLORREF c = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteDC(dc);
        return c;
    }
    HBITMAP bitmap = nullptr;
};

Shot shot_of(IPictureDisp* picture) {
    Shot s;
    ComPtr<IPicture> pic;
    if (!picture || picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.put())) != S_OK) return s;
    OLE_HANDLE h = 0;
    pic->get_Handle(&h);
    s.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(h));
    BITMAP bm{};
    GetObjectW(s.bitmap, sizeof bm, &bm);
    s.width = bm.bmWidth, s.height = bm.bmHeight;
    return s;
}

LRESULT CALLBACK green_proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

TEST(DesktopCaptureTest, WholeScreenAndAreas) {
    auto desktop = ComPtr<_Desktop>::attach(new qm::Desktop());
    WNDCLASSW wc{};
    wc.lpfnWndProc = green_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB(0, 200, 0));
    wc.lpszClassName = L"QmGreenSquare";
    RegisterClassW(&wc);
    HWND square = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  120, 120, nullptr, nullptr, wc.hInstance, nullptr);
    UpdateWindow(square);
    // Until the screen shows it (other tests' windows come and go).
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < 150 && GetPixel(screen, 60, 60) != RGB(0, 200, 0); ++i) {
        SetWindowPos(square, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        pump_messages();
        Sleep(20);
    }
    ReleaseDC(nullptr, screen);

    long error = -1;
    ComPtr<IPictureDisp> whole;
    ASSERT_EQ(desktop->SnapShot(nullptr, nullptr, nullptr, nullptr, &error, whole.put()), S_OK);
    EXPECT_EQ(error, 0);
    Shot s = shot_of(whole.get());
    EXPECT_EQ(s.width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(s.height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(s.at(5, 5), RGB(0, 200, 0));

    long l = 0, t = 0, w = 1500, h = 1500;
    ComPtr<IPictureDisp> area;
    ASSERT_EQ(desktop->SnapShot(&l, &t, &w, &h, &error, area.put()), S_OK);
    EXPECT_EQ(error, 0);
    s = shot_of(area.get());
    EXPECT_EQ(s.width, 100);
    EXPECT_EQ(s.height, 100);
    EXPECT_EQ(s.at(0, 0), RGB(0, 200, 0));
    EXPECT_EQ(s.at(99, 99), RGB(0, 200, 0));

    // Only some of the area given: the whole screen.
    long minus = -1;
    ComPtr<IPictureDisp> partial;
    ASSERT_EQ(desktop->SnapShot(&l, &t, &minus, nullptr, &error, partial.put()), S_OK);
    EXPECT_EQ(shot_of(partial.get()).width, GetSystemMetrics(SM_CXSCREEN));

    // An empty area: the error, no picture.
    long zero = 0;
    ComPtr<IPictureDisp> none;
    ASSERT_EQ(desktop->SnapShot(&l, &t, &zero, &h, &error, none.put()), S_OK);
    EXPECT_EQ(error, 5);
    EXPECT_FALSE(none);
    DestroyWindow(square);
}

}  // namespace
