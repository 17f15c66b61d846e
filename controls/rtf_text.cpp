// RTF: coloured insertion, pictures at the caret, line and caret queries, the
// text's size, clipboard and undo operations and tab stops.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "controls/rtf.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

namespace rtf {

HWND box_window(IDispatch* box) {
    if (!box) raise(err::ObjectNotSet);
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(box, L"hWnd"))));
}

long translate_color(long color) noexcept {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(color), nullptr, &rgb))) return -1;
    return static_cast<long>(rgb);
}

}  // namespace rtf

namespace {

long lng(IDispatch* box, const wchar_t* name) { return CLng(late::get(box, name)); }
void put(IDispatch* box, const wchar_t* name, long value) { late::put(box, name, Variant(value)); }

LRESULT send(HWND box, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(box, msg, wp, lp); }

}  // namespace

HRESULT RTF::AddColoredText(IDispatch* RTF, BSTR Text, long Color, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::RTF, L"AddColoredText", ErrorNumber}, result, false, [&] {
        if (!RTF) raise(err::ObjectNotSet);
        const long start = lng(RTF, L"SelStart");
        const long length = static_cast<long>(SysStringLen(Text));
        put(RTF, L"SelLength", 0);
        late::put(RTF, L"SelText", Variant(text_of(Text)));
        put(RTF, L"SelStart", start);
        put(RTF, L"SelLength", length);
        put(RTF, L"SelColor", Color);
        put(RTF, L"SelLength", 0);
        put(RTF, L"SelStart", start + length);
        return true;
    });
}

HRESULT RTF::InsertPicture(IDispatch* RTF, IPictureDisp** pic, long POS, long* result) {
    return trapped(Trap{Source::RTF, L"InsertPicture"}, result, ErrorNumberResult{}, [&] {
        HWND box = rtf::box_window(RTF);
        // Only the clipboard's text survives the paste (a picture and the
        // clipboard's other formats cannot be kept side by side).
        const std::wstring saved = forms::clipboard_get_text();
        struct Restore {
            const std::wstring& text;
            ~Restore() {
                try {
                    forms::clipboard_clear();
                    forms::clipboard_set_text(text);
                } catch (...) {
                }
            }
        } restore{saved};
        forms::clipboard_clear();
        forms::clipboard_set_data(pic ? *pic : nullptr);
        const long length = static_cast<long>(CStr(late::get(RTF, L"Text")).size());
        if (POS > 0 && POS <= length) {
            put(RTF, L"SelStart", POS);
            put(RTF, L"SelLength", 0);
        }
        send(box, WM_PASTE);
        return 0L;
    });
}

HRESULT RTF::Get_LineCount(IDispatch* RTF, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::RTF, L"Get_LineCount", ErrorNumber}, result, 0L,
                   [&] { return static_cast<long>(send(rtf::box_window(RTF), EM_GETLINECOUNT)); });
}

HRESULT RTF::Get_CursorPos(IDispatch* RTF, long* ErrorNumber, QM_CURSORINFO* result) {
    if (!result) return E_POINTER;
    *result = {};
    return trapped(Trap{Source::RTF, L"Get_CursorPos", ErrorNumber}, [&] {
        HWND box = rtf::box_window(RTF);
        const long start = lng(RTF, L"SelStart");
        const long line = static_cast<long>(send(box, EM_LINEFROMCHAR, static_cast<WPARAM>(start)));
        const long first = static_cast<long>(send(box, EM_LINEINDEX, static_cast<WPARAM>(line)));
        *result = {start - first + 1, line + 1};
    });
}

HRESULT RTF::Get_Line(IDispatch* RTF, long Line, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::RTF, L"Get_Line", ErrorNumber}, result, Bstr(L""), [&] {
        HWND box = rtf::box_window(RTF);
        // The buffer's first word tells the control its room: 256 characters.
        wchar_t buffer[256] = {256};
        // The line index is a 16-bit value: a larger one is an overflow, not another line.
        const long long index = static_cast<long long>(Line) - 1;
        if (index > 0xFFFF || index < -0x8000) raise(err::Overflow);
        if (index < 0) return Bstr(L"");  // lines are counted from 1
        LRESULT n = send(box, EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
        if (n < 0) n = 0;
        if (n > 256) n = 256;
        return Bstr(std::wstring_view(buffer, static_cast<size_t>(n)));
    });
}

HRESULT RTF::Get_TextDimensions(IDispatch* RTF, long* ErrorNumber, RTFCONTROLDIMENSIONS* result) {
    if (!result) return E_POINTER;
    *result = {};
    return trapped(Trap{Source::RTF, L"Get_TextDimensions", ErrorNumber}, [&] {
        if (!RTF) raise(err::ObjectNotSet);
        const std::wstring text = CStr(late::get(RTF, L"Text"));
        ComPtr<IDispatch> parent = late::object(late::get(RTF, L"Parent"));
        if (!parent) raise(err::ObjectRequired);
        HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(lng(parent.get(), L"hDC")));
        if (!dc) raise(err::InvalidCall);
        // Measured in the parent's current font.
        HFONT font = nullptr;
        Variant font_object;
        if (late::try_get(parent.get(), L"Font", font_object)) {
            if (ComPtr<IDispatch> f = late::object(font_object)) {
                if (ComPtr<IFont> as_font = f.query<IFont>()) as_font->get_hFont(&font);
            }
        }
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        RECT r{};
        DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT);
        if (old) SelectObject(dc, old);
        *result = {r.bottom, r.right};
    });
}

HRESULT RTF::RTF_Operation(IDispatch* RTF, TextBoxOperation* OPERATION, BSTR TextToReplace, long* result) {
    return trapped(Trap{Source::RTF, L"RTF_Operation"}, result, ErrorNumberResult{}, [&] {
        HWND box = rtf::box_window(RTF);
        switch (OPERATION ? *OPERATION : 0) {
        case tbCUT: send(box, WM_CUT); break;
        case tbCOPY: send(box, WM_COPY); break;
        case tbPASTE: send(box, WM_PASTE); break;
        case tbUNDO: send(box, EM_UNDO); break;
        case tbREPLACE: {
            const std::wstring with(text_of(TextToReplace));
            send(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(with.c_str()));  // can be undone
            break;
        }
        default: break;
        }
        return 0L;
    });
}

HRESULT RTF::Set_TabStopWidth(IDispatch* RTF, long* NewTabStopWidth, long* result) {
    return trapped(Trap{Source::RTF, L"Set_TabStopWidth"}, result, ErrorNumberResult{}, [&] {
        HWND box = rtf::box_window(RTF);
        int width = NewTabStopWidth ? static_cast<int>(*NewTabStopWidth) : 0;
        send(box, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&width));
        InvalidateRect(box, nullptr, TRUE);
        return 0L;
    });
}

}  // namespace qm
