// Controls: text-box password character, edit operations, tab stops, loading
// and saving the text, and explicit line breaks where the box wraps.
#include <windows.h>

#include <string>
#include <vector>

#include "controls/controls.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

HWND window_of(IDispatch* control) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(control, L"hWnd"))));
}

bool is_text_box(IDispatch* control) { return control && late::is_type(control, L"TextBox"); }

}  // namespace

HRESULT Controls::TextBox_SetPasswordChar(IDispatch* TextBox, BSTR* PasswordChar, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_SetPasswordChar"}, result, ErrorNumberResult{}, [&] {
        if (!TextBox) raise(err::ObjectNotSet);
        const HWND h = window_of(TextBox);
        const std::wstring_view text = PasswordChar ? text_of(*PasswordChar) : std::wstring_view();
        WPARAM code = 0;
        if (!text.empty()) {
            const std::string ansi = to_ansi(text.substr(0, 1));
            code = ansi.empty() ? 0 : static_cast<unsigned char>(ansi[0]);
        }
        SendMessageW(h, EM_SETPASSWORDCHAR, code, 0);
        InvalidateRect(h, nullptr, TRUE);
        return 0L;
    });
}

HRESULT Controls::TextBox_Operation(IDispatch* TextBox, TextBoxOperation OPERATION, BSTR* TextToReplace,
                                    long* result) {
    Bstr replace(TextToReplace ? text_of(*TextToReplace) : std::wstring_view());
    return shared<_RTF>()->RTF_Operation(TextBox, &OPERATION, replace.get(), result);
}

HRESULT Controls::TextBox_Set_TabStopWidth(IDispatch* TextBox, long* NewTabStopWidth, long* result) {
    return shared<_RTF>()->Set_TabStopWidth(TextBox, NewTabStopWidth, result);
}

HRESULT Controls::TextBox_LoadText(IDispatch** TextBox, BSTR File, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_LoadText"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = TextBox ? *TextBox : nullptr;
        if (!is_text_box(box)) return -2L;
        long error = 0;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(File, &error, &exists));
        if (!exists) return -1L;
        Bstr text;
        error = 0;
        check(shared<_Text>()->TextFile_Read(File, &error, text.put()));
        if (error == 0) late::put(box, L"Text", Variant(text.view()));
        return error;
    });
}

HRESULT Controls::TextBox_SaveText(IDispatch** TextBox, BSTR File, VARIANT_BOOL* OverwriteExisting, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_SaveText"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = TextBox ? *TextBox : nullptr;
        if (!is_text_box(box)) return -2L;
        long error = 0;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(File, &error, &exists));
        if (exists && OverwriteExisting && !*OverwriteExisting) return -1L;
        long written = 0;
        check(shared<_Text>()->TextFile_WriteText(File, Bstr(CStr(late::get(box, L"Text"))).get(), &written));
        return written;
    });
}

// The box's width less its frame, with text measured in the form's font. Every
// chunk takes at least one character, so a box narrower than its frame ends.
HRESULT Controls::TextBox_WordWrap(IDispatch** ParentForm, IDispatch** TextBox, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_WordWrap"}, result, ErrorNumberResult{}, [&] {
        IDispatch* form = object_arg(ParentForm);
        IDispatch* box = object_arg(TextBox);
        const double limit = CDbl(late::get(box, L"Width")) - 36;
        auto width = [&](const std::wstring& s) { return CDbl(late::call(form, L"TextWidth", {Variant(s)})); };

        const std::wstring all = CStr(late::get(box, L"Text"));
        std::vector<std::wstring> lines;
        for (size_t start = 0;;) {
            const size_t end = all.find(L"\r\n", start);
            lines.push_back(all.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
            if (end == std::wstring::npos) break;
            start = end + 2;
        }
        std::wstring text;
        late::put(box, L"Text", Variant(L""));
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::wstring& line = lines[i];
            if (width(line) <= limit) {
                if (!(line.empty() && i + 1 == lines.size())) text += line + L"\r\n";
            } else {
                std::wstring wrapped;
                for (size_t p = 0; p < line.size();) {
                    std::wstring chunk;
                    do chunk += line[p++];
                    while (p < line.size() && width(chunk) < limit);
                    const size_t space = chunk.rfind(L' ');
                    const wchar_t* brk = wrapped.empty() ? L"\r\n" : L"\r\r\n";
                    if (space == std::wstring::npos) {
                        wrapped += chunk + brk;
                    } else {
                        p = p - chunk.size() + space + 1;
                        wrapped += chunk.substr(0, space + 1) + brk;
                    }
                }
                text += wrapped;
            }
            late::put(box, L"Text", Variant(text));
        }
        return 0L;
    });
}

}  // namespace qm
