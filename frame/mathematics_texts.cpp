// Mathematics: byte units and fixed-width number texts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "frame/mathematics.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// Number texts of Get_Num have the German form whatever the user's locale:
// "," before the decimals, "." between groups of thousands.
constexpr LCID kGerman = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);

Variant number_variant(double v, bool integral_source) {
    Variant r;
    if (integral_source && v == std::floor(v) && v >= std::numeric_limits<long>::min() &&
        v <= std::numeric_limits<long>::max()) {
        V_VT(r.get()) = VT_I4;
        V_I4(r.get()) = static_cast<long>(v);
    } else {
        V_VT(r.get()) = VT_R8;
        V_R8(r.get()) = v;
    }
    return r;
}

bool integral_type(const VARIANT& v) {
    switch (VarType(v)) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_BOOL:
        return true;
    default:
        return false;
    }
}

std::wstring german_text(const VARIANT& v) {
    if (IsNull(v)) raise(94);  // invalid use of Null
    Variant text;
    check(VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(&v), kGerman, VARIANT_LOCALBOOL, VT_BSTR));
    return std::wstring(text_of(V_BSTR(text.get())));
}

std::wstring german_text(double v) {
    Bstr text;
    check(VarBstrFromR8(v, kGerman, 0, text.put()));
    return text.str();
}

// The number as "###,###." followed by `decimals` times "#" lays it out: groups
// of three digits, the decimal comma always, decimals without trailing zeros and
// no lone zero before the comma.
std::wstring grouped(double v, long decimals) {
    if (decimals > 300) decimals = 300;
    int size = std::snprintf(nullptr, 0, "%.*f", static_cast<int>(decimals), std::fabs(v));
    std::string plain(size + 1, '\0');
    std::snprintf(plain.data(), plain.size(), "%.*f", static_cast<int>(decimals), std::fabs(v));
    plain.resize(size);

    std::string whole = plain.substr(0, plain.find('.'));
    std::string fraction = plain.find('.') == std::string::npos ? "" : plain.substr(plain.find('.') + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (whole == "0") whole.clear();

    std::wstring out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += L'.';
        out += static_cast<wchar_t>(whole[i]);
    }
    out += L',';
    for (char c : fraction) out += static_cast<wchar_t>(c);
    bool nonzero = !whole.empty() || !fraction.empty();
    if (v < 0 && nonzero) out.insert(out.begin(), L'-');
    return out;
}

long count_dots(const std::wstring& text) {
    Bstr t(text), dot(L".");
    long count = 0, error = 0;
    check(shared<_mString>()->StringCount(t.get(), dot.get(), VARIANT_TRUE, VARIANT_FALSE, &error, &count));
    return count;
}

}  // namespace

HRESULT Mathematics::BYTEINFO(VARIANT Bytes, BYTEISINFO* ByteIs, LONG* ErrorNumber, BYTEINFOS* result) {
    if (!result) return E_POINTER;
    for (VARIANT* field : {&result->Bytes, &result->KiloBytes, &result->MegaBytes, &result->GigaBytes})
        VariantInit(field);
    return trapped(Trap{Source::Mathematics, L"BYTEINFO", ErrorNumber}, [&] {
        // A megabyte is taken as 1024 * 1000 bytes, a gigabyte as 1024 * 1000 * 1000,
        // while the results divide by powers of 1024: the library's convention.
        double factor = 1;
        switch (ByteIs ? *ByteIs : biBytes) {
        case biKiloBytes: factor = 1024; break;
        case biMegaBytes: factor = 1024.0 * 1000; break;
        case biGigaBytes: factor = 1024.0 * 1000 * 1000; break;
        default: break;
        }
        Variant bytes;
        double v;
        if (factor == 1) {
            bytes = Variant(Bytes);
            v = CDbl(Bytes);
        } else {
            v = CDbl(Bytes) * factor;
            bytes = number_variant(v, integral_type(Bytes));
        }
        Variant kilo = number_variant(Round(v / 1024, 2), false);
        Variant mega = number_variant(Round(v / 1048576, 2), false);
        Variant giga = number_variant(Round(v / 1073741824, 2), false);
        bytes.detach(&result->Bytes);
        kilo.detach(&result->KiloBytes);
        mega.detach(&result->MegaBytes);
        giga.detach(&result->GigaBytes);
    });
}

HRESULT Mathematics::Get_Num(VARIANT sNum, LONG DigitsForDecimal, LONG DigitsAfterDecimal, VARIANT_BOOL* SeperateNum,
                             LONG* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Mathematics, L"Get_Num", ErrorNumber}, result, Variant{}, [&] {
        // The number: its text without group points, read as a German number.
        std::wstring text;
        for (wchar_t c : german_text(sNum))
            if (c != L'.') text += c;
        double number;
        if (text.empty() || FAILED(VarR8FromStr(const_cast<OLECHAR*>(text.c_str()), kGerman, 0, &number))) return Variant{};
        // The zeros asked for alone must fit in a text: 14 before any is made.
        text_length(std::max(DigitsForDecimal, 0L) + (DigitsAfterDecimal > 0 ? DigitsAfterDecimal + 1LL : 0LL));

        double rounded = Round(number, DigitsAfterDecimal);
        std::wstring a = SeperateNum && *SeperateNum ? grouped(rounded, DigitsAfterDecimal) : german_text(rounded);

        // The decimals: from the comma on, padded with zeros to their count.
        std::wstring b;
        size_t comma = a.find(L',');
        if (comma != std::wstring::npos) {
            b = a.substr(comma);
            a.erase(comma);
            if (b.size() == 1 && DigitsAfterDecimal == 0)
                b.clear();
            else if (static_cast<long>(b.size()) - 1 < DigitsAfterDecimal)
                b.append(DigitsAfterDecimal - (b.size() - 1), L'0');
        } else if (DigitsAfterDecimal > 0) {
            b = L"," + std::wstring(DigitsAfterDecimal, L'0');
        }

        // The whole part: padded with zeros to its count of digits (group points do not count).
        if (DigitsForDecimal > 0) {
            long dots = count_dots(a);
            long digits = static_cast<long>(a.size()) - dots;
            if (digits < DigitsForDecimal) a.insert(0, DigitsForDecimal - digits, L'0');
        }

        Variant out;
        V_VT(out.get()) = VT_BSTR;
        V_BSTR(out.get()) = Bstr(a + b).detach();
        return out;
    });
}

}  // namespace qm
