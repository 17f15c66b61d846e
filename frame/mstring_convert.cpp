// mString: conversions of texts into other forms (hexadecimal, code pages,
// characters, codes, binary digits, bytes, lines and arrays).
#include <string>
#include <vector>

#include "frame/mstring.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr std::wstring_view kCrLf = L"\r\n";

// The runtime's error for an index into an array without elements: the members
// that build one element per character of an empty text end with it.
void require_characters(std::wstring_view text) {
    if (text.empty()) raise(err::SubscriptOutOfRange);
}

// The text's ANSI bytes translated by OemToCharBuffA or CharToOemBuffA and read
// as ANSI again: a character that the target code page lacks comes back as that
// page's nearest or default character, as the system's translation gives it.
std::wstring translate_ansi_bytes(std::wstring_view text, bool oem_to_char) {
    std::string bytes = to_ansi(text);
    if (bytes.empty()) return {};
    const DWORD size = static_cast<DWORD>(bytes.size());
    if (oem_to_char)
        OemToCharBuffA(bytes.data(), bytes.data(), size);
    else
        CharToOemBuffA(bytes.data(), bytes.data(), size);
    return from_ansi(bytes);
}

}  // namespace

std::wstring Get_HexBlock(int width, std::wstring_view text) {
    std::wstring padded(text);
    if (width > 0 && padded.size() % width) padded.append(width - padded.size() % width, L' ');
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out;
    reserve_text(out, static_cast<long long>(padded.size()) * 3);
    for (long code : char_codes(padded)) {
        unsigned long v = static_cast<unsigned long>(code) & (code < 0 ? 0xFFFFu : 0xFFFFFFFFu);
        wchar_t buf[8];
        int n = 0;
        do {
            buf[n++] = digits[v & 15];
            v >>= 4;
        } while (v);
        while (n) out += buf[--n];
        out += L' ';
    }
    if (!out.empty()) out.pop_back();
    return out;
}

HRESULT mString::Str_ToHex(BSTR Str, BYTEINFO* StrTo, VARIANT* result) {
    return untrapped(result, [&] {
        Variant v;
        int width = !StrTo ? 0 : *StrTo == bi8BYTEHEX ? 8 : *StrTo == bi16BYTEHEX ? 16 : 0;
        if (width) {
            V_VT(v.get()) = VT_BSTR;
            V_BSTR(v.get()) = Bstr(Get_HexBlock(width, text_of(Str))).detach();
        }
        return v;
    });
}

HRESULT mString::Str_toANSI(BSTR Str, BSTR* result) {
    return untrapped(result, [&] { return Bstr(translate_ansi_bytes(text_of(Str), true)); });
}

HRESULT mString::Str_toASCII(BSTR Str, BSTR* result) {
    return untrapped(result, [&] { return Bstr(translate_ansi_bytes(text_of(Str), false)); });
}

HRESULT mString::Str_Reverse(BSTR Str, BSTR* result) {
    return untrapped(result, [&] { return Bstr(StrReverse(text_of(Str))); });
}

HRESULT mString::Str_toCHR(BSTR Str, SAFEARRAY** result) {
    return untrapped(result, [&] {
        std::wstring_view text = text_of(Str);
        require_characters(text);
        SafeArray chars(VT_BSTR, static_cast<long>(text.size()));
        for (size_t i = 0; i < text.size(); ++i) chars.set_text(static_cast<long>(i), text.substr(i, 1));
        return chars.detach();
    });
}

HRESULT mString::Str_toASC(BSTR Str, SAFEARRAY** result) {
    return untrapped(result, [&] {
        std::wstring_view text = text_of(Str);
        require_characters(text);
        std::vector<long> codes = char_codes(text);
        SafeArray out(VT_BSTR, static_cast<long>(codes.size()));
        for (size_t i = 0; i < codes.size(); ++i) out.set_text(static_cast<long>(i), CStr(codes[i]));
        return out.detach();
    });
}

HRESULT mString::StringToBin(BSTR Str, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::mString, L"StringToBin", ErrorNumber}, result, nullptr, [&]() -> SAFEARRAY* {
        std::wstring_view text = text_of(Str);
        if (text.empty()) return nullptr;
        _Mathematics* math = shared<_Mathematics>();
        std::vector<long> codes = char_codes(text);
        SafeArray out(VT_BSTR, static_cast<long>(codes.size()));
        for (size_t i = 0; i < codes.size(); ++i) {
            Bstr digits;
            check(math->DecToBin(codes[i], digits.put()));
            out.set_text(static_cast<long>(i), digits.view());
        }
        return out.detach();
    });
}

HRESULT mString::StringToByte(BSTR Str, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::mString, L"StringToByte", ErrorNumber}, result, nullptr, [&] {
        std::wstring_view text = text_of(Str);
        require_characters(text);
        std::vector<long> codes = char_codes(text);
        std::string bytes(codes.size(), '\0');
        for (size_t i = 0; i < codes.size(); ++i) {
            if (codes[i] < 0 || codes[i] > 255) raise(err::Overflow);  // a double-byte character
            bytes[i] = static_cast<char>(codes[i]);
        }
        return byte_array(bytes).detach();
    });
}

HRESULT mString::LineCount(BSTR Str, long* result) {
    return untrapped(result, [&] { return static_cast<long>(Split(text_of(Str), kCrLf).size()); });
}

HRESULT mString::Get_Line(BSTR Str, long Line, BSTR* result) {
    return untrapped(result, [&] {
        if (Line < 1) raise(err::SubscriptOutOfRange);
        std::vector<std::wstring> lines = Split(text_of(Str), kCrLf);
        return static_cast<size_t>(Line) > lines.size() ? Bstr() : Bstr(lines[Line - 1]);
    });
}

HRESULT mString::ToArray(BSTR Text, BSTR StlitAt, VARIANT* result) {
    return untrapped(result, [&] {
        std::wstring_view separator = text_of(StlitAt);
        if (separator.empty()) separator = kCrLf;
        return split_array(text_of(Text), separator).to_variant();
    });
}

HRESULT mString::Compare(BSTR Text1, BSTR Text2, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return text_of(Text1) == text_of(Text2); });
}

}  // namespace qm
