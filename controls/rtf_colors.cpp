// RTF: the selection's colours, colouring every occurrence of a word, printing.
#include <windows.h>
#include <richedit.h>

#include <cstddef>
#include <string>

#include "controls/rtf.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/printer.h"

namespace qm {

namespace {

// The rich-edit character format in its ANSI layout (84 bytes, the background
// colour at byte 64): the same record in both builds.
struct BackColorFormat {
    UINT cbSize;
    DWORD dwMask;
    DWORD dwEffects;
    LONG yHeight;
    LONG yOffset;
    COLORREF crTextColor;
    BYTE bCharSet;
    BYTE bPitchAndFamily;
    char szFaceName[LF_FACESIZE];
    WORD wWeight;
    SHORT sSpacing;
    COLORREF crBackColor;
    LCID lcid;
    DWORD dwReserved;
    SHORT sStyle;
    WORD wKerning;
    BYTE bUnderlineType;
    BYTE bAnimation;
    BYTE bRevAuthor;
    BYTE bReserved1;
};
static_assert(sizeof(BackColorFormat) == 84 && offsetof(BackColorFormat, crBackColor) == 64);
static_assert(sizeof(BackColorFormat) == sizeof(CHARFORMAT2A));

long lng(IDispatch* box, const wchar_t* name) { return CLng(late::get(box, name)); }
void put(IDispatch* box, const wchar_t* name, long value) { late::put(box, name, Variant(value)); }

// Each step of a run that goes on after a failed step.
template <class F>
void step(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

// The text with its letters lower-cased in the user's locale (same length).
std::wstring folded(std::wstring_view s) {
    std::wstring out(s);
    if (!out.empty())
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, out.data(), static_cast<int>(out.size()), out.data(),
                     static_cast<int>(out.size()));
    return out;
}

}  // namespace

HRESULT RTF::SetSelForeColor(IDispatch* RTF, long Color, long* result) {
    if (!result) return E_POINTER;
    *result = 0;
    // Errors are passed over, step by step.
    Variant old;
    step([&] { old = late::get(RTF, L"SelColor"); });
    long start = 0, length = 0;
    step([&] { start = lng(RTF, L"SelStart"); });
    step([&] { length = lng(RTF, L"SelLength"); });
    if (length == 0) {
        *result = -1;
        return S_OK;
    }
    step([&] { put(RTF, L"SelColor", Color); });
    // The caret to the end of the range; typing goes on in the old colour.
    step([&] { put(RTF, L"SelLength", 0); });
    step([&] { put(RTF, L"SelStart", start + length); });
    step([&] { late::put(RTF, L"SelColor", old); });
    return S_OK;
}

HRESULT RTF::SetSelBackColor(IDispatch* RTF, long Color, long* result) {
    return trapped(Trap{Source::RTF, L"SetSelBackColor"}, result, ErrorNumberResult{}, [&] {
        HWND box = rtf::box_window(RTF);
        const long rgb = rtf::translate_color(Color);
        if (rgb == -1) return 0L;  // no colour: the background stays as it is
        BackColorFormat format{};
        format.cbSize = sizeof(format);
        format.dwMask = CFM_BACKCOLOR;
        format.crBackColor = static_cast<COLORREF>(rgb);
        SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return 0L;
    });
}

HRESULT RTF::ColorizeWords(IDispatch* RTF, BSTR ColorizeWord, long ForeColor, long BackColor,
                           VARIANT_BOOL DoTextCompare, VARIANT_BOOL OnlyWholeWords, long* ErrorNumber,
                           VARIANT_BOOL* result) {
    return trapped(Trap{Source::RTF, L"ColorizeWords", ErrorNumber}, result, false, [&] {
        if (!RTF) raise(err::ObjectNotSet);
        HWND box = rtf::box_window(RTF);
        const long caret = lng(RTF, L"SelStart");
        const bool any_case = DoTextCompare != VARIANT_FALSE;
        const std::wstring text = CStr(late::get(RTF, L"Text"));
        const std::wstring word = any_case ? folded(text_of(ColorizeWord)) : std::wstring(text_of(ColorizeWord));
        const std::wstring hay = any_case ? folded(text) : std::wstring();
        const std::wstring_view in = any_case ? std::wstring_view(hay) : std::wstring_view(text);
        const size_t n = word.size();

        // One format for every match; a colour that is none leaves that colour as it is.
        CHARFORMAT2W format{};
        format.cbSize = sizeof(format);
        const long fore = rtf::translate_color(ForeColor), back = rtf::translate_color(BackColor);
        if (fore != -1) {
            format.dwMask |= CFM_COLOR;
            format.crTextColor = static_cast<COLORREF>(fore);
        }
        if (back != -1) {
            format.dwMask |= CFM_BACKCOLOR;
            format.crBackColor = static_cast<COLORREF>(back);
        }

        // The box neither paints nor notifies its owner while the matches are
        // coloured; afterwards it gets both back, with the caret where it was,
        // whatever happens in between. A hidden box stays hidden.
        struct Quiet {
            HWND box;
            long caret;
            bool painting;
            LRESULT events;
            ~Quiet() {
                SendMessageW(box, EM_SETSEL, caret, caret);
                SendMessageW(box, EM_SETEVENTMASK, 0, events);
                if (painting) {
                    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
                    InvalidateRect(box, nullptr, TRUE);
                }
            }
        } quiet{box, caret, IsWindowVisible(box) != FALSE, 0};
        if (quiet.painting) SendMessageW(box, WM_SETREDRAW, FALSE, 0);
        quiet.events = SendMessageW(box, EM_SETEVENTMASK, 0, 0);

        // An empty word is found nowhere (it would be found at the same place for ever).
        for (size_t at = n ? in.find(word) : std::wstring_view::npos; at != std::wstring_view::npos;
             at = in.find(word, at + n)) {
            if (OnlyWholeWords != VARIANT_FALSE) {
                // Neighbours of code 32 or less (blanks, tabs, line breaks) part words.
                if (at > 0 && text[at - 1] > 32) continue;
                if (at + n < text.size() && text[at + n] > 32) continue;
            }
            if (!format.dwMask) continue;
            CHARRANGE range{static_cast<LONG>(at), static_cast<LONG>(at + n)};
            SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            SendMessageW(box, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        }
        return true;
    });
}

HRESULT RTF::sPrint(IDispatch* RTF, long RightSpaceMM, long LeftSpaceMM, long* result) {
    return trapped(Trap{Source::RTF, L"sPrint"}, result, ErrorNumberResult{}, [&] {
        if (!RTF) raise(err::ObjectNotSet);
        Printer& printer = Printer::current();
        // The job ends whatever happens.
        struct EndJob {
            Printer& printer;
            ~EndJob() {
                try {
                    printer.EndDoc();
                } catch (...) {
                }
            }
        } end{printer};
        printer.Print(L"");  // opens the job
        put(RTF, L"SelStart", 0);
        put(RTF, L"SelLength", static_cast<long>(CStr(late::get(RTF, L"Text")).size()));
        const long mode = printer.ScaleMode();
        late::put(RTF, L"SelIndent", Variant(printer.ScaleX(LeftSpaceMM, smMillimeters, mode)));
        late::put(RTF, L"SelRightIndent", Variant(printer.ScaleX(RightSpaceMM, smMillimeters, mode)));
        const long dc = static_cast<long>(reinterpret_cast<LONG_PTR>(printer.hDC()));
        late::call(RTF, L"SelPrint", {Variant(dc), Variant(false)});
        put(RTF, L"SelIndent", 0);
        put(RTF, L"SelRightIndent", 0);
        return 0L;
    });
}

}  // namespace qm
