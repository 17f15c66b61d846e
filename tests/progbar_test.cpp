// The progress window on the real window (sizes, percent texts, bar and label
// colours), the Forms placement it uses, and ListPrimeFactors with progress.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "frame/progbar.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::ComPtr;
using qm::ProgBar;
using qm::Variant;
using namespace qm::forms;
using namespace qmtest;
namespace late = qm::late;

namespace {

constexpr long kRed = 0x0000FF;
constexpr OLE_COLOR kWhite = 0xFFFFFF;

int px(float twips) { return static_cast<int>(std::lround(twips / twips_per_pixel_y())); }

RECT window_rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

class ProgBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar = make<ProgBar>();
        bar->load();
    }
    void TearDown() override {
        if (bar) bar->unload();
    }
    std::wstring percent() { return bar->get<Label>(L"Label1").caption(); }
    OLE_COLOR percent_color() { return bar->get<Label>(L"Label1").fore_color(); }
    HScrollBar& scroll() { return bar->get<HScrollBar>(L"HScroll"); }
    PictureBox& picture() { return bar->get<PictureBox>(L"Picture1"); }
    // A pixel of the bar as the screen shows it, x in pixels from the left edge.
    COLORREF bar_pixel(int x) {
        do_events();
        HWND h = picture().hwnd();
        HDC dc = GetDC(h);
        RECT r{};
        GetClientRect(h, &r);
        COLORREF c = GetPixel(dc, x, r.bottom / 2);
        ReleaseDC(h, dc);
        return c;
    }
    int bar_width_px() {
        RECT r{};
        GetClientRect(picture().hwnd(), &r);
        return r.right;
    }

    ComPtr<ProgBar> bar;
};

TEST_F(ProgBarTest, StartsHiddenAndShowsCentredAndTopmost) {
    EXPECT_FALSE(IsWindowVisible(bar->hwnd()));
    bar->SetOption(0, 100, L"Dateien werden kopiert", true, 255);
    HWND h = bar->hwnd();
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_TRUE(GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(bar->get<Frame>(L"Frame1").caption(), L"Dateien werden kopiert");
    EXPECT_EQ(bar->get<Label>(L"Message").caption(), L"");
    EXPECT_EQ(percent(), L"0%");

    RECT r = window_rect(h);
    int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(r.left, (screen_w - (r.right - r.left)) / 2, 1);
    EXPECT_NEAR(r.top, (screen_h - (r.bottom - r.top)) / 2, 1);
}

TEST_F(ProgBarTest, SizesWithAndWithoutTheBar) {
    bar->SetOption(0, 100, L"Mit Balken", true, 255);
    RECT form = window_rect(bar->hwnd());
    RECT frame = window_rect(bar->get<Frame>(L"Frame1").hwnd());
    EXPECT_EQ(form.right - form.left, px(5895));
    EXPECT_EQ(form.bottom - form.top, px(1400));
    EXPECT_EQ(frame.bottom - frame.top, px(1200));
    EXPECT_EQ(bar->get<Label>(L"Label2").height(), 900);
    EXPECT_EQ(picture().top(), 750);
    EXPECT_TRUE(IsWindowVisible(picture().hwnd()));
    EXPECT_EQ(percent_color(), 255u);

    bar->SetOption(0, 100, L"Ohne Balken", false, 255);
    form = window_rect(bar->hwnd());
    frame = window_rect(bar->get<Frame>(L"Frame1").hwnd());
    EXPECT_EQ(form.right - form.left, px(5895));
    EXPECT_EQ(form.bottom - form.top, px(1275));
    EXPECT_EQ(frame.bottom - frame.top, px(1095));
    EXPECT_EQ(bar->get<Label>(L"Message").height(), 495);
    EXPECT_FALSE(IsWindowVisible(picture().hwnd()));
}

TEST_F(ProgBarTest, LargeRangesAreScaled) {
    bar->SetOption(0, 100000, L"Skaliert", true, 255);
    EXPECT_EQ(bar->divisor(), 10);
    EXPECT_EQ(scroll().s_.max, 10000);
    bar->SetValue(50000, 255);
    EXPECT_EQ(percent(), L"50%");
    EXPECT_EQ(scroll().value(), 5000);

    bar->SetOption(0, 32767, L"Genau", true, 255);
    EXPECT_EQ(bar->divisor(), 1);
    EXPECT_EQ(scroll().s_.max, 32767);
    bar->SetOption(0, 32768, L"Knapp darüber", true, 255);
    EXPECT_EQ(bar->divisor(), 10);
    bar->SetOption(0, 2147483647, L"Ganz groß", true, 255);
    EXPECT_EQ(bar->divisor(), 100000);
    bar->SetValue(2147483647, 255);
    EXPECT_EQ(percent(), L"100%");
}

TEST_F(ProgBarTest, MinimumAndPositionShareOneScale) {
    // With a scaled range the minimum is scaled too: half way shows 50 %.
    bar->SetOption(50000, 150000, L"Ab fünfzigtausend", true, 255);
    EXPECT_EQ(scroll().s_.min, 5000);
    bar->SetValue(100000, 255);
    EXPECT_EQ(percent(), L"50%");
    bar->SetValue(50000, 255);
    EXPECT_EQ(percent(), L"0%");
}

// Callers that redraw only when the shown percentage changes rely on percent_at
// telling exactly what SetValue would show, rounding of scaled positions included.
TEST_F(ProgBarTest, PercentAtPredictsTheShownPercentage) {
    bar->SetOption(0, 1024000, L"Vorhersage", true, 255);
    ASSERT_EQ(bar->divisor(), 100);
    for (long value : {0L, 49L, 50L, 10235L, 10249L, 10250L, 511999L, 512000L, 1023949L, 1023950L, 1024000L}) {
        bar->SetValue(value, 255);
        EXPECT_EQ(percent(), std::to_wstring(bar->percent_at(value)) + L"%") << value;
    }
    EXPECT_EQ(bar->percent_at(1024100), -1);  // beyond the end: SetValue draws nothing
    EXPECT_EQ(bar->percent_at(-100), -1);
}

TEST_F(ProgBarTest, PositionsOutsideTheRangeChangeNothing) {
    bar->SetOption(100, 1100, L"Bereich", true, 255);
    bar->SetValue(600, 255);
    EXPECT_EQ(percent(), L"50%");
    bar->SetValue(50, 255);
    EXPECT_EQ(percent(), L"50%");
    bar->SetValue(2000, 255);
    EXPECT_EQ(percent(), L"50%");
    bar->SetValue(1100, 255);
    EXPECT_EQ(percent(), L"100%");
}

TEST_F(ProgBarTest, BarIsDrawnAndZeroPercentLeavesIt) {
    bar->SetOption(0, 100, L"Balken", true, 255);
    bar->SetValue(50, 255);
    int width = bar_width_px();
    EXPECT_EQ(bar_pixel(1), static_cast<COLORREF>(kRed));
    EXPECT_EQ(bar_pixel(width * 3 / 10), static_cast<COLORREF>(kRed));
    EXPECT_NE(bar_pixel(width * 9 / 10), static_cast<COLORREF>(kRed));

    // Percent 0: the label says so, the picture keeps the bar it had.
    bar->SetValue(0, 255);
    EXPECT_EQ(percent(), L"0%");
    EXPECT_EQ(bar_pixel(width * 3 / 10), static_cast<COLORREF>(kRed));

    bar->SetValue(10, 255);
    EXPECT_NE(bar_pixel(width * 3 / 10), static_cast<COLORREF>(kRed));
    bar->SetValue(100, 255);
    EXPECT_EQ(bar_pixel(width - 3), static_cast<COLORREF>(kRed));
}

TEST_F(ProgBarTest, LabelTurnsWhiteAtHalfAndStaysWhite) {
    bar->SetOption(0, 200, L"Farbe", true, 255);
    bar->SetValue(98, 255);
    EXPECT_EQ(percent(), L"49%");
    EXPECT_EQ(percent_color(), 255u);
    bar->SetValue(100, 255);
    EXPECT_EQ(percent(), L"50%");
    EXPECT_EQ(percent_color(), kWhite);
    bar->SetValue(20, 255);
    EXPECT_EQ(percent(), L"10%");
    EXPECT_EQ(percent_color(), kWhite);
    // A new run starts in the bar's colour again.
    bar->SetOption(0, 200, L"Farbe", true, 0xFF0000);
    EXPECT_EQ(percent_color(), 0xFF0000u);
}

TEST_F(ProgBarTest, CallersReachItLateBound) {
    IDispatch* disp = bar.get();
    late::call(disp, L"SetOption", {Variant(0L), Variant(400L), Variant(L"Spät gebunden"), Variant(true), Variant(255L)});
    late::call(disp, L"SetValue", {Variant(300L), Variant(255L)});
    EXPECT_EQ(percent(), L"75%");
    ComPtr<IDispatch> message = late::object(*late::get(disp, L"Message").get());
    late::put(message.get(), L"Caption", Variant(L"Datei 3 von 4"));
    EXPECT_EQ(bar->get<Label>(L"Message").caption(), L"Datei 3 von 4");
    EXPECT_EQ(qm::CStr(*late::get(disp, L"Name").get()), L"ProgBar");
}

// Forms.Center and Forms.StayOnTop on a client's form, through the registered class.
class FormsPlacement : public ::testing::Test {
protected:
    void SetUp() override {
        forms_class = create(L"Quillmark.Forms");
        ASSERT_TRUE(forms_class);
        vtable = forms_class.query<_Forms>();
        form = make<Form>();
        form->set_border_style(3);
        form->show();
        form->move(300, &top, &width, &height);
    }
    void TearDown() override { form->unload(); }
    long center(long where) {
        IDispatch* d = form.get();
        cCenterInfo w = static_cast<cCenterInfo>(where);
        long r = -1;
        EXPECT_EQ(vtable->Center(&d, &w, &r), S_OK);
        return r;
    }
    float top = 450, width = 3000, height = 2010;
    ComPtr<IDispatch> forms_class;
    ComPtr<_Forms> vtable;
    ComPtr<Form> form;
};

TEST_F(FormsPlacement, CenterPlacesTheFormOnTheScreen) {
    float sw = screen_width(), sh = screen_height();
    EXPECT_EQ(center(ccMIDDLE), 0);
    EXPECT_NEAR(form->left(), sw / 2 - width / 2, 15);
    EXPECT_NEAR(form->top(), sh / 2 - height / 2, 15);
    EXPECT_EQ(center(ccRIGHT), 0);
    EXPECT_NEAR(form->left() + form->width(), sw, 15);
    EXPECT_NEAR(form->top(), sh / 2 - height / 2, 15);
    EXPECT_EQ(center(ccLEFT), 0);
    EXPECT_NEAR(form->left(), 0, 15);
    EXPECT_EQ(center(ccTOP), 0);
    EXPECT_NEAR(form->top(), 0, 15);
    EXPECT_NEAR(form->left(), sw / 2 - width / 2, 15);
    // ccBOTTOM: the form's bottom edge on the top of the taskbar (the work area's bottom).
    EXPECT_EQ(center(ccBOTTOM), 0);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(window_rect(form->hwnd()).bottom, area.bottom);

    // Values outside 1 to 5 do nothing.
    float left = form->left(), before = form->top();
    EXPECT_EQ(center(6), 0);
    EXPECT_EQ(center(0), 0);
    EXPECT_EQ(form->left(), left);
    EXPECT_EQ(form->top(), before);

    // Late-bound, and with Nothing: error 91 comes back as the result.
    Variant r;
    Variant where(2L);
    Variant target = var(form);
    VARIANT ref = v_ref(target);
    VARIANT where_ref = v_ref(where);
    ASSERT_EQ(call(forms_class.get(), L"Center", {&ref, &where_ref}, r.put()), S_OK);
    EXPECT_EQ(V_I4(r.get()), 0);
    IDispatch* nothing = nullptr;
    cCenterInfo w = ccMIDDLE;
    long result = 0;
    EXPECT_EQ(vtable->Center(&nothing, &w, &result), S_OK);
    EXPECT_EQ(result, 91);
}

TEST_F(FormsPlacement, StayOnTopMakesTheFormTopmost) {
    IDispatch* d = form.get();
    long e = -1;
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(vtable->StayOnTop(&d, &e, &r), S_OK);
    EXPECT_EQ(r, VARIANT_TRUE);
    EXPECT_EQ(e, 0);
    EXPECT_TRUE(GetWindowLongPtrW(form->hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Nothing: False and error 91.
    IDispatch* nothing = nullptr;
    ASSERT_EQ(vtable->StayOnTop(&nothing, &e, &r), S_OK);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_EQ(e, 91);
}

TEST(ListPrimeFactorsProgress, ShowsAndUnloadsItsWindow) {
    ComPtr<IDispatch> disp = create(L"Quillmark.Mathematics");
    ComPtr<_Mathematics> m = disp.query<_Mathematics>();
    ASSERT_TRUE(m);
    auto progress_windows = [] {
        int n = 0;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM p) CALLBACK -> BOOL {
                wchar_t text[64] = {};
                GetWindowTextW(h, text, 64);
                if (std::wstring(text) == L"ListPrimeFactors") ++*reinterpret_cast<int*>(p);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&n));
        return n;
    };
    long num = 400000, start = 1;
    VARIANT_BOOL show = VARIANT_TRUE;
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(m->ListPrimeFactors(&num, &start, &show, &sa), S_OK);
    qm::SafeArray list = qm::SafeArray::attach(sa, VT_I4);
    EXPECT_EQ(list.count(), 17984);  // the odd primes up to 200000, and 1
    EXPECT_EQ(list.at<long>(list.count() - 1), 199999);
    EXPECT_EQ(progress_windows(), 0);
}

}  // namespace
