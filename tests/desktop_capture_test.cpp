// Desktop.SnapShot against a top-most window of a known colour; texts on the desktop.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "qmwindows_helper.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
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

    // An area no window could cover (twips): 380, no picture.
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX}) {
        const long areas[][4] = {{beyond, 0, 1500, 1500}, {0, beyond, 1500, 1500}, {0, 0, beyond, 1500}, {0, 0, 1500, beyond}};
        for (const auto& a : areas) {
            long al = a[0], at = a[1], aw = a[2], ah = a[3];
            ComPtr<IPictureDisp> refused;
            ASSERT_EQ(desktop->SnapShot(&al, &at, &aw, &ah, &error, refused.put()), S_OK);
            EXPECT_EQ(error, aw < 0 || ah < 0 ? 5 : 380) << al << " " << at << " " << aw << " " << ah;
            EXPECT_FALSE(refused);
        }
    }
    DestroyWindow(square);
}

// The text windows on the desktop, in load order.
std::vector<HWND> desktop_texts() {
    std::vector<HWND> found;
    for (auto& form : qm::forms::forms_collection().snapshot())
        if (form->tag() == L"WriteOnDesktop") found.push_back(form->hwnd());
    return found;
}

TEST(DesktopCaptureTest, TextsOnTheDesktop) {
    auto desktop = ComPtr<_Desktop>::attach(new qm::Desktop());
    DESKTOPTEXTINFO first{};
    first.Text = SysAllocString(L"Quill");
    first.TextAlignment = dtByUser;
    first.Top = 1500, first.Left = 3000;
    first.FontColor = RGB(255, 0, 0);
    long r = -1;
    ASSERT_EQ(desktop->WriteOnDesktop(&first, &r), S_OK);
    EXPECT_EQ(r, 0);
    // Written back: the default font and the opaque alpha.
    EXPECT_EQ(first.Transparenz, 255);
    ASSERT_TRUE(first.Font);
    ComPtr<IFont> font;
    first.Font->QueryInterface(IID_IFont, font.put_void());
    BSTR name = nullptr;
    CY size{};
    font->get_Name(&name);
    font->get_Size(&size);
    EXPECT_STREQ(name, L"Times New Roman");
    EXPECT_EQ(size.int64, 360000);
    SysFreeString(name);

    DESKTOPTEXTINFO second{};
    second.Text = SysAllocString(L"Mark");
    second.TextAlignment = dtRightJustify;
    second.StayOnTop = VARIANT_TRUE;
    second.Transparenz = 100;
    ASSERT_EQ(desktop->WriteOnDesktop(&second, &r), S_OK);
    EXPECT_EQ(r, 0);
    pump_messages();

    auto texts = desktop_texts();
    ASSERT_EQ(texts.size(), 2u);
    RECT box{}, work{};
    GetWindowRect(texts[0], &box);
    EXPECT_EQ(box.left, 200);
    EXPECT_EQ(box.top, 100);
    GetWindowRect(texts[1], &box);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(box.right, work.right - work.left, 1);
    EXPECT_TRUE(GetWindowLongW(texts[1], GWL_EXSTYLE) & WS_EX_TOPMOST);
    const BYTE alphas[] = {254, 100};
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsWindowVisible(texts[i]));
        // Shaped like the glyphs: smaller than the window and not a plain rectangle.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetWindowRgn(texts[i], region), COMPLEXREGION);
        DeleteObject(region);
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(texts[i], nullptr, &alpha, &flags));
        EXPECT_EQ(alpha, alphas[i]);
    }

    // Clear takes the text with exactly that text only; ClearAll the rest.
    DESKTOPTEXTINFO clear{};
    clear.Text = SysAllocString(L"quill");
    clear.Clear = VARIANT_TRUE;
    ASSERT_EQ(desktop->WriteOnDesktop(&clear, &r), S_OK);
    EXPECT_EQ(desktop_texts().size(), 2u);
    SysReAllocString(&clear.Text, L"Quill");
    ASSERT_EQ(desktop->WriteOnDesktop(&clear, &r), S_OK);
    texts = desktop_texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(qm::CStr(qm::forms::form_of(texts[0])->field(L"DesktopText")), L"Mark");
    clear.Clear = VARIANT_FALSE, clear.ClearAll = VARIANT_TRUE;
    ASSERT_EQ(desktop->WriteOnDesktop(&clear, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(desktop_texts().empty());

    // No text (a script's Empty record) and an empty one show nothing and leave no window.
    DESKTOPTEXTINFO none{}, empty{};
    empty.Text = SysAllocString(L"");
    for (DESKTOPTEXTINFO* info : {&none, &empty}) {
        ASSERT_EQ(desktop->WriteOnDesktop(info, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_TRUE(desktop_texts().empty());
    }

    // A text far wider than the screen is cut at the screen's width, at once.
    DESKTOPTEXTINFO wide{};
    wide.Text = SysAllocStringLen(nullptr, 100000);
    std::fill_n(wide.Text, 100000, L'W');
    wide.TextAlignment = dtByUser;
    ASSERT_EQ(desktop->WriteOnDesktop(&wide, &r), S_OK);
    EXPECT_EQ(r, 0);
    texts = desktop_texts();
    ASSERT_EQ(texts.size(), 1u);
    GetWindowRect(texts[0], &box);
    EXPECT_LE(box.right - box.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(texts[0], shape), COMPLEXREGION);
    DeleteObject(shape);
    ASSERT_EQ(desktop->WriteOnDesktop(&clear, &r), S_OK);
    EXPECT_TRUE(desktop_texts().empty());

    for (DESKTOPTEXTINFO* info : {&first, &second, &clear, &none, &empty, &wide}) {
        SysFreeString(info->Text);
        if (info->Font) info->Font->Release();
    }
}

}  // namespace
