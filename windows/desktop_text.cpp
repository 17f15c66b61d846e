// Desktop.WriteOnDesktop: a text on the desktop as a borderless window that keeps
// only its glyphs' outline, one capture form per text.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <string>

#include "frame/frm_tmp.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/strings.h"
#include "windows/desktop.h"

namespace qm {

namespace {

constexpr const wchar_t* kTag = L"WriteOnDesktop";
// The width of the screen (of all screens together) in pixels: glyphs beyond it
// never show. Outlining them takes the system minutes for a long text, and the
// display fails on so wide a shape.
int screens_width() {
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    return w > 0 ? w : GetSystemMetrics(SM_CXSCREEN);
}

// The record's font, made ("Times New Roman" 36) or mended (size 0 -> 36) in place.
ComPtr<IFontDisp> text_font(DESKTOPTEXTINFO& info) {
    if (!info.Font) {
        FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Times New Roman"), {}, FW_NORMAL, DEFAULT_CHARSET,
                    FALSE, FALSE, FALSE};
        fd.cySize.int64 = 36 * 10000LL;
        ComPtr<IFontDisp> made;
        check(OleCreateFontIndirect(&fd, IID_IFontDisp, made.put_void()));
        info.Font = made.get();
        info.Font->AddRef();  // the record holds its own reference
    }
    ComPtr<IFontDisp> font;
    check(info.Font->QueryInterface(IID_IFontDisp, font.put_void()));
    ComPtr<IFont> f = font.query<IFont>();
    if (!f) raise(err::TypeMismatch);
    CY size{};
    check(f->get_Size(&size));
    if (size.int64 == 0) {
        size.int64 = 36 * 10000LL;
        check(f->put_Size(size));
    }
    return font;
}

// Unloads the texts' forms: every one, or those showing this text. Errors are skipped.
void clear_texts(const std::wstring& text, bool all) {
    auto loaded = forms::forms_collection().snapshot();
    for (auto it = loaded.rbegin(); it != loaded.rend(); ++it) {
        try {
            forms::Form& form = *it->get();
            if (form.tag() != kTag) continue;
            if (all || CStr(form.field(L"DesktopText")) == text) form.unload();
        } catch (...) {
        }
    }
}

// The window keeps only the outline of the text's glyphs drawn at (0, 0), those
// within the screens' width.
void shape_to_glyphs(HWND window, HFONT font, const std::wstring& text) {
    HDC dc = GetDC(window);
    if (!dc) raise(err::InvalidCall);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    int shown = 0;
    SIZE extent{};
    const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    if (!GetTextExtentExPointW(dc, text.c_str(), length, screens_width(), &shown, nullptr, &extent)) shown = 0;
    BeginPath(dc);
    TextOutW(dc, 0, 0, text.c_str(), shown);
    EndPath(dc);
    HRGN region = PathToRegion(dc);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (!region) region = CreateRectRgn(0, 0, 0, 0);  // no glyphs (blanks only): nothing shows
    if (!region) raise(err::OutOfMemory);
    if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);  // the window owns it on success
}

}  // namespace

HRESULT Desktop::WriteOnDesktop(DESKTOPTEXTINFO* DesktopText, long* result) {
    if (!DesktopText) return E_POINTER;
    return trapped(Trap{Source::Desktop, L"WriteOnDesktop"}, result, ErrorNumberResult{}, [&] {
        DESKTOPTEXTINFO& info = *DesktopText;
        const std::wstring text(text_of(info.Text));
        if (info.Clear || info.ClearAll) {
            clear_texts(text, info.ClearAll != VARIANT_FALSE);
            return 0L;
        }
        ComPtr<IFontDisp> font = text_font(info);
        if (text.empty()) return 0L;  // nothing to show: no window

        ComPtr<FrmTMP> form = forms::make<FrmTMP>();
        form->set_border_style(0);
        form->load();
        // A form that fails half-way does not stay on the desktop.
        struct Unless {
            FrmTMP& form;
            bool shown = false;
            ~Unless() {
                if (shown) return;
                try {
                    form.unload();
                } catch (...) {
                }
            }
        } guard{*form.get()};
        form->set_tag(kTag);
        form->field(L"DesktopText") = Variant(text);
        const long hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(form->hwnd()));

        if (info.StayOnTop) {
            IDispatch* as_dispatch = static_cast<IDispatch*>(form.get());
            long error = 0;
            VARIANT_BOOL on_top = VARIANT_FALSE;
            check(shared<_Forms>()->StayOnTop(&as_dispatch, &error, &on_top));
        }
        if (info.Transparenz == 0) info.Transparenz = 255;
        check(shared<_Window>()->Set_Transparenz(hwnd, info.Transparenz));
        // The glyphs show the form's own surface.
        form->set_back_color(static_cast<OLE_COLOR>(info.FontColor));

        // The label measures the text; it does not draw over the surface.
        auto& label = form->get<forms::Label>(L"LabelTMP");
        label.set_font(font.get());
        label.set_auto_size(true);
        label.set_caption(text);
        label.set_visible(false);
        // A text wider than the screens is cut at their width.
        form->set_width(std::min(label.width(), screens_width() * forms::screen_twips_per_pixel_x()));
        form->set_height(label.height());

        float top = 0, left = 0;
        const long alignment = info.TextAlignment;
        if (alignment == dtByUser) {
            top = static_cast<float>(info.Top), left = static_cast<float>(info.Left);
        } else if (alignment == dtCenter || alignment == dtLeftJustify || alignment == dtRightJustify) {
            const CONTROLDIMENSIONS work = desktop_work_area_twips();
            top = static_cast<float>(CLng(work.Height / 2.0 - form->height() / 2.0));
            if (alignment == dtCenter) left = static_cast<float>(CLng(work.Width / 2.0 - form->width() / 2.0));
            if (alignment == dtRightJustify) left = static_cast<float>(CLng(work.Width - static_cast<double>(form->width())));
        }
        form->set_top(top);
        form->set_left(left);

        shape_to_glyphs(form->hwnd(), label.hfont(), text);
        form->set_visible(true);
        guard.shown = true;
        return 0L;
    });
}

}  // namespace qm
