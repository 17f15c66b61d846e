// mString: random texts and character-class tests.
#include <string>

#include "frame/mstring.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"

namespace qm {

namespace {

bool all_in(std::wstring_view text, std::initializer_list<std::wstring_view> sets) {
    for (wchar_t c : text) {
        bool found = false;
        for (std::wstring_view set : sets) found = found || set.find(c) != std::wstring_view::npos;
        if (!found) return false;
    }
    return true;
}

// The 256 characters Chr(0) to Chr(255).
std::wstring all_ansi_characters() {
    std::wstring chars;
    for (long code = 0; code < 256; ++code) {
        try {
            chars += Chr(code);
        } catch (const RuntimeError&) {  // a lead byte of a double-byte code page stands alone
        }
    }
    return chars;
}

}  // namespace

HRESULT mString::Get_RandomString(long strLenght, VARIANT_BOOL inclNum, VARIANT_BOOL inclLAlpha,
                                  VARIANT_BOOL inclUAlpha, VARIANT_BOOL Space, VARIANT_BOOL Other, BSTR* result) {
    return untrapped(result, [&] {
        if (strLenght < 1) return Bstr();
        std::wstring pool;
        if (!Other) {
            if (inclNum) pool += kDigits;
            if (inclLAlpha) pool += kLowerLetters;
            if (inclUAlpha) pool += kUpperLetters;
            if (Space) pool += L' ';
        } else {
            std::wstring removed;
            if (!inclNum) removed += kDigits;
            if (!inclLAlpha) removed += kLowerLetters;
            if (!inclUAlpha) removed += kUpperLetters;
            if (!Space) removed += L' ';
            for (wchar_t c : all_ansi_characters())
                if (removed.find(c) == std::wstring::npos) pool += c;
        }
        if (pool.empty()) raise(err::InvalidCall);
        _Misc* misc = shared<_Misc>();
        std::wstring out;
        reserve_text(out, strLenght);
        for (long i = 0; i < strLenght; ++i) {
            long index = 0;
            check(misc->Get_Randomize(1, static_cast<long>(pool.size()), &index));
            if (index < 1 || static_cast<size_t>(index) > pool.size()) raise(err::SubscriptOutOfRange);
            out += pool[index - 1];
        }
        return Bstr(out);
    });
}

HRESULT mString::isValidType(BSTR Var, DATATYPE* Typ, VARIANT_BOOL inclSpace, long* ErrorNumber,
                             VARIANT_BOOL* result) {
    return trapped(Trap{Source::mString, L"isValidType", ErrorNumber}, result, false, [&] {
        std::wstring_view text = text_of(Var);
        switch (Typ ? *Typ : dtBYTE) {
        case dtDATE: {
            VARIANT_BOOL valid = VARIANT_FALSE;
            check(shared<_Misc>()->isValidDate(Var, &valid));
            return valid != VARIANT_FALSE;
        }
        case dtALPHA:
            return inclSpace ? all_in(LCase(text), {kLowerLetters, L" "}) : all_in(LCase(text), {kLowerLetters});
        case dtNUMERIC:
            return IsNumeric(text);
        default:
            return true;
        }
    });
}

HRESULT mString::IsAlphaOnly(BSTR Str, BSTR AllowedCharacter, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring_view text = text_of(Str);
        return !text.empty() && all_in(text, {kLowerLetters, kUpperLetters, text_of(AllowedCharacter)});
    });
}

HRESULT mString::IsNumOnly(BSTR Str, BSTR AllowedCharacter, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring_view text = text_of(Str);
        return !text.empty() && all_in(text, {kDigits, text_of(AllowedCharacter)});
    });
}

}  // namespace qm
