// Controls: effects in picture boxes: a text filled with a colour gradient, a
// text scrolling up through the box (frmCredits), and a plain gradient
// (Forms.Fade).
#include <windows.h>
#include <olectl.h>

#include <cmath>
#include <string>

#include "about/frm_credits.h"
#include "controls/controls.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

constexpr OLE_COLOR kWhite = 0xFFFFFF, kBlack = 0;

// A loaded form of our own, unloaded however the member ends.
template <class F>
class Loaded {
public:
    explicit Loaded(const wchar_t* tag) : form_(forms::make<F>()) {
        form_->load();
        form_->set_tag(tag);
    }
    ~Loaded() { unload(); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    F& operator*() { return *form_.get(); }
    F* operator->() { return form_.get(); }
    void unload() noexcept {
        if (form_) late::skipping_errors([&] { form_->unload(); });
    }
    // The form goes on without us (it unloads itself).
    void release() noexcept { form_.reset(); }

private:
    ComPtr<F> form_;
};

// "Times New Roman", 36 points, bold.
ComPtr<IFontDisp> default_font() {
    FONTDESC desc{sizeof(desc), const_cast<LPOLESTR>(L"Times New Roman"), {}, FW_BOLD, ANSI_CHARSET,
                  FALSE, FALSE, FALSE};
    desc.cySize.int64 = 36 * 10000;
    ComPtr<IFontDisp> font;
    check(OleCreateFontIndirect(&desc, IID_IFontDisp, font.put_void()));
    return font;
}

}  // namespace

// The letters of the text take the colour the gradient has where they stand;
// the rest of the picture is the result surface's own background. The scratch
// surfaces are the worker form's PicFade(1) (mask: black text on white),
// PicFade(2) (gradient) and PicFade(3) (result).
HRESULT Controls::PictureBox_FadingText(IDispatch** PictureBox, BSTR Text, long FadeTextColorStart,
                                        long FadeTextColorEnd, IFontDisp** Font, long* result) {
    return trapped(Trap{Source::Controls, L"PictureBox_FadingText"}, result, ErrorNumberResult{}, [&] {
        IDispatch* target = object_arg(PictureBox);
        Loaded<MyControls> worker(L"PictureBox_FadingText");
        IDispatch* form = &*worker;
        const ComPtr<IDispatch> parent = late::object(late::get(target, L"Parent"));
        late::put(form, L"ScaleMode", late::get(parent.get(), L"ScaleMode"));

        forms::PictureBox* pic[4] = {};
        const Variant mode = late::get(target, L"ScaleMode");
        const Variant width = late::get(target, L"Width"), height = late::get(target, L"Height");
        for (long i = 1; i <= 3; ++i) {
            pic[i] = &worker->get<forms::PictureBox>(L"PicFade", i);
            pic[i]->surface()->set_auto_redraw(true);
            late::put(pic[i], L"ScaleMode", mode);
            late::put(pic[i], L"Width", width);
            late::put(pic[i], L"Height", height);
            pic[i]->surface()->set_scale_mode(1);
        }
        late::put(form, L"ScaleMode", Variant(1L));

        ComPtr<IFontDisp> font = Font ? ComPtr<IFontDisp>(*Font) : ComPtr<IFontDisp>();
        if (!font) {
            font = default_font();
            if (Font) {
                font->AddRef();
                *Font = font.get();
            }
        }
        pic[1]->set_font(font.get());
        pic[3]->set_font(pic[1]->font().get());

        IDispatch* gradient = pic[2];
        short alpha = 0;
        ControlDirection direction = cdHorizontal;
        long faded = 0;
        check(shared<_Forms>()->Fade(&gradient, FadeTextColorStart, FadeTextColorEnd, &alpha, &direction, &faded));

        forms::Surface& mask = *pic[1]->surface();
        pic[1]->set_back_color(kWhite);
        pic[1]->set_fore_color(kBlack);
        mask.cls();
        mask.current_x = mask.current_y = 0;
        mask.print(text_of(Text));

        const int w = static_cast<int>(std::lround(pic[3]->width() / forms::twips_per_pixel_x()));
        const int h = static_cast<int>(std::lround(pic[3]->height() / forms::twips_per_pixel_y()));
        forms::Surface& out = *pic[3]->surface();
        out.cls();
        const HDC dc = out.hdc();
        const COLORREF background = GetBkColor(dc);
        SetBkColor(dc, kWhite);
        BitBlt(dc, 0, 0, w, h, pic[2]->surface()->hdc(), 0, 0, SRCINVERT);
        BitBlt(dc, 0, 0, w, h, mask.hdc(), 0, 0, SRCAND);
        BitBlt(dc, 0, 0, w, h, pic[2]->surface()->hdc(), 0, 0, SRCINVERT);
        SetBkColor(dc, background);

        pic[3]->refresh();
        forms::do_events();
        late::put_ref(target, L"Picture", out.image().get());
        late::call(target, L"Refresh");
        return 0L;
    });
}

// The scroll runs on the new frmCredits' timer after this call; that instance
// unloads itself when the box's form is gone.
HRESULT Controls::PictureBox_ScrollText(IDispatch** PictureBox, BSTR Text, RGBCOLOR* FadeColor, long* result) {
    return trapped(Trap{Source::Controls, L"PictureBox_ScrollText"}, result, ErrorNumberResult{}, [&] {
        Loaded<FrmCredits> credits(L"PictureBox_ScrollText");
        const long started = credits->SetScroll(PictureBox ? *PictureBox : nullptr, std::wstring(text_of(Text)),
                                                FadeColor ? static_cast<long>(*FadeColor) : 0L);
        if (started == 0) credits.release();
        return started;
    });
}

HRESULT Controls::PictureBox_Fade(IDispatch** PictureBox, long FadeFromColor, long FadeToColor, long* result) {
    return untrapped(result, [&] {
        short alpha = 0;
        ControlDirection direction = cdHorizontal;
        long faded = 0;
        check(shared<_Forms>()->Fade(PictureBox, FadeFromColor, FadeToColor, &alpha, &direction, &faded));
        return faded;
    });
}

}  // namespace qm
