// Dialog.TrayPopup: lays out a new frmCredits instance at the bottom right of
// the screen and starts its timer, which unrolls, keeps and rolls the notice.
#include <olectl.h>

#include <cmath>
#include <string>

#include "about/frm_credits.h"
#include "controls/dialog.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "windows/window_common.h"

namespace qm {

using namespace forms;

namespace {

long colour_or(const VARIANT& v, long fallback) { return IsMissing(v) ? fallback : CLng(v); }

// The caller's font, or a new bold standard font of that size stored into the caller's variable.
ComPtr<IFontDisp> font_or_new(IDispatch** given, long size) {
    if (given && *given) {
        ComPtr<IFontDisp> font;
        check((*given)->QueryInterface(IID_IFontDisp, font.put_void()));
        return font;
    }
    FONTDESC fd{sizeof(fd)};
    fd.lpstrName = const_cast<LPOLESTR>(L"MS Sans Serif");
    fd.cySize.int64 = size * 10000LL;
    fd.sWeight = FW_BOLD;
    fd.sCharset = DEFAULT_CHARSET;
    ComPtr<IFontDisp> font;
    check(OleCreateFontIndirect(&fd, IID_IFontDisp, font.put_void()));
    if (given) {
        *given = font.get();
        font->AddRef();
    }
    return font;
}

void lay_out(FrmCredits& f, const std::wstring& title_text, const std::wstring& message_text, long close_timer,
             long title_back, long title_text_color, IDispatch** TitleFont, long back, long fade_to, long text_color,
             IDispatch** MessageFont, long alignment, const std::wstring& mail, const std::wstring& url, long side_color,
             BYTE alpha, long speed) {
    const long hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(f.hwnd()));
    VARIANT_BOOL remove = VARIANT_FALSE, on_top = VARIANT_FALSE;
    check(shared<_Window>()->StayOnTop(hwnd, &remove, &on_top));
    check(shared<_Window>()->Set_Transparenz(hwnd, alpha));
    f.set_tray(close_timer, speed);
    f.get<PictureBox>(L"picBuffer").set_visible(false);

    auto& bar = f.get<Label>(L"lblIn");
    auto& title = f.get<Label>(L"lblTitle");
    auto& message = f.get<Label>(L"lblMessage");
    auto& mail_link = f.get<Label>(L"lblSendMail");
    auto& url_link = f.get<Label>(L"lblURL");
    const bool has_mail = !mail.empty(), has_url = !url.empty();
    for (auto [link, text] : {std::pair{&mail_link, &mail}, std::pair{&url_link, &url}}) {
        if (text->empty()) continue;
        link->set_visible(true);
        link->set_caption(*text);
        link->set_auto_size(true);
    }

    // The message's height before it fits its text: down to the lowest link, or 1920 without links.
    float h = message.height();
    if (has_mail) h = mail_link.top() + mail_link.height();
    if (has_url) h = url_link.top() + url_link.height();
    if (h == message.height()) h = 1920;
    message.set_height(h);

    title.set_fore_color(title_text_color);
    bar.set_back_color(title_back);
    message.set_fore_color(text_color);
    f.set_back_color(back);

    title.set_font(font_or_new(TitleFont, 10).get());
    message.set_font(font_or_new(MessageFont, 12).get());

    title.set_caption(title_text);
    title.put(L"Alignment", Variant(0L));
    title.set_auto_size(true);
    bar.set_height(title.height() + 120);
    message.set_top(bar.top() + bar.height() + 120);
    if (title.width() > bar.width()) bar.set_width(title.width() + 240);

    message.set_caption(message_text);
    message.put(L"Alignment", Variant(alignment));
    message.set_auto_size(true);

    float w = std::round(message.width());
    if (has_mail && mail_link.width() > w) w = mail_link.width();
    if (has_url && url_link.width() > w) w = url_link.width();
    if (title.width() > w) w = bar.width();
    w = std::round(w);
    for (Label* l : {&message, &mail_link, &url_link}) l->set_width(w);
    do_events();
    for (Label* l : {&message, &mail_link, &url_link}) l->set_left(120);

    // The links below the message: the web address first.
    float y = std::round(message.top() + message.height());
    for (auto [link, given] : {std::pair{&url_link, has_url}, std::pair{&mail_link, has_mail}}) {
        if (!given) continue;
        link->set_top(y + 1);
        y = link->top() + link->height();
        IDispatch* label = link;
        long error = 0;
        VARIANT_BOOL made = VARIANT_FALSE;
        check(shared<_Network>()->Create_Hyperlink(&label, 0x00FFFF, 0xFF0000, &error, &made));
    }

    auto side = [&](long i) -> Label& { return f.get<Label>(L"Side", i); };
    f.set_width(message.left() + message.width() + 120 + side(2).width());
    f.set_height(std::round(y + 120 + side(1).height()));
    const float fw = f.width(), fh = f.height();
    for (long i = 0; i < 4; ++i) {
        Label& s = side(i);
        s.set_back_color(side_color);
        if (i % 2 == 0) {
            s.set_top(0);
            s.set_height(fh);
            s.set_left(i == 0 ? 0 : fw - side(2).width());
        } else {
            s.set_left(0);
            s.set_width(fw);
            s.set_top(i == 1 ? fh - side(1).height() : 0);
        }
        s.zorder(0);
    }

    bar.set_left(side(0).left() + side(0).width() + 60);
    bar.set_width(fw - side(2).width() - 160);
    title.set_width(bar.left() + bar.width() - 360);

    if (fade_to > -1) {
        IDispatch* form = &f;
        short alpha0 = 0;
        ControlDirection down = cdHorizontal;
        long faded = 0;
        check(shared<_Forms>()->Fade(&form, back, fade_to, &alpha0, &down, &faded));
    }

    f.set_top(screen_height());
    f.set_left(screen_width() - fw);
    f.refresh();
    do_events();
}

}  // namespace

HRESULT Dialog::TrayPopup(BSTR Title, BSTR Message, long* CloseTimer, VARIANT TitleBackColor, VARIANT TitleTextColor,
                          IDispatch** TitleFont, VARIANT MessageBackColor, VARIANT MessageBackColorFadeTo,
                          VARIANT MessageTextColor, IDispatch** MessageFont, long* MessageAlignment, BSTR* Mail,
                          BSTR* URL, VARIANT SideColor, BYTE* Transparenz, long* PopUpSpeed, long* result) {
    return trapped(Trap{Source::Dialog, L"TrayPopup"}, result, ErrorNumberResult{}, [&] {
        const long speed = arg_or(PopUpSpeed, 2L);
        // The step pause turns the message loop speed x 100 times: a product
        // beyond a Long fails here, before any window exists.
        if (static_cast<long long>(speed) * 100 != static_cast<long>(speed * 100LL)) raise(err::Overflow);
        const long title_back = colour_or(TitleBackColor, 0x8080FF), title_text = colour_or(TitleTextColor, 0xFF);
        const long back = colour_or(MessageBackColor, 0), fade_to = colour_or(MessageBackColorFadeTo, 0xFFFF);
        const long text = colour_or(MessageTextColor, 0xFFFF), side = colour_or(SideColor, 0xFF);
        long close_timer = arg_or(CloseTimer, 3L);

        ComPtr<FrmCredits> f = make<FrmCredits>();
        f->load();
        try {
            lay_out(*f.get(), std::wstring(text_of(Title)), std::wstring(text_of(Message)), close_timer, title_back,
                    title_text, TitleFont, back, fade_to, text, MessageFont, arg_or(MessageAlignment, 0L),
                    std::wstring(Mail ? text_of(*Mail) : std::wstring_view()),
                    std::wstring(URL ? text_of(*URL) : std::wstring_view()), side, arg_or(Transparenz, BYTE{255}),
                    speed);
            if (close_timer < 1) {
                close_timer = 3;
                if (CloseTimer) *CloseTimer = 3;
            }
            f->set_tray(close_timer, speed);
            auto& timer = f->get<Timer>(L"tmrTrayScroll");
            timer.set_interval(1);
            timer.set_enabled(true);
        } catch (...) {
            if (f->loaded()) f->unload();
            throw;
        }
        return 0L;
    });
}

}  // namespace qm
