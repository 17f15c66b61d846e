#include "runtime/convert.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cwchar>
#include <iterator>

#include "runtime/bstr.h"

namespace qm {

namespace {

// The runtime's error for a failed conversion of v.
[[noreturn]] void conversion_failed(const VARIANT& v, HRESULT hr) {
    if (V_VT(&v) == VT_NULL) raise(err::InvalidUseOfNull);
    if (hr == DISP_E_OVERFLOW) raise(err::Overflow);
    if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE) raise(err::TypeMismatch);
    check(hr);
    raise(err::TypeMismatch);
}

// Booleans are named in the locale ("Wahr"/"Falsch"), as the runtime shows them.
Variant change(const VARIANT& arg, VARTYPE to) {
    const VARIANT& v = deref(arg);
    if (V_VT(&v) == VT_NULL && to != VT_VARIANT) raise(err::InvalidUseOfNull);
    Variant out;
    HRESULT hr = VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&v), locale(), VARIANT_LOCALBOOL, to);
    if (FAILED(hr)) conversion_failed(v, hr);
    return out;
}

// The runtime's error for a text that did not convert.
[[noreturn]] void text_conversion_failed(HRESULT hr) {
    if (hr == DISP_E_OVERFLOW) raise(err::Overflow);
    if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE) raise(err::TypeMismatch);
    check(hr);
    raise(err::TypeMismatch);
}

// Hands a text to one of the system's text parsers, which read up to the first
// NUL as they read a String Variant: short texts go on the stack, not into a BSTR.
template <class Parse>
HRESULT parse_text(std::wstring_view s, Parse&& parse) {
    wchar_t buffer[64];
    if (s.size() < std::size(buffer)) {
        std::wmemcpy(buffer, s.data(), s.size());
        buffer[s.size()] = L'\0';
        return parse(buffer);
    }
    std::wstring copy(s);
    return parse(copy.data());
}

Variant number(double v) { return Variant(v); }

Variant text(std::wstring_view s) { return Variant(s); }

}  // namespace

LCID locale() noexcept { return GetUserDefaultLCID(); }

long CLng(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    if (V_VT(&v) == VT_I4) return V_I4(&v);
    return V_I4(change(v, VT_I4).get());
}
short CInt(const VARIANT& v) { return V_I2(change(v, VT_I2).get()); }
BYTE CByte(const VARIANT& v) { return V_UI1(change(v, VT_UI1).get()); }
float CSng(const VARIANT& v) { return V_R4(change(v, VT_R4).get()); }
double CDbl(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    if (V_VT(&v) == VT_R8) return V_R8(&v);
    return V_R8(change(v, VT_R8).get());
}
CY CCur(const VARIANT& v) { return V_CY(change(v, VT_CY).get()); }
DECIMAL CDec(const VARIANT& v) { return V_DECIMAL(change(v, VT_DECIMAL).get()); }
bool CBool(const VARIANT& v) { return V_BOOL(change(v, VT_BOOL).get()) != VARIANT_FALSE; }
DATE CDate(const VARIANT& v) { return V_DATE(change(v, VT_DATE).get()); }

std::wstring CStr(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    if (V_VT(&v) == VT_BSTR) return std::wstring(text_of(V_BSTR(&v)));
    if (V_VT(&v) == (VT_BSTR | VT_BYREF)) return std::wstring(text_of(*V_BSTRREF(&v)));
    if (V_VT(&v) == VT_EMPTY) return {};
    return std::wstring(text_of(V_BSTR(change(v, VT_BSTR).get())));
}

Variant CVar(const VARIANT& v, VARTYPE to) {
    if (to == VT_VARIANT) return Variant(deref(v));
    return change(v, to);
}

long CLng(double v) { return CLng(*number(v).get()); }
short CInt(double v) { return CInt(*number(v).get()); }
BYTE CByte(double v) { return CByte(*number(v).get()); }
CY CCur(double v) { return CCur(*number(v).get()); }
double CDbl(CY v) { return CDbl(*Variant(v).get()); }
long CLng(std::wstring_view s) {
    LONG out = 0;
    HRESULT hr = parse_text(s, [&](wchar_t* t) { return VarI4FromStr(t, locale(), VARIANT_LOCALBOOL, &out); });
    if (FAILED(hr)) text_conversion_failed(hr);
    return out;
}
double CDbl(std::wstring_view s) {
    double out = 0;
    HRESULT hr = parse_text(s, [&](wchar_t* t) { return VarR8FromStr(t, locale(), VARIANT_LOCALBOOL, &out); });
    if (FAILED(hr)) text_conversion_failed(hr);
    return out;
}
DATE CDate(std::wstring_view s) { return CDate(*text(s).get()); }
bool CBool(std::wstring_view s) { return CBool(*text(s).get()); }
std::wstring CStr(long v) { return std::to_wstring(v); }
std::wstring CStr(double v) { return CStr(*number(v).get()); }
std::wstring CStr(CY v) { return CStr(*Variant(v).get()); }
std::wstring CStr(bool v) { return CStr(*Variant(v).get()); }
std::wstring CStrDate(DATE d) { return CStr(*Variant::date(d).get()); }

// --- Val, Str, Hex, Oct -------------------------------------------------------------

double Val(std::wstring_view s) {
    // Blanks, tabs and line feeds are skipped wherever they stand.
    std::string t;
    t.reserve(s.size());
    for (wchar_t c : s) {
        if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r') continue;
        if (c > 0x7F) break;
        t += static_cast<char>(c);
    }
    if (t.size() >= 2 && t[0] == '&') {
        int base = (t[1] == 'H' || t[1] == 'h') ? 16 : (t[1] == 'O' || t[1] == 'o') ? 8 : 0;
        if (base) {
            size_t i = 2, digits = 0;
            unsigned long long n = 0;
            for (; i < t.size(); ++i, ++digits) {
                int d = (t[i] >= '0' && t[i] <= '9') ? t[i] - '0'
                        : (base == 16 && t[i] >= 'a' && t[i] <= 'f') ? t[i] - 'a' + 10
                        : (base == 16 && t[i] >= 'A' && t[i] <= 'F') ? t[i] - 'A' + 10
                                                                     : 99;
                if (d >= base) break;
                n = n * base + d;
                if (n > 0xFFFFFFFFull) raise(err::Overflow);
            }
            // Up to 16 bits the value is an Integer, up to 32 bits a Long (both signed).
            if (n <= 0xFFFF && (base == 16 ? digits <= 4 : digits <= 6)) return static_cast<short>(n);
            return static_cast<long>(static_cast<unsigned long>(n));
        }
    }
    // sign, digits, ".", digits, exponent (E or D)
    size_t i = 0;
    std::string num;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) num += t[i++];
    bool any = false;
    while (i < t.size() && isdigit(static_cast<unsigned char>(t[i]))) num += t[i++], any = true;
    if (i < t.size() && t[i] == '.') {
        num += t[i++];
        while (i < t.size() && isdigit(static_cast<unsigned char>(t[i]))) num += t[i++], any = true;
    }
    if (!any) return 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        size_t j = i + 1;
        std::string ex = "e";
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ex += t[j++];
        size_t k = j;
        while (k < t.size() && isdigit(static_cast<unsigned char>(t[k]))) ex += t[k++];
        if (k > j) num += ex;
    }
    const char* first = num.c_str();
    if (*first == '+') ++first;
    double r = 0;
    auto res = std::from_chars(first, num.c_str() + num.size(), r);
    if (res.ec == std::errc::result_out_of_range) raise(err::Overflow);
    return r;
}

std::wstring Str(double v) {
    // 15 significant digits with "." whatever the locale; no zero before the point.
    BSTR b = nullptr;
    check(VarBstrFromR8(v, MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), 0, &b));
    std::wstring s(Bstr::attach(b).view());
    if (s.size() >= 2 && s[0] == L'0' && s[1] == L'.') s.erase(0, 1);
    if (s.size() >= 3 && s[0] == L'-' && s[1] == L'0' && s[2] == L'.') s.erase(1, 1);
    if (s[0] != L'-') s.insert(0, 1, L' ');
    return s;
}

std::wstring Str(long v) { return (v >= 0 ? L" " : L"") + std::to_wstring(v); }

namespace {
std::wstring digits(unsigned long n, unsigned base) {
    if (n == 0) return L"0";
    std::wstring s;
    while (n) {
        s.insert(s.begin(), L"0123456789ABCDEF"[n % base]);
        n /= base;
    }
    return s;
}
std::wstring radix(const VARIANT& arg, unsigned base) {
    const VARIANT& v = deref(arg);
    switch (V_VT(&v)) {
    case VT_NULL: return {};
    case VT_EMPTY: return L"0";
    case VT_UI1: return digits(V_UI1(&v), base);
    case VT_I2: return digits(static_cast<unsigned short>(V_I2(&v)), base);
    case VT_BOOL: return digits(static_cast<unsigned short>(V_BOOL(&v)), base);
    default: return digits(static_cast<unsigned long>(CLng(v)), base);
    }
}
}  // namespace

std::wstring Hex(long v) { return digits(static_cast<unsigned long>(v), 16); }
std::wstring Oct(long v) { return digits(static_cast<unsigned long>(v), 8); }
std::wstring Hex(const VARIANT& v) { return radix(v, 16); }
std::wstring Oct(const VARIANT& v) { return radix(v, 8); }

// --- type tests -----------------------------------------------------------------------

bool IsNumeric(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    switch (V_VT(&v) & ~VT_BYREF) {
    case VT_EMPTY: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4:
    case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: case VT_BOOL:
        return true;
    case VT_BSTR: {
        Variant out;
        return SUCCEEDED(VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&v), locale(), 0, VT_R8));
    }
    default:
        return false;
    }
}

bool IsNumeric(std::wstring_view s) { return IsNumeric(*text(s).get()); }

bool IsDate(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    switch (V_VT(&v) & ~VT_BYREF) {
    case VT_DATE:
        return true;
    case VT_BSTR: {
        Variant out;
        return SUCCEEDED(VariantChangeTypeEx(out.get(), const_cast<VARIANT*>(&v), locale(), 0, VT_DATE));
    }
    default:
        return false;
    }
}

bool IsEmpty(const VARIANT& v) { return V_VT(&deref(v)) == VT_EMPTY; }
bool IsNull(const VARIANT& v) { return V_VT(&deref(v)) == VT_NULL; }
bool IsMissing(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}
bool IsObject(const VARIANT& v) {
    VARTYPE t = V_VT(&deref(v)) & ~VT_BYREF;
    return t == VT_DISPATCH || t == VT_UNKNOWN;
}
bool IsArray(const VARIANT& v) { return (V_VT(&deref(v)) & VT_ARRAY) != 0; }
VARTYPE VarType(const VARIANT& v) { return V_VT(&deref(v)) & ~VT_BYREF; }

std::wstring TypeName(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    VARTYPE t = V_VT(&v) & ~VT_BYREF;
    const wchar_t* name = L"Unknown";
    switch (t & VT_TYPEMASK) {
    case VT_EMPTY: name = L"Empty"; break;
    case VT_NULL: name = L"Null"; break;
    case VT_I2: name = L"Integer"; break;
    case VT_I4: name = L"Long"; break;
    case VT_R4: name = L"Single"; break;
    case VT_R8: name = L"Double"; break;
    case VT_CY: name = L"Currency"; break;
    case VT_DATE: name = L"Date"; break;
    case VT_BSTR: name = L"String"; break;
    case VT_ERROR: name = L"Error"; break;
    case VT_BOOL: name = L"Boolean"; break;
    case VT_VARIANT: name = L"Variant"; break;
    case VT_DECIMAL: name = L"Decimal"; break;
    case VT_UI1: name = L"Byte"; break;
    case VT_RECORD: name = L"UserDefinedType"; break;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        if (t & VT_ARRAY) {
            name = L"Object";
            break;
        }
        IUnknown* u = (V_VT(&v) & VT_BYREF) ? *V_UNKNOWNREF(&v) : V_UNKNOWN(&v);
        if (!u) return L"Nothing";
        IDispatch* d = nullptr;
        std::wstring result = L"Object";
        if (SUCCEEDED(u->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) && d) {
            ITypeInfo* ti = nullptr;
            if (SUCCEEDED(d->GetTypeInfo(0, locale(), &ti)) && ti) {
                BSTR n = nullptr;
                if (SUCCEEDED(ti->GetDocumentation(MEMBERID_NIL, &n, nullptr, nullptr, nullptr)) && n) {
                    result = Bstr::attach(n).str();
                    // A dual interface's name has a leading underscore; the class does not.
                    if (!result.empty() && result[0] == L'_') result.erase(0, 1);
                }
                ti->Release();
            }
            d->Release();
        }
        return result;
    }
    }
    std::wstring s = name;
    if (t & VT_ARRAY) s += L"()";
    return s;
}

// --- arithmetic -----------------------------------------------------------------------

long IntDiv(double a, double b) {
    long x = CLng(a), y = CLng(b);
    if (y == 0) raise(err::DivisionByZero);
    if (x == LONG_MIN && y == -1) raise(err::Overflow);
    return x / y;
}

long Mod(double a, double b) {
    long x = CLng(a), y = CLng(b);
    if (y == 0) raise(err::DivisionByZero);
    if (y == -1) return 0;
    return x % y;
}

double Fix(double v) { return std::trunc(v); }
double Int(double v) { return std::floor(v); }

double Round(double v, int decimals) {
    if (decimals < 0) raise(err::InvalidCall);
    if (!std::isfinite(v) || decimals > 22) return v;
    double scale = std::pow(10.0, decimals);
    double x = v * scale;
    if (!std::isfinite(x)) return v;
    double r = std::nearbyint(x);  // the default rounding mode: halves to even
    return r / scale;
}

double Abs(double v) { return std::fabs(v); }
int Sgn(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

}  // namespace qm
