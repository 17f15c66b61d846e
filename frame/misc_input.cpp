// Misc: input boxes that take digits only or hide what is typed.
#include <string>

#include "frame/input_box_ex.h"
#include "frame/misc.h"
#include "runtime/contract.h"

namespace qm {

namespace {

Variant string_variant(const std::wstring& text) {
    Variant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = Bstr(text).detach();
    return v;
}

}  // namespace

HRESULT Misc::InputBox_NumbersOnly(BSTR Prompt, BSTR Title, long* MaxLen, BSTR Default, long* XPos, long* YPos,
                                   VARIANT* HelpFile, VARIANT* Context, VARIANT* result) {
    return untrapped(result, [&] {
        long max_length = MaxLen ? *MaxLen : 0;
        std::wstring password;
        bool numbers_only = true, cancelled = false;
        return string_variant(InputBoxEx(std::wstring(text_of(Prompt)), std::wstring(text_of(Title)),
                                         std::wstring(text_of(Default)), XPos ? *XPos : 0, YPos ? *YPos : 0, HelpFile,
                                         Context, max_length, password, numbers_only, cancelled));
    });
}

HRESULT Misc::InputBox_Password(BSTR Prompt, BSTR Title, BSTR PasswordChar, long* MaxLen, BSTR Default,
                                long* XPos, long* YPos, VARIANT* HelpFile, VARIANT* Context, VARIANT* result) {
    return untrapped(result, [&] {
        long max_length = MaxLen ? *MaxLen : 0;
        std::wstring password(text_of(PasswordChar));
        bool numbers_only = false, cancelled = false;
        return string_variant(InputBoxEx(std::wstring(text_of(Prompt)), std::wstring(text_of(Title)),
                                         std::wstring(text_of(Default)), XPos ? *XPos : 0, YPos ? *YPos : 0, HelpFile,
                                         Context, max_length, password, numbers_only, cancelled));
    });
}

}  // namespace qm
