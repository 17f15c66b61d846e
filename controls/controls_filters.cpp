// Controls: input filters for text boxes (numbers only, letters only) and the
// selection of a word in a text box.
#include <windows.h>

#include <string>
#include <string_view>

#include "controls/controls.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm {

IDispatch* object_arg(IDispatch** arg) {
    IDispatch* object = arg ? *arg : nullptr;
    if (!object) raise(err::ObjectNotSet);
    return object;
}

namespace {

constexpr std::wstring_view kDigits = L"1234567890";
constexpr std::wstring_view kLower = L"abcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00fc";
constexpr std::wstring_view kUpper = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6\u00dc";
constexpr std::wstring_view kCrLf = L"\r\n";
constexpr std::wstring_view kHelpSuffix = L" (F1 f\u00fcr Hilfe)";
constexpr std::wstring_view kHelpTitle = L"Eingabefeld Hilfe";
constexpr std::wstring_view kEscapeLine = L"ESC l\u00f6scht das Eingabefeld.";
constexpr long kKeyEscape = 27, kKeyF1 = 112;

// Keys that edit or move the caret: Delete, Backspace, Enter and the arrows.
bool passes(long key) {
    switch (key) {
    case 46: case 8: case 13: case 37: case 38: case 39: case 40: return true;
    default: return false;
    }
}

// The character a key code stands for, read as a character code of the ANSI
// code page (the comma key 188 is "¼" there, not ",").
wchar_t char_of_code(long code) {
    if (code < 0 || code > 255) return 0;
    const char byte = static_cast<char>(code);
    std::wstring w = from_ansi(std::string_view(&byte, 1));
    return w.size() == 1 ? w[0] : 0;
}

void set_tip(IDispatch* box, bool set, std::wstring_view text, bool help) {
    if (!set) return;
    std::wstring tip(text);
    if (help) tip += kHelpSuffix;
    late::put(box, L"ToolTipText", Variant(tip));
}

short key_of(const short* key_code) { return key_code ? *key_code : 0; }
void refuse(short* key_code) {
    if (key_code) *key_code = 0;
}

}  // namespace

HRESULT Controls::TextBox_AllowNumOnly(IDispatch** TextBox, KEYEVENT* tbEvent, long DigitsAfterDecimal,
                                       short* KeyCode, VARIANT_BOOL HelpOnF1, VARIANT_BOOL SetToolTip,
                                       long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_AllowNumOnly"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = object_arg(TextBox);
        const bool help = HelpOnF1 != VARIANT_FALSE;
        set_tip(box, SetToolTip != VARIANT_FALSE, L"In diesem Eingabefeld sind nur Zahlen erlaubt", help);
        std::wstring allowed(kDigits);
        if (DigitsAfterDecimal >= 1) allowed += L',';
        const std::wstring text = CStr(late::get(box, L"Text"));
        const long event = tbEvent ? static_cast<long>(*tbEvent) : -1;

        if (event == kyKEYDOWN) {
            const long key = key_of(KeyCode);
            if (passes(key)) return 0L;
            if (key == kKeyEscape) {
                late::put(box, L"Text", Variant(L""));
            } else if (key == kKeyF1 && help) {
                std::wstring prompt = L"In diesem Eingabefeld sind nur Zahlen zul\u00e4ssig.";
                prompt.append(kCrLf).append(kCrLf).append(L"Folgende Zeichen sind erlaubt:");
                prompt.append(kCrLf).append(kCrLf).append(kDigits);
                if (DigitsAfterDecimal > 0)
                    prompt.append(L" sowie ein \",\" und ").append(std::to_wstring(DigitsAfterDecimal))
                        .append(L" Ziffern nach dem \",\".");
                prompt.append(kCrLf).append(kCrLf).append(kEscapeLine).append(kCrLf);
                forms::msg_box(prompt, MB_ICONINFORMATION, kHelpTitle);
            } else {
                const wchar_t c = char_of_code(key);
                if (!c || allowed.find(c) == std::wstring::npos) refuse(KeyCode);
                else if (c == L',' && (text.empty() || text.find(L',') != std::wstring::npos)) refuse(KeyCode);
            }
        } else if (event == kyCHANGE) {
            std::wstring clean;
            clean.reserve(text.size());
            bool comma = false;
            for (wchar_t c : text) {
                if (kDigits.find(c) != std::wstring_view::npos) {
                    clean += c;
                } else if (c == L',' && DigitsAfterDecimal >= 1 && !comma) {
                    clean += c;
                    comma = true;
                }
            }
            clean.erase(0, clean.find_first_not_of(L','));
            const size_t p = clean.find(L',');
            if (p != std::wstring::npos && clean.size() - p - 1 > static_cast<size_t>(DigitsAfterDecimal))
                clean.resize(p + 1 + static_cast<size_t>(DigitsAfterDecimal));
            if (clean != text) late::put(box, L"Text", Variant(clean));
        }
        return 0L;
    });
}

HRESULT Controls::TextBox_AllowAlphaOnly(IDispatch** TextBox, KEYEVENT tbEvent, short* KeyCode, VARIANT_BOOL LAlpha,
                                         VARIANT_BOOL UAlpha, VARIANT_BOOL Space, BSTR AllowedChar,
                                         VARIANT_BOOL HelpOnF1, VARIANT_BOOL SetToolTip, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_AllowAlphaOnly"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = object_arg(TextBox);
        const bool help = HelpOnF1 != VARIANT_FALSE, space = Space != VARIANT_FALSE;
        set_tip(box, SetToolTip != VARIANT_FALSE,
                L"In diesem Eingabefeld sind nur Alphanumerische Eingaben zul\u00e4ssig.", help);
        std::wstring allowed;
        if (LAlpha != VARIANT_FALSE) allowed += kLower;
        if (UAlpha != VARIANT_FALSE) allowed += kUpper;
        if (space) allowed += L' ';
        allowed += text_of(AllowedChar);
        const std::wstring text = CStr(late::get(box, L"Text"));

        if (tbEvent == kyKEYDOWN) {
            const long key = key_of(KeyCode);
            if (passes(key)) return 0L;
            if (key == kKeyEscape) {
                late::put(box, L"Text", Variant(L""));
            } else if (key == kKeyF1 && help) {
                std::wstring prompt = L"In diesem Eingabefeld sind nur Alphanumerische Eingaben zul\u00e4ssig.";
                prompt.append(kCrLf).append(kCrLf).append(L"Folgende Zeichen sind erlaubt:");
                prompt.append(kCrLf).append(kCrLf).append(allowed).append(kCrLf);
                if (space) prompt.append(L"Sowie Freizeichen").append(kCrLf);
                prompt.append(kCrLf).append(kEscapeLine).append(kCrLf);
                forms::msg_box(prompt, MB_ICONINFORMATION, kHelpTitle);
            } else {
                const wchar_t c = char_of_code(key);
                if (!c || allowed.find(c) == std::wstring::npos) refuse(KeyCode);
            }
        } else if (tbEvent == kyCHANGE) {
            std::wstring clean;
            clean.reserve(text.size());
            for (wchar_t c : text)
                if (allowed.find(c) != std::wstring::npos) clean += c;
            if (clean != text) {
                late::put(box, L"Text", Variant(clean));
                late::put(box, L"SelStart", Variant(static_cast<long>(clean.size())));
                late::put(box, L"SelLength", Variant(0L));
            }
        }
        return 0L;
    });
}

HRESULT Controls::TextBox_SelectText(IDispatch** TextBox, BSTR Text, VARIANT_BOOL FullWordOnly,
                                     VARIANT_BOOL SelectAll, long* result) {
    return trapped(Trap{Source::Controls, L"TextBox_SelectText"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = object_arg(TextBox);
        const std::wstring text = CStr(late::get(box, L"Text"));
        long start = 0, length = 0;
        if (SelectAll != VARIANT_FALSE) {
            length = static_cast<long>(text.size());
        } else {
            std::wstring find(text_of(Text));
            if (FullWordOnly != VARIANT_FALSE) {
                if (find.empty() || find.front() != L' ') find.insert(0, 1, L' ');
                if (find.back() != L' ') find += L' ';
            }
            const long p = InStr(text, find);
            if (p > 0) start = p - 1, length = static_cast<long>(find.size());
        }
        late::put(box, L"SelStart", Variant(start));
        late::put(box, L"SelLength", Variant(length));
        return 0L;
    });
}

}  // namespace qm
