// Dialog.TrayPopup on real windows: the caller's variables, the window's
// placement, layering and layout, the unrolling out of the taskbar, the stay
// measured on an injected clock, parallel pop-ups and a refused speed.
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "about/frm_credits.h"
#include "frame/shared.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

struct Popup {
    std::wstring title = L"Titel", message = L"Eine Nachricht";
    long close_timer = 1, speed = 0;
    Variant fade_to = Variant::missing(), side = Variant::missing(), back = Variant::missing();
    std::wstring mail, url;
    BYTE alpha = 200;
    ComPtr<IDispatch> title_font, message_font;
    long show() {
        Bstr m(mail), u(url);
        BSTR pm = m.get(), pu = u.get();
        long align = 0, r = -1;
        IDispatch* tf = title_font.detach();
        IDispatch* mf = message_font.detach();
        EXPECT_EQ(shared<_Dialog>()->TrayPopup(Bstr(title).get(), Bstr(message).get(), &close_timer, v_missing(),
                                               v_missing(), &tf, back, fade_to, v_missing(), &mf, &align,
                                               mail.empty() ? nullptr : &pm, url.empty() ? nullptr : &pu, side,
                                               &alpha, &speed, &r),
                  S_OK);
        title_font.reset(), message_font.reset();
        *title_font.put() = tf;
        *message_font.put() = mf;
        return r;
    }
};

std::vector<ComPtr<forms::Form>> popups() {
    std::vector<ComPtr<forms::Form>> found;
    for (auto& f : forms::forms_collection().snapshot())
        if (f->name() == L"frmCredits") found.push_back(f);
    return found;
}

FrmCredits& only_popup() {
    auto all = popups();
    EXPECT_EQ(all.size(), 1u);
    if (all.empty()) throw std::runtime_error("no pop-up");
    return static_cast<FrmCredits&>(*all.front().get());
}

// Pumps messages until done() holds or about 20 s have passed.
using qmtest::pump_until;

RECT rect_of(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

// A pixel of the window as it has drawn itself, at a point of the screen.
COLORREF window_pixel(HWND h, POINT at) {
    const RECT r = rect_of(h);
    HDC dc = GetWindowDC(h);
    const COLORREF c = GetPixel(dc, at.x - r.left, at.y - r.top);
    ReleaseDC(h, dc);
    return c;
}

bool close_to(COLORREF a, COLORREF b, int tolerance = 3) {
    auto d = [=](int x, int y) { return std::abs(x - y) <= tolerance; };
    return d(GetRValue(a), GetRValue(b)) && d(GetGValue(a), GetGValue(b)) && d(GetBValue(a), GetBValue(b));
}

struct FontSeen {
    long size_tenths = 0;
    bool bold = false;
};
FontSeen read_font(IDispatch* font) {
    FontSeen seen;
    ComPtr<IFont> f;
    if (!font || FAILED(font->QueryInterface(IID_IFont, f.put_void()))) return seen;
    CY size{};
    f->get_Size(&size);
    BOOL b = FALSE;
    f->get_Bold(&b);
    return {static_cast<long>(size.int64 / 1000), b != FALSE};
}

// The pop-ups' clock, held by the test: a pop-up stays until the test moves
// the clock on, however slowly the display shows it.
struct HeldClock {
    static inline ULONGLONG now = 0;
    FrmCredits::Clock saved = FrmCredits::clock();
    explicit HeldClock(ULONGLONG at) {
        now = at;
        FrmCredits::clock() = [] { return now; };
    }
    ~HeldClock() { FrmCredits::clock() = saved; }
};

int taskbar_top() {
    CONTROLPOSITION bar{};
    shared<_Desktop>()->Taskbar_GetPos(&bar);
    return bar.Top;
}

}  // namespace

TEST(DialogTrayPopup, DefaultsRiseOutOfTheTaskbarStayAndRollDown) {
    for (long close_timer : {0L, -5L}) {
        Popup p;
        p.close_timer = close_timer;
        p.speed = close_timer == 0 ? 2 : 0;
        p.fade_to = Variant(-1L);
        EXPECT_EQ(p.show(), 0);
        EXPECT_EQ(p.close_timer, 3);
        FontSeen tf = read_font(p.title_font.get()), mf = read_font(p.message_font.get());
        EXPECT_NEAR(tf.size_tenths, 100, 3);  // whole pixels: 9.75 at 96 dpi
        EXPECT_NEAR(mf.size_tenths, 120, 3);
        EXPECT_TRUE(tf.bold && mf.bold);

        FrmCredits& f = only_popup();
        HWND h = f.hwnd();
        const int screen_h = GetSystemMetrics(SM_CYSCREEN), screen_w = GetSystemMetrics(SM_CXSCREEN);
        EXPECT_GE(rect_of(h).top, screen_h);  // set up below the screen
        EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
        EXPECT_EQ(alpha, 200);

        ASSERT_TRUE(pump_until([&] { return f.tray_shown(); }));
        RECT r = rect_of(h);
        EXPECT_EQ(r.bottom, taskbar_top());
        EXPECT_EQ(r.right, screen_w);
        EXPECT_GT(r.bottom - r.top, 0);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(pump_until([] { return popups().empty(); }));
        EXPECT_FALSE(IsWindow(h));
    }
}

TEST(DialogTrayPopup, LayoutEdgesBackgroundAndLinkHover) {
    struct Case {
        const wchar_t *mail, *url;
        long fade_to;
    } cases[] = {{L"", L"", -1}, {L"", L"http://127.0.0.1/x", 0x00FFFF}, {L"a@b.example", L"http://127.0.0.1/x", -1}};
    HeldClock clock(43'200'000);
    for (const Case& c : cases) {
        Popup p;
        p.mail = c.mail, p.url = c.url;
        p.side = Variant(0x00FF00L), p.back = Variant(0x400000L), p.fade_to = Variant(c.fade_to);
        ASSERT_EQ(p.show(), 0);
        FrmCredits& f = only_popup();
        auto& message = f.get<forms::Label>(L"lblMessage");
        auto& url = f.get<forms::Label>(L"lblURL");
        auto& mail = f.get<forms::Label>(L"lblSendMail");
        EXPECT_EQ(url.visible(), !p.url.empty());
        EXPECT_EQ(mail.visible(), !p.mail.empty());
        // The links follow the message, the web address first; the window wraps them.
        float bottom = message.top() + message.height();
        for (forms::Label* link : {&url, &mail}) {
            if (!link->visible()) continue;
            EXPECT_NEAR(link->top(), bottom + (link == &url), 15);
            EXPECT_EQ(link->width(), message.width());
            bottom = link->top() + link->height();
        }
        EXPECT_NEAR(f.height(), bottom + 120 + f.get<forms::Label>(L"Side", 1).height(), 15);
        EXPECT_NEAR(f.width(), message.left() + message.width() + 120 + f.get<forms::Label>(L"Side", 2).width(), 15);

        ASSERT_TRUE(pump_until([&] { return f.tray_shown(); }));
        // The edges as the window has painted them (the display shows them in its
        // own time).
        RECT r = rect_of(f.hwnd());
        const int mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
        const POINT edges[] = {{r.left + 1, my}, {mx, r.bottom - 2}, {r.right - 2, my}, {mx, r.top + 1}};
        std::vector<COLORREF> seen;
        EXPECT_TRUE(pump_until([&] {
            seen.clear();
            for (POINT edge : edges) seen.push_back(window_pixel(f.hwnd(), edge));
            return std::all_of(seen.begin(), seen.end(), [](COLORREF c) { return close_to(c, RGB(0, 255, 0)); });
        })) << r.left << "," << r.top << " - " << r.right << "," << r.bottom << ": " << ::testing::PrintToString(seen);
        // The drawn background: plain, or from the top colour to the bottom one.
        forms::Surface& s = *f.surface();
        const long top = s.point(f.width() / 2, 0), low = s.point(f.width() / 2, f.height() - forms::twips_per_pixel_y());
        EXPECT_TRUE(close_to(top, 0x400000)) << std::hex << top;
        EXPECT_TRUE(close_to(low, c.fade_to < 0 ? 0x400000 : 0x00FFFF, 8)) << std::hex << low;
        if (url.visible()) {
            // The pointer over the web address colours it; away from it, back again.
            const RECT link = url.pixel_rect();
            PinnedPointer pointer({r.left + (link.left + link.right) / 2, r.top + (link.top + link.bottom) / 2});
            EXPECT_TRUE(pump_until([&] { return url.fore_color() == 0xFF0000; }));
            pointer.move({5, 5});
            EXPECT_TRUE(pump_until([&] { return url.fore_color() == 0x00FFFF; }));
        }
        HeldClock::now += 1000;  // the stay has passed
        EXPECT_TRUE(pump_until([] { return popups().empty(); }));
    }
}

TEST(DialogTrayPopup, StayIsMeasuredOnTheClockAcrossMidnight) {
    HeldClock clock(86'399'500);  // half a second before midnight, as milliseconds of the day
    Popup p;
    ASSERT_EQ(p.show(), 0);
    FrmCredits& f = only_popup();
    ASSERT_TRUE(pump_until([&] { return f.tray_shown(); }));
    // The stay has not passed on the clock: the window stays however long we wait.
    pump_until([start = GetTickCount64()] { return GetTickCount64() - start > 1500; });
    EXPECT_EQ(popups().size(), 1u);
    HeldClock::now += 1000;
    EXPECT_TRUE(pump_until([] { return popups().empty(); }));
}

TEST(DialogTrayPopup, ExtraTimerEventsDuringTheUnrollingChangeNothing) {
    Popup p;
    p.speed = 1;
    ASSERT_EQ(p.show(), 0);
    static FrmCredits* f = nullptr;
    static int sent = 0;
    f = &only_popup();
    sent = 0;
    const float full = f->height();
    // A thread timer runs inside the unrolling's yields and hands it more timer events.
    UINT_PTR extra = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        if (f->loaded() && IsWindowVisible(f->hwnd()) && !f->tray_shown() && sent < 3) {
            ++sent;
            f->get<forms::Timer>(L"tmrTrayScroll").on.timer();
        }
    });
    EXPECT_TRUE(pump_until([&] { return f->tray_shown(); }));
    KillTimer(nullptr, extra);
    EXPECT_GT(sent, 0);
    EXPECT_NEAR(f->height(), full, 15);
    EXPECT_EQ(rect_of(f->hwnd()).bottom, taskbar_top());
    EXPECT_TRUE(pump_until([] { return popups().empty(); }));
}

TEST(DialogTrayPopup, TwoAtOnceAndARefusedSpeed) {
    Popup a, b;
    ASSERT_EQ(a.show(), 0);
    ASSERT_EQ(b.show(), 0);
    auto both = popups();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_TRUE(pump_until([&] {
        return static_cast<FrmCredits&>(*both[0].get()).tray_shown() && static_cast<FrmCredits&>(*both[1].get()).tray_shown();
    }));
    both.clear();
    EXPECT_TRUE(pump_until([] { return popups().empty(); }));

    // A pause that would overflow fails before any window exists.
    Popup c;
    c.speed = 30'000'000;
    EXPECT_EQ(c.show(), 6);
    EXPECT_TRUE(popups().empty());
}

// The links: the web address to the browser, maximised, and a new mail to the
// address (the recorder stands in for both programs).
TEST(DialogTrayPopup, LinksOpenTheAddressAndANewMail) {
    const std::wstring log = scratch() + L"tray_links.log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", log.c_str());
    Popup p;
    p.mail = L"a@b.example", p.url = L"http://127.0.0.1/credits";
    ASSERT_EQ(p.show(), 0);
    FrmCredits& f = only_popup();
    {
        RecorderAsBrowser browser;
        f.get<forms::Label>(L"lblURL").on.click();
        f.get<forms::Label>(L"lblSendMail").on.click();
        EXPECT_EQ(recorder_launches(log, 2),
                  (std::vector<Launch>{{"iexplore.exe", 3, {"http://127.0.0.1/credits"}},
                                       {"qmrecorder.exe", 1, {"mailto:a@b.example?Subject=&Body="}}}));
    }
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    EXPECT_TRUE(pump_until([] { return popups().empty(); }));
}
