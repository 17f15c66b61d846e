#include "frame/progbar.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"

namespace qm {

using namespace forms;

namespace {

constexpr long kWhite = 0xFFFFFF;
constexpr long kScrollLimit = 32767;  // the scroll bar's 16-bit range

// Geometry, in twips.
constexpr float kFormWidth = 5895;
constexpr float kFormHeightBar = 1400, kFormHeightPlain = 1275;
constexpr float kFrameHeightBar = 1200, kFrameHeightPlain = 1095;
constexpr float kLabel2HeightBar = 900;
constexpr float kMessageHeightPlain = 495;
constexpr float kPictureTop = 750;

}  // namespace

ProgBar::ProgBar() {
    set_name(L"ProgBar");
    w_ = kFormWidth;
    h_ = kFormHeightBar;
    border_style_ = 0;
}

void ProgBar::design() {
    auto& frame = add<Frame>(L"Frame1");
    frame.set_caption(L"FrameCaption");
    float top = 100, width = kFormWidth - 120, height = kFrameHeightBar;
    frame.move(60, &top, &width, &height);

    float inner = width - 240;
    auto& message = add_in<Label>(frame, L"Message");
    message.s_.back_style = 0;
    message.set_caption(L"Message");
    top = 240, height = kMessageHeightPlain;
    message.move(120, &top, &inner, &height);

    auto& label2 = add_in<Label>(frame, L"Label2");
    label2.s_.back_style = 0;
    height = kLabel2HeightBar;
    label2.move(120, &top, &inner, &height);

    // The percentage sits on the bar, centred: it turns white once the bar reaches it.
    auto& picture = add_in<PictureBox>(frame, L"Picture1");
    picture.surface()->set_auto_redraw(true);
    top = kPictureTop, height = 300;
    picture.move(120, &top, &inner, &height);
    auto& percent = add_in<Label>(picture, L"Label1");
    percent.s_.back_style = 0;
    percent.s_.alignment = 2;
    percent.set_caption(L"0%");
    float label_top = 15, label_width = picture.surface()->scale_width(), label_height = 240;
    percent.move(0, &label_top, &label_width, &label_height);

    auto& scroll = add<HScrollBar>(L"HScroll");
    scroll.set_visible(false);
}

void ProgBar::SetOption(long minimum, long maximum, std::wstring_view frame_caption, bool show_bar,
                        long bar_colour) {
    try {
        // One scale for every position: both ends must fit the scroll bar.
        long long reach = std::max<long long>(maximum, -static_cast<long long>(minimum));
        divisor_ = 1;
        if (reach > kScrollLimit) {
            divisor_ = 10;
            while (reach / static_cast<double>(divisor_) > kScrollLimit) divisor_ *= 10;
        }
        scaled_max_ = CLng(maximum / static_cast<double>(divisor_));
        scaled_min_ = CLng(minimum / static_cast<double>(divisor_));

        auto& scroll = get<HScrollBar>(L"HScroll");
        scroll.set_range(scaled_min_, scaled_max_);
        long lo = std::min(scaled_min_, scaled_max_), hi = std::max(scaled_min_, scaled_max_);
        scroll.set_value(std::clamp(scaled_min_ < 1 ? 0L : scaled_min_, lo, hi));
        draw(0, bar_colour);

        auto& frame = get<Frame>(L"Frame1");
        frame.set_caption(std::wstring(frame_caption));
        auto& message = get<Label>(L"Message");
        message.set_caption(L"");

        auto& picture = get<PictureBox>(L"Picture1");
        set_width(kFormWidth);
        if (show_bar) {
            set_height(kFormHeightBar);
            frame.set_height(kFrameHeightBar);
            get<Label>(L"Label2").set_height(kLabel2HeightBar);
            picture.set_top(kPictureTop);
            picture.set_visible(true);
            get<Label>(L"Label1").set_fore_color(static_cast<OLE_COLOR>(bar_colour));
        } else {
            set_height(kFormHeightPlain);
            frame.set_height(kFrameHeightPlain);
            message.set_height(kMessageHeightPlain);
            picture.set_visible(false);
        }

        IDispatch* self = this;
        cCenterInfo where = ccMIDDLE;
        long centred = 0, error = 0;
        VARIANT_BOOL on_top = VARIANT_FALSE;
        check(shared<_Forms>()->Center(&self, &where, &centred));
        check(shared<_Forms>()->StayOnTop(&self, &error, &on_top));

        set_visible(true);
        refresh();
        do_events();
    } catch (...) {
    }
}

void ProgBar::SetValue(long value, long bar_colour) {
    try {
        long v = CLng(value / static_cast<double>(divisor_));
        auto& scroll = get<HScrollBar>(L"HScroll");
        if (v > scroll.s_.max) return;
        // The scroll bar only keeps the position: it stays within its range.
        long lo = std::min(scroll.s_.min, scroll.s_.max), hi = std::max(scroll.s_.min, scroll.s_.max);
        scroll.set_value(std::clamp(v < 1 ? 1L : v, lo, hi));
        draw(v, bar_colour);
    } catch (...) {
    }
}

long ProgBar::percent_of(long position) const noexcept {
    if (position < scaled_min_ || position > scaled_max_ || scaled_max_ <= scaled_min_) return -1;
    return static_cast<long>(std::floor(100.0 / (scaled_max_ - scaled_min_) * (position - scaled_min_)));
}

long ProgBar::percent_at(long value) const noexcept {
    const double scaled = value / static_cast<double>(divisor_);
    // SetValue converts the same way; a value beyond a Long draws nothing there.
    if (!(scaled >= LONG_MIN - 0.5 && scaled < LONG_MAX + 0.5)) return -1;
    return percent_of(static_cast<long>(std::nearbyint(scaled)));
}

void ProgBar::draw(long position, long bar_colour) {
    const long percent = percent_of(position);
    if (percent < 0) return;

    auto& picture = get<PictureBox>(L"Picture1");
    Surface& surface = *picture.surface();
    if (percent != 0) {
        surface.cls();
        double w = std::nearbyint((surface.scale_width() - 2) / 100.0 * percent);
        surface.line(0, 0, static_cast<float>(w + 1), surface.scale_height() - 1, bar_colour, true, true);
        surface.current_x = static_cast<float>(w + 3);
        surface.current_y = 0;
    }
    auto& label = get<Label>(L"Label1");
    label.set_caption(std::to_wstring(percent) + L"%");
    if (percent >= 50 && label.fore_color() != static_cast<OLE_COLOR>(kWhite))
        label.set_fore_color(static_cast<OLE_COLOR>(kWhite));
    label.refresh();
    do_events();
}

const Table& ProgBar::table() const {
    static const Table t(
        {&Form::members()},
        {
            {L"SetOption",
             [](Object& o, const Args& a) {
                 static_cast<ProgBar&>(o).SetOption(a.lng(0), a.lng(1), a.str(2), a.boolean(3), a.lng(4));
                 return Variant{};
             }},
            {L"SetValue",
             [](Object& o, const Args& a) {
                 static_cast<ProgBar&>(o).SetValue(a.lng(0), a.lng(1));
                 return Variant{};
             }},
        });
    return t;
}

// --- a private instance -----------------------------------------------------------

void ProgressWindow::load(std::wstring_view caption) {
    unload();
    form_ = make<ProgBar>();
    form_->load();
    form_->set_caption(std::wstring(caption));
}

void ProgressWindow::SetOption(long minimum, long maximum, std::wstring_view frame_caption, bool show_bar,
                               long bar_colour) {
    if (form_) form_->SetOption(minimum, maximum, frame_caption, show_bar, bar_colour);
}

void ProgressWindow::SetValue(long value, long bar_colour) {
    if (form_) form_->SetValue(value, bar_colour);
}

void ProgressWindow::set_message(std::wstring_view text) {
    if (!form_ || !form_->loaded()) return;
    auto& message = form_->get<Label>(L"Message");
    message.set_caption(std::wstring(text));
    message.refresh();
    if (HWND h = form_->get<Frame>(L"Frame1").hwnd()) UpdateWindow(h);
}

void ProgressWindow::unload() noexcept {
    if (!form_) return;
    try {
        form_->unload();
    } catch (...) {
    }
    form_ = ComPtr<ProgBar>();
}

}  // namespace qm
