// frmCredits: the credits text scroller. SetScroll draws the colour gradient
// into the client's picture box and starts the one-shot Timer, whose event runs
// the scroll loop until the box's form is gone and then unloads the instance.
#include <exception>
#include <string>

#include "about/frm_credits.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

using namespace forms;

namespace {

constexpr long kRed = 1, kGreen = 2, kBlue = 3;

long channel_colour(long fade, long value) {
    switch (fade) {
        case kRed: return rgb_color(value, 0, 0);
        case kGreen: return rgb_color(0, value, 0);
        default: return rgb_color(0, 0, value);
    }
}

long checked_sub(long a, long b) {
    const long long r = static_cast<long long>(a) - b;
    if (r != static_cast<long>(r)) raise(err::Overflow);
    return static_cast<long>(r);
}

DWORD system_ticks() { return GetTickCount(); }

long number_of(std::exception_ptr e) noexcept { return detail::as_runtime_error(e).number(); }

}  // namespace

FrmCredits::Ticks& FrmCredits::ticks() noexcept {
    static Ticks t = system_ticks;
    return t;
}

long FrmCredits::SetScroll(IDispatch* box, const std::wstring& text, long fade) {
    try {
        lines_.clear();
        for (size_t from = 0;;) {
            const size_t at = text.find(L"\r\n", from);
            lines_.push_back(text.substr(from, at == std::wstring::npos ? std::wstring::npos : at - from));
            if (at == std::wstring::npos) break;
            from = at + 2;
        }
        if (text.empty()) lines_.clear();  // the empty text splits into no lines

        if (!box) raise(err::ObjectRequired);
        box_ = ComPtr<IDispatch>(box);
        const ComPtr<IDispatch> parent = late::object(late::get(box, L"Parent"));
        if (!parent) raise(err::ObjectRequired);
        host_ = CLng(*late::get(parent.get(), L"hWnd").get());

        // The buffer takes the box's outer size, read in this form's units.
        auto& buffer = get<PictureBox>(L"picBuffer");
        const Variant parent_mode = late::get(parent.get(), L"ScaleMode"), box_mode = late::get(box, L"ScaleMode");
        late::put(parent.get(), L"ScaleMode", Variant(static_cast<long>(surface()->scale_mode())));
        try {
            late::put(box, L"ScaleMode", Variant(static_cast<long>(buffer.surface()->scale_mode())));
            fade_ = fade;
            buffer.set_width(CSng(*late::get(box, L"Width").get()));
            buffer.set_height(CSng(*late::get(box, L"Height").get()));
        } catch (...) {
            // The client's form keeps its own scale whatever the box does.
            late::skipping_errors([&] { late::put(parent.get(), L"ScaleMode", parent_mode); });
            throw;
        }
        late::put(parent.get(), L"ScaleMode", parent_mode);
        late::put(box, L"ScaleMode", box_mode);

        // The gradient: bands 5 units apart and 6 high, from full intensity at the top to none at the bottom.
        Surface& s = *buffer.surface();
        const float width = s.scale_width(), height = s.scale_height();
        double intensity = 255;
        for (long y = 0, last = CLng(static_cast<double>(height)); y <= last; y += 5) {
            if (fade_ < kRed || fade_ > kBlue) {
                // Nothing to scroll: this instance has no further use.
                box_.reset();
                unload();
                return 0;
            }
            s.line(-1, static_cast<float>(y - 1), width, static_cast<float>(y + 5),
                   channel_colour(fade_, CLng(intensity)), true, true);
            intensity += -1275.0 / height;
        }
        buffer.set_picture(s.image().get());
        late::put_ref(box, L"Picture", buffer.surface()->picture().get());

        auto& timer = get<Timer>(L"Timer");
        timer.set_interval(1);
        timer.set_enabled(true);
        return 0;
    } catch (...) {
        return number_of(std::current_exception());
    }
}

void FrmCredits::Wait(long delay) {
    // Idle until input arrives or the time is up; the 32-bit tick difference
    // stays right across the counter's wrap.
    const DWORD start = ticks()();
    for (;;) {
        const DWORD elapsed = ticks()() - start;
        if (delay <= 0 || elapsed >= static_cast<DWORD>(delay)) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(delay) - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        do_events();
    }
}

bool FrmCredits::host_alive() const noexcept {
    DWORD process = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<LONG_PTR>(host_)), &process);
    return process != 0;
}

void FrmCredits::Run_TextScroll() {
    IDispatch* box = box_.get();
    late::put(box, L"ForeColor", Variant(0xFFFFFFL));
    late::put(box, L"BackColor", Variant(0xFFFFFFL));
    late::put(box, L"AutoRedraw", Variant(true));
    get<PictureBox>(L"picBuffer").surface()->set_auto_redraw(true);
    const long n = static_cast<long>(lines_.size()) - 1;
    long start = CLng(*late::get(box, L"ScaleHeight").get());
    for (;;) {
        if (!host_alive()) return;
        for (long i = 0; i <= n; ++i) {
            if (!host_alive()) return;
            if (i == 0) late::call(box, L"Cls");
            const float size = CSng(*late::get(box, L"FontSize").get());
            late::put(box, L"CurrentY", Variant(static_cast<float>(start) + static_cast<float>(i) * (size * 15 + 96)));
            const float width = CSng(*late::get(box, L"ScaleWidth").get());
            const float text = CSng(*late::get(box, L"TextWidth", {Variant(lines_[i])}).get());
            late::put(box, L"CurrentX", Variant(width / 2 - text / 2));

            // Lines near the top take on the gradient's colour.
            const float y = CSng(*late::get(box, L"CurrentY").get());
            const double fade = static_cast<float>(2 * y) <= 160 ? 0.0 : y * 0.125;
            const long c = std::min(255L, CLng(fade)), full = 255;
            if (fade_ == kRed) late::put(box, L"ForeColor", Variant(rgb_color(full, c, c)));
            if (fade_ == kGreen) late::put(box, L"ForeColor", Variant(rgb_color(c, full, c)));
            if (fade_ == kBlue) late::put(box, L"ForeColor", Variant(rgb_color(c, c, full)));

            if (y < -25 && i == n) start = CLng(*late::get(box, L"ScaleHeight").get());
            late::call(box, L"Print", {Variant(lines_[i])});
        }
        start = checked_sub(start, 15);
        Wait(20);
    }
}

void FrmCredits::scroll_tick() {
    get<Timer>(L"Timer").set_enabled(false);
    // A box that fails late-bound calls ends its scroll quietly.
    try {
        Run_TextScroll();
    } catch (...) {
    }
    box_.reset();
    if (loaded()) unload();
}

}  // namespace qm
