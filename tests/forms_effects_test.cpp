// Forms: shapes from pictures and controls, gradients, fading, tiling, caption
// scrolling, animation, shaking, rolling open, transparency, the taskbar button
// and the drop shadow, on forms of the forms engine.
#include <windows.h>
#include <gtest/gtest.h>
#include <olectl.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "recorder.h"
#include "support.h"
#include "windows/forms_effects.h"

using namespace qm;
using namespace qmtest;

namespace {

constexpr int kNoRegion = 0;  // GetWindowRgn: the window has no region

long handle(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }
float tx() { return forms::twips_per_pixel_x(); }
float ty() { return forms::twips_per_pixel_y(); }

int loaded_workers(const wchar_t* tag = nullptr) {
    int n = 0;
    for (long i = 0; i < forms::forms_collection().count(); ++i) {
        forms::Form& f = forms::forms_collection().item(i);
        if (dynamic_cast<MyControls*>(&f) && (!tag || f.tag() == tag)) ++n;
    }
    return n;
}

template <class F>
bool wait_for(F&& done) {
    for (int i = 0; i < 4000; ++i) {
        if (done()) return true;
        forms::do_events();
        Sleep(2);
    }
    return done();
}

// A picture of w x h white pixels with the given black runs {x0, y, x1}.
ComPtr<IPictureDisp> picture_of(int w, int h, const std::vector<RECT>& black) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<DWORD*>(bits);
    std::fill(p, p + w * h, 0x00FFFFFF);
    for (const RECT& r : black)
        for (long y = r.top; y < r.bottom; ++y)
            for (long x = r.left; x < r.right; ++x) p[y * w + x] = 0;
    return forms::picture_from_bitmap(bmp);
}

std::vector<RECT> rects_of(HRGN region) {
    std::vector<BYTE> data(GetRegionData(region, 0, nullptr));
    if (data.empty()) return {};
    GetRegionData(region, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    auto* r = reinterpret_cast<RECT*>(data.data() + header->dwSize);
    return std::vector<RECT>(r, r + header->nCount);
}

bool same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!EqualRect(&a[i], &b[i])) return false;
    return true;
}

// The pixel of a picture (x, y from the top-left) as 0x00RRGGBB.
DWORD pixel(IPictureDisp* picture, int x, int y) {
    ComPtr<IPicture> p;
    picture->QueryInterface(IID_IPicture, p.put_void());
    OLE_HANDLE h = 0;
    p->get_Handle(&h);
    HBITMAP bmp = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(h));
    BITMAP bm{};
    GetObject(bmp, sizeof bm, &bm);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> all(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, bm.bmHeight, all.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return all[static_cast<size_t>(y) * bm.bmWidth + x] & 0xFFFFFF;
}

class FormsEffects : public testing::Test {
protected:
    void SetUp() override {
        forms_ = shared<_Forms>();
        form = forms::make<forms::Form>();
        float x = 900, y = 900, w = 4800, h = 3600;
        form->move(x, &y, &w, &h);
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* disp() { return form.get(); }
    _Forms* forms_ = nullptr;
    ErrorLog errors{ErrorLog::linked};
    ComPtr<forms::Form> form;
};

TEST_F(FormsEffects, PictureRegionsRunToTheRightEdgeAndSizeTheForm) {
    form->unload();
    form = forms::make<forms::Form>();
    form->set_border_style(0);
    form->show();
    IDispatch* f = disp();
    const int before = loaded_workers();
    HRGN got = CreateRectRgn(0, 0, 0, 0);
    long result = -1;

    // One colour: no region, the whole window stays.
    ComPtr<IPictureDisp> plain = picture_of(30, 20, {});
    IDispatch* p = plain.get();
    ASSERT_EQ(forms_->CreateFormFromPicture(&f, &p, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetWindowRgn(form->hwnd(), got), kNoRegion);

    // A run touching the right edge ends there; the next row starts afresh.
    ComPtr<IPictureDisp> shape = picture_of(40, 3, {{30, 0, 40, 1}, {0, 1, 5, 2}, {10, 2, 12, 3}});
    p = shape.get();
    ASSERT_EQ(forms_->CreateFormFromPicture(&f, &p, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_NE(GetWindowRgn(form->hwnd(), got), kNoRegion);
    EXPECT_TRUE(same(rects_of(got), {{30, 0, 40, 1}, {0, 1, 5, 2}, {10, 2, 12, 3}}));
    RECT r{};
    GetWindowRect(form->hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 3);
    EXPECT_EQ(loaded_workers(), before);
    DeleteObject(got);

    // A non-form is refused to the caller; a missing file is reported as the module's.
    Recorder other({{L"hWnd", Variant(0L)}});
    IDispatch* o = &other;
    EXPECT_EQ(HRESULT_CODE(forms_->CreateFormFromPicture(&o, &p, nullptr, &result)), 13);
    Bstr missing(scratch() + L"no such picture.bmp");
    BSTR file = missing.get();
    ASSERT_EQ(forms_->CreateFormFromPicture(&f, &p, &file, &result), S_OK);
    EXPECT_EQ(result, 53);
    EXPECT_EQ(errors.count("CFFP"), 1);
    EXPECT_NE(errors.text().find("Modul: basPModule / Routine: CFFP"), std::string::npos);
    EXPECT_EQ(loaded_workers(), before);
}

TEST_F(FormsEffects, ControlsOnlyKeepsTheirRectanglesInWindowCoordinates) {
    auto& frame = form->add<forms::Frame>(L"Frame1");
    float l = 30 * tx(), t = 20 * ty(), w = 100 * tx(), h = 60 * ty();
    frame.move(l, &t, &w, &h);
    form->add_in<forms::Button>(frame, L"Inner");
    for (long border : {2L, 0L}) {
        form->set_border_style(border);
        IDispatch* f = disp();
        long error = -1;
        VARIANT_BOOL done = VARIANT_FALSE;
        ASSERT_EQ(forms_->ShowControlsOnly(&f, &error, &done), S_OK);
        EXPECT_TRUE(done) << border;
        EXPECT_EQ(error, 0);
        const long fx = border ? GetSystemMetrics(SM_CXFRAME) : 0, fy = border ? GetSystemMetrics(SM_CYFRAME) : 0;
        const long cap = border ? GetSystemMetrics(SM_CYCAPTION) : 0;
        HRGN got = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(form->hwnd(), got), kNoRegion);
        EXPECT_TRUE(same(rects_of(got), {{30 + fx, 20 + cap + fy, 130 + fx, 80 + cap + fy}})) << border;
        DeleteObject(got);
        EXPECT_EQ(form->height(), (80 + cap + 2 * fy) * ty()) << border;
        EXPECT_EQ(form->width(), (130 + 2 * fx) * tx()) << border;
        EXPECT_EQ(CLng(*late::get(disp(), L"ScaleMode").get()), 1);
    }
}

TEST_F(FormsEffects, FadeDrawsAPersistentGradientAndRestoresTheSurface) {
    auto& box = form->add<forms::PictureBox>(L"Picture1");
    for (IDispatch* target : {disp(), static_cast<IDispatch*>(&box)}) {
        for (long direction : {0L, 1L}) {
            short alpha = 0;
            auto dir = static_cast<ControlDirection>(direction);
            long result = -1;
            IDispatch* t = target;
            ASSERT_EQ(forms_->Fade(&t, RGB(255, 0, 0), RGB(0, 0, 255), &alpha, &dir, &result), S_OK);
            EXPECT_EQ(result, 0);
            EXPECT_EQ(CLng(*late::get(target, L"ScaleMode").get()), 1);
            EXPECT_FALSE(CBool(*late::get(target, L"AutoRedraw").get()));
            ComPtr<IDispatch> image = late::object(late::get(target, L"Image"));
            ComPtr<IPictureDisp> pic;
            image->QueryInterface(IID_IPictureDisp, pic.put_void());
            const long w = CLng(*late::get(target, L"ScaleWidth").get()) / tx();
            const long h = CLng(*late::get(target, L"ScaleHeight").get()) / ty();
            // From red at the origin to blue at the far corner; across for 1, down for 0.
            EXPECT_GT(pixel(pic.get(), 0, 0) >> 16, 0xF0u);
            EXPECT_GT(pixel(pic.get(), w - 1, h - 1) & 0xFF, 0xF0u);
            const DWORD far_x = pixel(pic.get(), w - 1, 0), far_y = pixel(pic.get(), 0, h - 1);
            EXPECT_EQ(direction == 1, (far_x & 0xFF) > 0xF0) << direction;
            EXPECT_EQ(direction == 0, (far_y & 0xFF) > 0xF0) << direction;
        }
    }
    // An object without hDC: the error, and its scale and AutoRedraw as they were.
    Recorder bare({{L"ScaleMode", Variant(1L)}, {L"AutoRedraw", Variant(false)}, {L"ScaleWidth", Variant(10L)},
                   {L"ScaleHeight", Variant(10L)}});
    IDispatch* b = &bare;
    short alpha = 0;
    ControlDirection dir = cdHorizontal;
    long result = -1;
    ASSERT_EQ(forms_->Fade(&b, 0, 255, &alpha, &dir, &result), S_OK);
    EXPECT_EQ(result, 438);
    EXPECT_EQ(bare.log, (std::vector<std::wstring>{L"ScaleMode=3", L"AutoRedraw=True", L"Refresh()", L"ScaleMode=1",
                                                    L"AutoRedraw=False"}));
    // Random colours, never the same twice.
    IDispatch* f = disp();
    ASSERT_EQ(forms_->Fade_Ranomized(&f, &dir, &result), S_OK);
    EXPECT_EQ(result, 0);
}

TEST_F(FormsEffects, TileCoversTheFormAndRefusesEmptyPictures) {
    ComPtr<IPictureDisp> tile = picture_of(30, 20, {{0, 0, 1, 20}});  // a black left column
    IDispatch* f = disp();
    IPictureDisp* p = tile.get();
    long result = -1;
    ASSERT_EQ(forms_->Tile(&f, &p, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(CBool(*late::get(disp(), L"AutoRedraw").get()));
    ComPtr<IDispatch> kept = late::object(late::get(disp(), L"Picture"));
    ComPtr<IPictureDisp> pic;
    kept->QueryInterface(IID_IPictureDisp, pic.put_void());
    for (int x : {0, 30, 60, 90}) EXPECT_EQ(pixel(pic.get(), x, 45), 0u) << x;
    for (int x : {1, 29, 31, 59}) EXPECT_EQ(pixel(pic.get(), x, 45), 0xFFFFFFu) << x;

    p = nullptr;
    ASSERT_EQ(forms_->Tile(&f, &p, &result), S_OK);
    EXPECT_EQ(result, 91);
    ComPtr<IPictureDisp> empty = forms::load_picture();
    p = empty.get();
    ASSERT_EQ(forms_->Tile(&f, &p, &result), S_OK);
    EXPECT_EQ(result, 5);
}

TEST_F(FormsEffects, ScrollCaptionSharesOneWorkerAndSurvivesPictureShapes) {
    ComPtr<forms::Form> second = forms::make<forms::Form>();
    second->show();
    form->set_caption(L"First caption");
    second->set_caption(L"Second caption");
    long speed = 1, result = -1;
    for (forms::Form* f : {form.get(), second.get()}) {
        IDispatch* d = f;
        ASSERT_EQ(forms_->ScrollCaption(&d, &speed, &result), S_OK);
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(loaded_workers(L"ScrollCaption"), 1);
    EXPECT_TRUE(wait_for([&] { return second->caption() != L"Second caption"; }));
    // A picture shape meanwhile uses a worker of its own.
    ComPtr<IPictureDisp> shape = picture_of(20, 20, {{5, 5, 10, 10}});
    IDispatch* d = second.get();
    IDispatch* p = shape.get();
    ASSERT_EQ(forms_->CreateFormFromPicture(&d, &p, nullptr, &result), S_OK);
    EXPECT_EQ(result, 0);
    const std::wstring now = form->caption();
    EXPECT_TRUE(wait_for([&] { return form->caption() != now; }));
    EXPECT_EQ(loaded_workers(L"ScrollCaption"), 1);
    form->unload();
    second->unload();
    EXPECT_TRUE(wait_for([] { return loaded_workers(L"ScrollCaption") == 0; }));
}

TEST_F(FormsEffects, AnimateShowsHidesShrinksAndGrows) {
    struct Flags {
        long type;
        DWORD flags;
    } table[] = {{anFADEIN, 0x80000}, {anUPERRIGHT_TO_LOWERLEFT, 6}, {anMIDDLE, 0x10}, {anFADEOUT, 0x90000},
                 {50, 0}, {99, 0}};
    for (const auto& t : table) EXPECT_EQ(animate_flags(t.type), t.flags) << t.type;

    IDispatch* f = disp();
    long speed = 0, result = -1;
    auto animate = [&](long type) {
        auto a = static_cast<ANIMETNFO>(type);
        EXPECT_EQ(forms_->Animate(&f, &a, &speed, &result), S_OK);
        return result;
    };
    EXPECT_EQ(animate(anFADEOUT), 0);
    EXPECT_FALSE(IsWindowVisible(form->hwnd()));
    EXPECT_EQ(animate(anFADEIN), 0);
    EXPECT_TRUE(IsWindowVisible(form->hwnd()));
    EXPECT_EQ(animate(50), 0);
    EXPECT_FALSE(form->surface()->auto_redraw());

    form->set_border_style(0);
    EXPECT_EQ(animate(anSHRINK), 0);
    EXPECT_LT(form->width(), 255);
    EXPECT_LT(form->height(), 255);

    form->set_window_state(2);
    EXPECT_EQ(animate(anGROW), 0);
    EXPECT_EQ(form->window_state(), 0);
    const float sw = GetSystemMetrics(SM_CXSCREEN) * tx(), sh = GetSystemMetrics(SM_CYSCREEN) * ty();
    EXPECT_NEAR(form->width(), sw, tx());
    EXPECT_NEAR(form->height(), sh, ty());
    EXPECT_FALSE(form->surface()->auto_redraw());
}

TEST_F(FormsEffects, ShakeRollTransparencyTaskbarAndShadow) {
    IDispatch* f = disp();
    const float left = form->left();
    long error = -1;
    VARIANT_BOOL done = VARIANT_FALSE;
    ASSERT_EQ(forms_->ShakeForm(&f, 5, 9, &error, &done), S_OK);
    EXPECT_TRUE(done);
    EXPECT_EQ(form->left(), left);
    ASSERT_EQ(forms_->ShakeForm(&f, 0, 30, &error, &done), S_OK);
    EXPECT_FALSE(done);
    EXPECT_EQ(error, 11);
    EXPECT_EQ(errors.count("ShakeForm"), 1);

    // Rolling open: anything but a form is ignored; a form grows and the worker goes.
    Recorder other({{L"Height", Variant(100L)}});
    IDispatch* o = &other;
    ASSERT_EQ(forms_->Roll2(&o, 3000), S_OK);
    EXPECT_EQ(loaded_workers(L"Roll2"), 0);
    form->set_height(1200);
    ASSERT_EQ(forms_->Roll2(&f, 2000), S_OK);
    EXPECT_TRUE(wait_for([] { return loaded_workers(L"Roll2") == 0; }));
    EXPECT_NEAR(form->height(), 2000, ty());

    // Transparency read back; 255 becomes 254 through the window's member.
    long result = -1;
    BYTE alpha = 255;
    ASSERT_EQ(forms_->Set_Transparenz(&f, &alpha, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(forms_->Get_Transparenz(&f, &error, &result), S_OK);
    EXPECT_EQ(result, 254);
    Recorder windowless({{L"Caption", Variant(L"x")}});
    IDispatch* w = &windowless;
    ASSERT_EQ(forms_->Get_Transparenz(&w, &error, &result), S_OK);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(error, 438);
    ASSERT_EQ(forms_->Set_Transparenz(&w, &alpha, &result), S_OK);
    EXPECT_EQ(result, 438);
    VARIANT by_object;
    V_VT(&by_object) = VT_DISPATCH;
    V_DISPATCH(&by_object) = f;
    ASSERT_EQ(forms_->Set_AllTransparent(by_object, &alpha, &result), S_OK);
    EXPECT_EQ(result, 0);
    BYTE got = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(form->hwnd(), nullptr, &got, &flags));
    EXPECT_EQ(got, 255);
    EXPECT_TRUE(GetWindowLongW(form->hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);

    // The taskbar button of a hidden form, which stays hidden.
    form->hide();
    Variant h(handle(form->hwnd()));
    for (VARIANT_BOOL show : {VARIANT_TRUE, VARIANT_FALSE}) {
        ASSERT_EQ(forms_->ShowInTaskBar(h.get(), &show), S_OK);
        EXPECT_EQ((GetWindowLongW(form->hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, show != VARIANT_FALSE);
        EXPECT_FALSE(IsWindowVisible(form->hwnd()));
    }
    ASSERT_EQ(forms_->Set_WindowShadow(f, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(GetClassLongPtrW(form->hwnd(), GCL_STYLE) & CS_DROPSHADOW);
}

// Places and sizes beyond any screen: each member fails as it does (its result,
// its error) before a step is taken or the form changes.
TEST_F(FormsEffects, PlacesAndSizesBeyondAnyScreenAreRefusedAtOnce) {
    IDispatch* f = disp();
    auto& box = form->add<forms::PictureBox>(L"Picture1");
    IDispatch* b = &box;
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX}) {
        long speed = 1, result = -1;
        for (IDispatch* target : {f, b})  // a form, and a control on it
            for (auto [x, y] : {std::pair{beyond, 0L}, std::pair{0L, beyond}}) {
                ASSERT_EQ(forms_->Move(&target, x, y, &speed, &result), S_OK);
                EXPECT_EQ(result, 380) << beyond;
            }
        ASSERT_EQ(forms_->Roll2(&f, beyond), S_OK);
        EXPECT_EQ(loaded_workers(L"Roll2"), 0) << beyond;

        // Another runtime's form with a control far out: its scale comes back, nothing else changes.
        Recorder control({{L"Left", Variant(beyond)}, {L"Top", Variant(0L)}, {L"Width", Variant(10L)},
                          {L"Height", Variant(10L)}});
        Recorder all({{L"Count", Variant(1L)}, {L"Item", Variant(static_cast<IDispatch*>(&control))}});
        Recorder other({{L"hWnd", Variant(0L)}, {L"ScaleMode", Variant(1L)}, {L"BorderStyle", Variant(0L)},
                        {L"Controls", Variant(static_cast<IDispatch*>(&all))}, {L"Width", Variant(0L)},
                        {L"Height", Variant(0L)}});
        IDispatch* o = &other;
        long error = -1;
        VARIANT_BOOL done = VARIANT_TRUE;
        ASSERT_EQ(forms_->ShowControlsOnly(&o, &error, &done), S_OK);
        EXPECT_FALSE(done);
        EXPECT_EQ(error, 380) << beyond;
        EXPECT_EQ(other.log, (std::vector<std::wstring>{L"ScaleMode=3", L"ScaleMode=1"})) << beyond;
    }
    EXPECT_EQ(form->left(), 900);
    EXPECT_EQ(form->top(), 900);
    EXPECT_EQ(errors.count("Move"), 12);

    // A shape from a picture too wide or too high for a window, or too large
    // for an image; a tile narrower than a pixel.
    HDC screen = GetDC(nullptr);
    const long per_pixel = 2540 / GetDeviceCaps(screen, LOGPIXELSX) + 1;  // HiMetric
    ReleaseDC(nullptr, screen);
    struct Shape {
        long w, h, error;  // pixels
    } shapes[] = {{1000000, 10, 380}, {10, 1000000, 380}, {9000, 9000, 480}};
    for (const Shape& shape : shapes) {
        ComPtr<IPictureDisp> picture = metafile_picture(shape.w * per_pixel, shape.h * per_pixel);
        IDispatch* p = picture.get();
        long result = -1;
        ASSERT_EQ(forms_->CreateFormFromPicture(&f, &p, nullptr, &result), S_OK);
        EXPECT_EQ(result, shape.error) << shape.w;
        EXPECT_FALSE(form->surface()->picture()) << shape.w;
        EXPECT_EQ(form->width(), 4800) << shape.w;
    }
    EXPECT_EQ(errors.count("CFFP"), 3);
    ComPtr<IPictureDisp> speck = metafile_picture(10, 10);
    IPictureDisp* tile = speck.get();
    long result = -1;
    ASSERT_EQ(forms_->Tile(&f, &tile, &result), S_OK);
    EXPECT_EQ(result, 5);
}

TEST_F(FormsEffects, TFadeAndControlRegions) {
    IDispatch* f = disp();
    VARIANT_BOOL current = VARIANT_FALSE;
    short step = 5, speed = 33;
    long result = -1;
    ASSERT_EQ(forms_->tFade(&f, 0, 255, &current, &step, &speed, &result), S_OK);
    EXPECT_EQ(result, 6);
    EXPECT_EQ(errors.count("tFade_"), 1);
    EXPECT_NE(errors.text().find("Class: Forms / Routine: tFade_"), std::string::npos);

    // Each windowed control gets a region; windowless ones are passed over.
    auto& a = form->add<forms::PictureBox>(L"Picture1");
    auto& b = form->add<forms::Button>(L"Command1");
    form->add<forms::Label>(L"Label1");
    ASSERT_EQ(forms_->MakeAllControlsTransparent(&f, &result), S_OK);
    EXPECT_EQ(result, 0);
    for (HWND h : {a.hwnd(), b.hwnd()}) {
        HRGN got = CreateRectRgn(0, 0, 0, 0);
        EXPECT_NE(GetWindowRgn(h, got), kNoRegion);
        DeleteObject(got);
    }
}

}  // namespace
