// The date picker, driven through its window by clicks and keys while
// Misc.DatePicker runs its modal loop: the steps run from a thread timer.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/frm_date.h"
#include "frame/misc.h"
#include "runtime/dates.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using qm::ComPtr;
using qm::DateSerial;
using qm::FrmDate;
using namespace qm::forms;
using namespace qmtest;

namespace {

using Step = std::function<void(FrmDate&)>;

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    int idle = 0;
};
Script* running = nullptr;

FrmDate* picker() {
    Form* f = forms_collection().find(L"frmDate", FormsCollection::ByName);
    return static_cast<FrmDate*>(f);
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    FrmDate* f = picker();
    if (!f || !running) return;
    ComPtr<FrmDate> keep(f);
    if (running->next < running->steps.size()) {
        running->steps[running->next++](*f);
    } else if (++running->idle > 20) {  // the script should have closed it
        ADD_FAILURE() << "the date picker is still open";
        f->unload();
    }
}

// Runs DatePicker on an in-process Misc while the steps drive the window.
DATE run_picker(std::vector<Step> steps) {
    Script script{std::move(steps)};
    running = &script;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, tick);
    ComPtr<_Misc> misc = ComPtr<_Misc>::attach(new qm::Misc());
    DATE picked = -1;
    EXPECT_EQ(misc->DatePicker(&picked), S_OK);
    KillTimer(nullptr, timer);
    running = nullptr;
    EXPECT_EQ(script.next, script.steps.size()) << "not every step ran";
    EXPECT_EQ(picker(), nullptr);
    return picked;
}

POINT centre(const Control& c) {
    RECT r = c.pixel_rect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A press and release of a mouse button on a control, in its container's window.
void click(Control& c, int button = 1) {
    POINT p = centre(c);
    LPARAM at = MAKELPARAM(p.x, p.y);
    HWND h = c.container_hwnd();
    UINT down = button == 2 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, up = button == 2 ? WM_RBUTTONUP : WM_LBUTTONUP;
    PostMessageW(h, WM_MOUSEMOVE, 0, at);
    PostMessageW(h, down, button == 2 ? MK_RBUTTON : MK_LBUTTON, at);
    PostMessageW(h, up, 0, at);
}

void key(HWND h, wchar_t c, int times = 1) {
    for (int i = 0; i < times; ++i) PostMessageW(h, WM_CHAR, c, 1);
}

Label& cell(FrmDate& f, long i) { return f.get<Label>(L"Label2", i); }
std::wstring caption(FrmDate& f, const wchar_t* name, long i = -1) { return f.get<Label>(name, i).caption(); }

// Keys that move the calendar from the current month to month/year.
void go_to(FrmDate& f, int month, int year) {
    HWND h = f.hwnd();
    int years = year - f.shown_year(), months = month - f.shown_month();
    key(h, years > 0 ? L'*' : L'/', std::abs(years));
    key(h, months > 0 ? L'+' : L'-', std::abs(months));
}

TEST(DatePicker, MonthsYearsKeysAndAChosenDay) {
    DATE today = qm::Date();
    PinnedPointer pointer({40, 60});  // where the picker opens
    DATE picked = run_picker({
        [&](FrmDate& f) {
            EXPECT_EQ(f.caption(), L"Calendrier");
            EXPECT_EQ(f.get<Button>(L"cmdClose").caption(), L"Fermer");
            EXPECT_EQ(f.shown_date(), today);
            EXPECT_EQ(caption(f, L"Lib", 0), L"Mo.");
            EXPECT_EQ(caption(f, L"Lib", 6), L"So.");
            EXPECT_EQ(caption(f, L"Sem", 0), L"");
            go_to(f, 2, 2100);
        },
        [](FrmDate& f) {
            // February 2100 has 28 days: the cell after the 28th is the grey 1 of March.
            EXPECT_EQ(caption(f, L"lblMois"), L"Februar");
            EXPECT_EQ(caption(f, L"lblAnnée"), L"2100");
            long first = 0;  // 1.2.2100 is a Monday
            EXPECT_EQ(caption(f, L"Label2", first), L" 1");
            EXPECT_EQ(caption(f, L"Label2", first + 27), L" 28");
            EXPECT_EQ(caption(f, L"Label2", first + 28), L" 1");
            EXPECT_EQ(cell(f, first + 28).fore_color(), static_cast<OLE_COLOR>(qb_color(8)));
            EXPECT_EQ(cell(f, first).fore_color(), static_cast<OLE_COLOR>(qb_color(0)));
            go_to(f, 3, 2025);
        },
        [](FrmDate& f) {
            // March 2025 begins on a Saturday: 24 to 28 February stand before it in grey.
            EXPECT_EQ(caption(f, L"lblMois"), L"März");
            for (long i = 0; i < 5; ++i) {
                EXPECT_EQ(caption(f, L"Label2", i), L" " + std::to_wstring(24 + i));
                EXPECT_EQ(cell(f, i).fore_color(), static_cast<OLE_COLOR>(qb_color(8)));
            }
            EXPECT_EQ(caption(f, L"Label2", 5), L" 1");
            go_to(f, 1, 2000);
        },
        [](FrmDate& f) {
            EXPECT_EQ(caption(f, L"lblMois"), L"Januar");
            // Back from January 2000 is December 1999, by the button that holds the focus.
            key(f.get<Button>(L"cmdClose").hwnd(), L'-');
        },
        [](FrmDate& f) {
            EXPECT_EQ(caption(f, L"lblMois"), L"Dezember");
            EXPECT_EQ(caption(f, L"lblAnnée"), L"1999");
            click(f.get<Label>(L"MoisD"));  // January 2000
            click(f.get<Label>(L"AnnéeD"));  // January 2001
        },
        [](FrmDate& f) {
            EXPECT_EQ(f.shown_month(), 1);
            EXPECT_EQ(f.shown_year(), 2001);
            click(f.get<Label>(L"lblMois"), 2);  // right button: forward
            click(f.get<Label>(L"lblAnnée"), 1);  // left button: back
        },
        [](FrmDate& f) {
            EXPECT_EQ(f.shown_month(), 2);
            EXPECT_EQ(f.shown_year(), 2000);
            click(f.get<Label>(L"MoisG"));
            click(f.get<Label>(L"AnnéeG"));
        },
        [](FrmDate& f) {
            EXPECT_EQ(f.shown_month(), 1);
            EXPECT_EQ(f.shown_year(), 1999);
            go_to(f, 2, 2024);
        },
        [](FrmDate& f) {
            // The hover mark follows the mouse over the cells and goes over the
            // form. Each move is handled and checked before the display's own
            // moves of its pointer can reach the window.
            Shape& sel = f.get<Shape>(L"picSel");
            const POINT p = centre(cell(f, 10));
            SendMessageW(f.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
            EXPECT_TRUE(sel.visible());
            EXPECT_EQ(sel.left(), cell(f, 10).left());
            SendMessageW(f.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            EXPECT_FALSE(sel.visible());
            // February 2024 begins on a Thursday: the grey 30 of the first row is 30 January.
            EXPECT_EQ(caption(f, L"Label2", 1), L" 30");
            click(cell(f, 1));
        },
    });
    EXPECT_EQ(picked, DateSerial(2024, 1, 30));
    EXPECT_EQ(qm::PickedDate, DateSerial(2024, 1, 30));
}

TEST(DatePicker, ClosingKeepsTheLastChoiceAndNeighbourMonthsWrap) {
    // A grey day of the next month in December is January of the next year.
    DATE picked = run_picker({
        [](FrmDate& f) { go_to(f, 12, 2030); },
        [](FrmDate& f) {
            EXPECT_EQ(caption(f, L"lblAnnée"), L"2030");
            // 1.12.2030 is a Sunday: cells 6 to 36 hold December, 37 on January.
            EXPECT_EQ(caption(f, L"Label2", 36), L" 31");
            EXPECT_EQ(caption(f, L"Label2", 37), L" 1");
            click(cell(f, 38));
        },
    });
    EXPECT_EQ(picked, DateSerial(2031, 1, 2));

    // The close button and the close glyph leave the last choice.
    picked = run_picker({
        [](FrmDate& f) { PostMessageW(f.get<Button>(L"cmdClose").hwnd(), BM_CLICK, 0, 0); },
    });
    EXPECT_EQ(picked, DateSerial(2031, 1, 2));
    picked = run_picker({
        [](FrmDate& f) { click(f.get<Image>(L"imgClose")); },
    });
    EXPECT_EQ(picked, DateSerial(2031, 1, 2));
}

TEST(DatePicker, OpensLeftOfTheCursorAtTheScreensRightEdge) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    const POINT at{width - 10, 100};
    int form_px = static_cast<int>(FrmDate::kWidth / screen_twips_per_pixel_x() + 0.5f);
    PinnedPointer pointer(at);
    RECT r{};
    run_picker({
        [&](FrmDate& f) {
            GetWindowRect(f.hwnd(), &r);
            f.unload();
        },
    });
    EXPECT_NEAR(r.left, at.x - form_px, 1);
    EXPECT_NEAR(r.top, 100, 1);
    EXPECT_NEAR(r.right - r.left, form_px, 1);
}

// Through the registered DLL: the client sees the window and picks a day.
TEST(DatePicker, ThroughTheRegisteredClass) {
    static DATE expected = 0;
    DATE today = qm::Date();
    long offset = qm::Weekday(DateSerial(qm::Year(today), qm::Month(today), 1), qm::Monday) - 1;
    expected = DateSerial(qm::Year(today), qm::Month(today), 11 - offset);  // cell 10
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        HWND form = FindWindowW(L"ThunderRT6FormDC", L"Calendrier");
        if (!form) return;
        float tpp = screen_twips_per_pixel_x();
        int x = static_cast<int>((FrmDate::kGridLeft + 3.5f * FrmDate::kCellWidth) / tpp);
        int y = static_cast<int>((FrmDate::kCellsTop + 1.5f * FrmDate::kCellHeight) / tpp);
        PostMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(form, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    });
    ComPtr<IDispatch> misc = create(L"Quillmark.Misc");
    qm::Variant result;
    ASSERT_EQ(call(misc.get(), L"DatePicker", {}, result.get()), S_OK);
    KillTimer(nullptr, timer);
    ASSERT_EQ(result.vt(), VT_DATE);
    EXPECT_EQ(V_DATE(result.get()), expected);
}

}  // namespace
