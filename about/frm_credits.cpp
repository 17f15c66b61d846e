// frmCredits: its controls and the tray pop-up's animation.
#include "about/frm_credits.h"

#include <algorithm>
#include <cmath>

#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"

namespace qm {

using namespace forms;

namespace {

ULONGLONG system_clock() { return GetTickCount64(); }

int px_y(float twips) { return static_cast<int>(std::lround(twips / twips_per_pixel_y())); }

}  // namespace

FrmCredits::Clock& FrmCredits::clock() noexcept {
    static Clock c = system_clock;
    return c;
}

FrmCredits::FrmCredits() {
    set_name(L"frmCredits");
    border_style_ = 0;
    w_ = 3600;
    h_ = 2400;
    on.load = [this] {
        for (const wchar_t* link : {L"lblSendMail", L"lblURL"}) {
            auto& label = get<Label>(link);
            label.set_caption(L"");
            label.set_visible(false);
        }
        get<Timer>(L"tmrTrayScroll").set_enabled(false);
        get<Timer>(L"Timer").set_enabled(false);
        shown_ = false;
    };
    on.unload = [this](int&) {
        // The timers stop first: an unloading instance starts no animation or scroll.
        for (const wchar_t* name : {L"tmrTrayScroll", L"Timer"})
            if (Control* t = control(name)) static_cast<Timer*>(t)->set_enabled(false);
        hide();
        do_events();
    };
}

void FrmCredits::design() {
    auto place = [](Control& c, float left, float top, float width, float height) {
        c.move(left, &top, &width, &height);
    };
    // The title bar is a label; the title lies on it.
    place(add<Label>(L"lblIn"), 120, 120, 3000, 375);
    auto& title = add<Label>(L"lblTitle");
    title.s_.back_style = 0;
    place(title, 240, 180, 2760, 255);
    auto& message = add<Label>(L"lblMessage");
    message.s_.back_style = 0;
    place(message, 120, 600, 3000, 1000);
    // The links' designed places: the web address above the mail address.
    float top = 1320;
    for (const wchar_t* name : {L"lblURL", L"lblSendMail"}) {
        auto& link = add<Label>(name);
        link.s_.back_style = 0;
        link.set_font_name(L"MS Sans Serif");
        place(link, 120, top, 3000, 195);
        top += 300;
    }
    get<Label>(L"lblSendMail").on.click = [this] {
        const Bstr to(get<Label>(L"lblSendMail").caption()), none(L"");
        VARIANT_BOOL sent = VARIANT_FALSE;
        shared<_Network>()->SendNewMail(to.get(), none.get(), none.get(), &sent);
    };
    get<Label>(L"lblURL").on.click = [this] {
        shared<_Network>()->OpenURL(Bstr(get<Label>(L"lblURL").caption()).get(), 3);  // maximised
    };
    // The edge bars: 0 left, 1 bottom, 2 right, 3 top.
    for (long side = 0; side < 4; ++side) {
        const float thick = 60;
        place(add_element<Label>(L"Side", side), 0, 0, side % 2 ? w_ : thick, side % 2 ? thick : h_);
    }
    auto& buffer = add<PictureBox>(L"picBuffer");
    buffer.set_font_name(L"Arial");
    buffer.set_visible(false);
    buffer.surface()->set_auto_redraw(true);
    add<Timer>(L"tmrTrayScroll").on.timer = [this] { tray_tick(); };
    add<Timer>(L"Timer").on.timer = [this] { scroll_tick(); };
}

int FrmCredits::bottom_band() {
    CONTROLPOSITION bar{};
    check(shared<_Desktop>()->Taskbar_GetPos(&bar));
    const int screen = px_y(screen_height());
    const bool bottom = bar.Bottom >= screen && bar.Top > 0 && bar.Right - bar.Left > bar.Bottom - bar.Top;
    return bottom ? bar.Bottom - bar.Top : 0;
}

bool FrmCredits::step_pause() {
    const long long turns = static_cast<long long>(speed_) * 100;
    for (long long i = 0; i < turns && loaded(); ++i) do_events();
    if (turns < 1) do_events();  // the window still gets painted
    return loaded();
}

void FrmCredits::tray_tick() {
    // One unrolling and one rolling down per window, whatever ticks arrive
    // while their loops yield.
    if (animating_) return;
    if (!shown_) return unroll();
    if (clock()() - shown_at_ < static_cast<ULONGLONG>(close_delay_) * 1000) return static_cast<void>(do_events());
    roll_down();
}

void FrmCredits::unroll() {
    animating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{animating_};
    const float tpp = twips_per_pixel_y();
    const int height = px_y(this->height());
    set_height(0);
    surface()->set_auto_redraw(true);  // the gradient drawn at set-up stays while the window grows
    check(shared<_Window>()->Set_WindowState(static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd())), SW_SHOWNOACTIVATE));
    refresh();
    do_events();
    if (!loaded()) return;

    // Whole pixels, the bottom edge on the band's top edge.
    const int start = px_y(screen_height()) - bottom_band(), end = start - height;
    for (int y = start - 1; y >= end; --y) {
        const float top = y * tpp, h = (start - y) * tpp;
        move(left(), &top, nullptr, &h);
        if (!step_pause()) return;
    }
    shown_ = true;
    shown_at_ = clock()();
    get<Timer>(L"tmrTrayScroll").set_interval(500);
}

void FrmCredits::roll_down() {
    animating_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{animating_};
    const float tpp = twips_per_pixel_y();
    const int screen = px_y(screen_height());
    int h = px_y(height());
    for (int y = px_y(top()) + 1; y <= screen; ++y) {
        h = std::max(0, h - 1);
        const float top = y * tpp, height = h * tpp;
        move(left(), &top, nullptr, &height);
        if (!step_pause()) return;
    }
    unload();
}

const Table& FrmCredits::table() const {
    static const Table t({&Form::members()},
                         {
                             {L"SetScroll",
                              [](Object& o, const Args& a) {
                                  return var(static_cast<FrmCredits&>(o).SetScroll(a.obj(0), a.str(1), a.lng(2)));
                              }},
                             {L"Wait",
                              [](Object& o, const Args& a) {
                                  static_cast<FrmCredits&>(o).Wait(a.lng(0));
                                  return Variant();
                              }},
                         });
    return t;
}

}  // namespace qm
