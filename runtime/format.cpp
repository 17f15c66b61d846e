#include "runtime/format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/bstr.h"
#include "runtime/convert.h"
#include "runtime/strings.h"
#include "runtime/variant.h"

namespace qm {

namespace {

// The section of a number pattern that applies to a value of this sign
// (positive;negative;zero;null), and whether the section shows digits.
std::wstring_view section(std::wstring_view pattern, double v) {
    std::wstring_view parts[3];
    size_t count = 0, from = 0;
    for (size_t i = 0; i <= pattern.size() && count < 3; ++i) {
        if (i < pattern.size() && pattern[i] == L'"') {
            size_t close = pattern.find(L'"', i + 1);
            i = close == std::wstring_view::npos ? pattern.size() - 1 : close;
            continue;
        }
        if (i < pattern.size() && pattern[i] == L'\\') {
            ++i;
            continue;
        }
        if (i == pattern.size() || pattern[i] == L';') {
            parts[count++] = pattern.substr(from, i - from);
            from = i + 1;
        }
    }
    if (v < 0 && count >= 2 && !parts[1].empty()) return parts[1];
    return parts[0];
}

// The decimals a number section shows: -1 when it is no plain number section
// (no digit placeholder, scientific notation).
int shown_decimals(std::wstring_view s) {
    bool digits = false, after_point = false, percent = false;
    int decimals = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'"') {
            size_t close = s.find(L'"', i + 1);
            if (close == std::wstring_view::npos) break;
            i = close;
        } else if (c == L'\\') {
            ++i;
        } else if (c == L'0' || c == L'#') {
            digits = true;
            if (after_point) ++decimals;
        } else if (c == L'.') {
            after_point = true;
        } else if (c == L'%') {
            percent = true;
        } else if ((c == L'E' || c == L'e') && i + 1 < s.size() && (s[i + 1] == L'+' || s[i + 1] == L'-')) {
            return -1;
        }
    }
    if (!digits) return -1;
    return decimals + (percent ? 2 : 0);
}

// Rounds halves away from zero at the decimals shown, reading the number with 15
// significant digits first (so 2.345 shows as 2,35), as the runtime's Format does.
double round_shown(double v, int decimals) {
    if (decimals < 0 || decimals > 15 || !std::isfinite(v)) return v;
    double scale = std::pow(10.0, decimals);
    double x = std::fabs(v) * scale;
    if (x >= 1e15) return v;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", x);
    double r = std::floor(std::strtod(buf, nullptr) + 0.5) / scale;
    return v < 0 ? -r : r;
}

std::wstring var_format(const VARIANT& v, std::wstring_view pattern, DayOfWeek first_day, WeekOfYear first_week) {
    Bstr pat(pattern);
    BSTR out = nullptr;
    check(VarFormat(const_cast<VARIANT*>(&v), pat.get(), first_day, first_week, 0, &out));
    return Bstr::attach(out).str();
}

bool is_number(VARTYPE t) {
    switch (t) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::wstring Format(const VARIANT& value, std::wstring_view pattern, DayOfWeek first_day, WeekOfYear first_week) {
    const VARIANT& v = deref(value);
    VARTYPE t = V_VT(&v) & ~VT_BYREF;
    if (t == VT_NULL || (t == VT_EMPTY && pattern.empty())) return {};
    if (pattern.empty()) return CStr(v);
    if (t == VT_EMPTY) return Format(0.0, pattern);
    if (t & VT_ARRAY || t == VT_DISPATCH || t == VT_UNKNOWN || t == VT_RECORD) raise(err::TypeMismatch);
    // Numbers (and numeric texts) under a number pattern: rounded as the runtime shows them.
    if (is_number(t) || (t == VT_BSTR && IsNumeric(v))) {
        double d = CDbl(v);
        int decimals = shown_decimals(section(pattern, d));
        if (decimals >= 0) {
            Variant r(round_shown(d, decimals));
            return var_format(*r.get(), pattern, first_day, first_week);
        }
    }
    if (V_VT(&v) & VT_BYREF) {
        Variant copy;
        check(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&v)));
        return var_format(*copy.get(), pattern, first_day, first_week);
    }
    return var_format(v, pattern, first_day, first_week);
}

std::wstring Format(double number, std::wstring_view pattern) { return Format(*Variant(number).get(), pattern); }

std::wstring Format(long number, std::wstring_view pattern) { return Format(*Variant(number).get(), pattern); }

std::wstring FormatDate(DATE d, std::wstring_view pattern, DayOfWeek first_day, WeekOfYear first_week) {
    return Format(*Variant::date(d).get(), pattern, first_day, first_week);
}

std::wstring FormatDateTime(DATE d, DateForm form) {
    Variant v = Variant::date(d);
    BSTR out = nullptr;
    check(VarFormatDateTime(v.get(), static_cast<int>(form), 0, &out));
    return Bstr::attach(out).str();
}

}  // namespace qm
