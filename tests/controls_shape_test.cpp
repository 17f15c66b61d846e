// Controls: windows cut to their non-background pixels, alignment bits, swapped
// pictures, parents, sizes, scroll bars, browser print commands and the
// clipboard, on forms of the forms engine.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

constexpr int kNoRegion = 0;  // GetWindowRgn: the window has no region

// A 120 x 100 picture: a disc of radius 40 about (60, 50) in black on back.
ComPtr<IPictureDisp> disc_on(COLORREF back) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 100);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 120, 100};
    HBRUSH fill = CreateSolidBrush(back);
    FillRect(dc, &all, fill);
    DeleteObject(fill);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    Ellipse(dc, 20, 10, 101, 91);
    SelectObject(dc, old);
    DeleteDC(dc);
    return forms::picture_from_bitmap(bitmap);
}

// The region as the runs of the window's pixels, one CombineRgn per run.
HRGN reference_region(HWND h, COLORREF key) {
    RECT r{};
    GetWindowRect(h, &r);
    const int w = r.right - r.left, ht = r.bottom - r.top;
    HDC dc = GetWindowDC(h);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, ht);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, ht, dc, 0, 0, SRCCOPY);
    HRGN total = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < ht; ++y)
        for (int x = 0; x < w;) {
            while (x < w && GetPixel(mem, x, y) == key) ++x;
            if (x >= w) break;
            const int start = x;
            while (x < w && GetPixel(mem, x, y) != key) ++x;
            HRGN run = CreateRectRgn(start, y, x, y + 1);
            CombineRgn(total, total, run, RGN_OR);
            DeleteObject(run);
        }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(h, dc);
    return total;
}

class ControlsShape : public testing::Test {
protected:
    void SetUp() override {
        ctl = shared<_Controls>();
        form = forms::make<forms::Form>();
        float w = 6000, h = 4500, x = 600, y = 600;
        form->move(x, &y, &w, &h);
        form->show();
        SetWindowPos(form->hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    static void settle() {
        for (int i = 0; i < 20; ++i) {
            forms::do_events();
            Sleep(10);
        }
    }
    // A picture box showing a disc (or nothing) on back, with or without its border.
    forms::PictureBox& picture_box(const wchar_t* name, OLE_COLOR back, bool disc, long border) {
        auto& box = form->add<forms::PictureBox>(name);
        box.set_border_style(border);
        box.set_back_color(back);
        COLORREF rgb = 0;
        OleTranslateColor(back, nullptr, &rgb);
        if (disc) box.set_picture(disc_on(rgb).get());
        float left = 120, top = 120, w = 2400, h = 2000;
        box.move(left, &top, &w, &h);
        settle();
        return box;
    }
    bool transparent(IDispatch* control) {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_EQ(ctl->Control_MakeTransparent(&control, &done), S_OK);
        settle();
        return done != VARIANT_FALSE;
    }
    _Controls* ctl = nullptr;
    ErrorLog errors{ErrorLog::linked};
    ComPtr<forms::Form> form;
};

TEST_F(ControlsShape, MakeTransparentKeepsOnlyWhatDiffersFromTheBackground) {
    IDispatch* label = &form->add<forms::Label>(L"Label1");
    EXPECT_FALSE(transparent(label));

    auto& plain = picture_box(L"Plain", RGB(255, 255, 255), false, 0);
    ASSERT_TRUE(transparent(&plain));
    HRGN got = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(plain.hwnd(), got), NULLREGION);
    plain.set_visible(false);

    // A white background, the button face (a system colour), and one with a border.
    struct Case {
        OLE_COLOR back;
        long border;
    } cases[] = {{RGB(255, 255, 255), 0}, {0x8000000F, 0}, {RGB(255, 255, 255), 1}};
    int n = 0;
    for (const auto& c : cases) {
        auto& box = picture_box((L"Disc" + std::to_wstring(++n)).c_str(), c.back, true, c.border);
        const HWND h = box.hwnd();
        COLORREF key = 0;
        OleTranslateColor(c.back, nullptr, &key);
        HRGN expected = reference_region(h, key);
        ASSERT_TRUE(transparent(&box)) << n;
        ASSERT_NE(GetWindowRgn(h, got), kNoRegion);
        EXPECT_TRUE(EqualRgn(got, expected)) << n;
        // The client area's origin in window coordinates: the border's width.
        POINT origin{0, 0};
        ClientToScreen(h, &origin);
        RECT window{};
        GetWindowRect(h, &window);
        const int bx = origin.x - window.left, by = origin.y - window.top;
        EXPECT_EQ(bx > 0, c.border == 1) << n;
        EXPECT_TRUE(PtInRegion(got, bx + 60, by + 50)) << n;
        EXPECT_FALSE(PtInRegion(got, bx + 2, by + 2)) << n;
        EXPECT_FALSE(PtInRegion(got, bx + 118, by + 98)) << n;
        EXPECT_FALSE(PtInRegion(got, bx + 130, by + 50)) << n;
        DeleteObject(expected);
        box.set_visible(false);
    }
    DeleteObject(got);
}

TEST_F(ControlsShape, AlignmentPicturesParentsSizesAndScrollBars) {
    auto& button = form->add<forms::Button>(L"Command1");
    const HWND bh = button.hwnd();
    const LONG before = GetWindowLongW(bh, GWL_STYLE) & ~0xF00L;
    SetWindowLongW(bh, GWL_STYLE, before);
    VARIANT button_object;
    V_VT(&button_object) = VT_DISPATCH;
    V_DISPATCH(&button_object) = &button;
    Variant as_object(button_object);
    Variant as_handle(static_cast<long>(reinterpret_cast<LONG_PTR>(bh)));
    ALIGMENT right = crRIGTH, left = crLEFT;
    long result = -1;
    ASSERT_EQ(ctl->Control_SetAlignment(as_object.get(), &right, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(ctl->Control_SetAlignment(as_handle.get(), &left, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetWindowLongW(bh, GWL_STYLE) & 0xF00L, static_cast<LONG>(crCENTER));

    // Swapped twice: the very same picture objects again.
    auto& p1 = form->add<forms::PictureBox>(L"Pic1");
    auto& p2 = form->add<forms::PictureBox>(L"Pic2");
    p1.set_picture(disc_on(RGB(255, 0, 0)).get());
    p2.set_picture(disc_on(RGB(0, 255, 0)).get());
    const Variant a = late::get(&p1, L"Picture"), b = late::get(&p2, L"Picture");
    IDispatch* d1 = &p1;
    IDispatch* d2 = &p2;
    ASSERT_EQ(ctl->PictureBox_SwapPicture(&d1, &d2, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(V_DISPATCH(late::get(&p1, L"Picture").get()), V_DISPATCH(b.get()));
    ASSERT_EQ(ctl->PictureBox_SwapPicture(&d1, &d2, &result), S_OK);
    EXPECT_EQ(V_DISPATCH(late::get(&p1, L"Picture").get()), V_DISPATCH(a.get()));
    EXPECT_EQ(V_DISPATCH(late::get(&p2, L"Picture").get()), V_DISPATCH(b.get()));

    // Only the first control takes the other's size.
    p2.set_width(3000);
    p2.set_height(1000);
    p1.set_width(500);
    ASSERT_EQ(ctl->Control_DuplicateSize(&d1, &d2, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(p1.width(), 3000);
    EXPECT_EQ(p1.height(), 1000);
    EXPECT_EQ(p2.width(), 3000);

    // The vertical scroll bar shown, then hidden.
    ControlDirection vertical = cdVertical;
    SCROLLBARINFO info{sizeof info};
    ASSERT_EQ(ctl->Control_SetScrollBar(&d1, &vertical, VARIANT_TRUE, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_TRUE(GetScrollBarInfo(p1.hwnd(), OBJID_VSCROLL, &info));
    EXPECT_FALSE(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    ASSERT_EQ(ctl->Control_SetScrollBar(&d1, &vertical, VARIANT_FALSE, &result), S_OK);
    ASSERT_TRUE(GetScrollBarInfo(p1.hwnd(), OBJID_VSCROLL, &info));
    EXPECT_TRUE(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);

    // The button's window moves to another form.
    ComPtr<forms::Form> other = forms::make<forms::Form>();
    other->load();
    IDispatch* control = &button;
    IDispatch* target = other.get();
    ASSERT_EQ(ctl->Control_SetToForm(&control, &target, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetParent(bh), other->hwnd());
    SetParent(bh, form->hwnd());
    other->unload();
}

// ExecWB with two 16-bit integers, on whatever object offers it.
class Printing final : public IDispatch {
public:
    std::vector<std::pair<VARTYPE, long>> args;
    bool has_exec = true;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (has_exec && _wcsicmp(names[0], L"ExecWB") == 0) return ids[0] = 7, S_OK;
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        for (UINT i = p->cArgs; i-- > 0;) args.emplace_back(V_VT(&p->rgvarg[i]), CLng(p->rgvarg[i]));
        return S_OK;
    }
};

TEST_F(ControlsShape, BrowserCommandsAndTheClipboard) {
    Printing browser;
    IDispatch* d = &browser;
    long result = -1;
    ASSERT_EQ(ctl->WebBrowser_Print(&d, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(ctl->WebBrowser_PrinterPageSetup(&d, &result), S_OK);
    EXPECT_EQ(result, 0);
    using A = std::pair<VARTYPE, long>;
    EXPECT_EQ(browser.args, (std::vector<A>{{VT_I2, 6}, {VT_I2, 2}, {VT_I2, 8}, {VT_I2, 0}}));
    browser.has_exec = false;
    ASSERT_EQ(ctl->WebBrowser_Print(&d, &result), S_OK);
    EXPECT_EQ(result, 438);
    EXPECT_TRUE(errors.has("WebBrowser_Print"));

    // The hosted browser answers whatever it answers, without a crash.
    ComPtr<forms::Control> browser_control = forms::new_control(L"WebBrowser");
    ASSERT_TRUE(browser_control);
    form->add_control(browser_control, L"Web1");
    IDispatch* wb = static_cast<IDispatch*>(browser_control.get());
    EXPECT_EQ(ctl->WebBrowser_PrinterPageSetup(&wb, &result), S_OK);

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 8);
    memcpy(GlobalLock(text), L"abc", 8);
    GlobalUnlock(text);
    SetClipboardData(CF_UNICODETEXT, text);
    CloseClipboard();
    ASSERT_GT(CountClipboardFormats(), 0);
    EXPECT_EQ(ctl->Clipboard_Clear(), S_OK);
    EXPECT_EQ(CountClipboardFormats(), 0);
}

}  // namespace
