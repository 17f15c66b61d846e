// Conversions, type tests and arithmetic with the automation runtime's rules.
//
// Conversions go through the system's automation library in the user's locale
// (the German locale reads "12,5" as twelve and a half and writes it so), round
// halves to even where a whole number is wanted, and raise the runtime's errors:
// 13 (type mismatch) for a value that does not convert, 6 (overflow) for one out
// of range, 94 (invalid use of Null) for Null. VARIANT arguments may be by
// reference (VT_BYREF); Empty converts to 0 / "" / False / 30.12.1899.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "runtime/variant.h"

namespace qm {

// The locale of every conversion, comparison and format: the user's default locale.
LCID locale() noexcept;

// --- Variant -> type (CLng, CInt, ...) ------------------------------------------
long CLng(const VARIANT& v);
short CInt(const VARIANT& v);
BYTE CByte(const VARIANT& v);
float CSng(const VARIANT& v);
double CDbl(const VARIANT& v);
CY CCur(const VARIANT& v);
DECIMAL CDec(const VARIANT& v);
bool CBool(const VARIANT& v);
DATE CDate(const VARIANT& v);   // texts: the system's (lenient) date parser, see dates.h
std::wstring CStr(const VARIANT& v);  // numbers and dates in the locale's form, Booleans as the locale names them
// Converts to any automation type (VariantChangeTypeEx, user locale); VT_VARIANT keeps the value.
Variant CVar(const VARIANT& v, VARTYPE to);

// --- numbers and texts -> type ----------------------------------------------------
long CLng(double v);  // round half to even; 6 outside the Long range
short CInt(double v);
BYTE CByte(double v);
CY CCur(double v);    // rounded to four decimals
double CDbl(CY v);
long CLng(std::wstring_view text);  // locale number text ("12,5" -> 12); 13 when not numeric
double CDbl(std::wstring_view text);
DATE CDate(std::wstring_view text);  // the lenient date parser (dates.h); 13 when unreadable
bool CBool(std::wstring_view text);  // "True"/"False", the locale's names, or a number
std::wstring CStr(long v);
inline std::wstring CStr(int v) { return CStr(static_cast<long>(v)); }
std::wstring CStr(const wchar_t*) = delete;  // would bind to bool
std::wstring CStr(double v);  // 15 significant digits, locale decimal separator ("0,1", "1E+20")
std::wstring CStr(CY v);
std::wstring CStr(bool v);    // the locale's names of True and False
// CStr of a Date: the short date, the long time, or both (no time part at midnight,
// no date part on 30.12.1899). A separate name because DATE is a double.
std::wstring CStrDate(DATE d);

// --- Val, Str, Hex, Oct -----------------------------------------------------------
// Val: the number at the start of a text, "." as the decimal point in any locale;
// blanks, tabs and line feeds are skipped, reading stops at the first other
// character; "&H"/"&O" prefixes read hexadecimal/octal; no number gives 0.
double Val(std::wstring_view text);
// Str: the number with "." as decimal point and a leading blank for non-negatives.
std::wstring Str(double v);
std::wstring Str(long v);
inline std::wstring Str(int v) { return Str(static_cast<long>(v)); }
// Hex/Oct: upper-case digits without prefix; negative Longs as 32-bit two's complement
// (FFFFFFFF). The Variant forms give 4 digits at most for Integer and Byte values,
// round other numbers to a Long first (13/6 as CLng) and give "" for Null.
std::wstring Hex(long v);
std::wstring Oct(long v);
std::wstring Hex(const VARIANT& v);
std::wstring Oct(const VARIANT& v);

// --- type tests -------------------------------------------------------------------
bool IsNumeric(const VARIANT& v);      // numbers, Booleans, and texts that convert to a number (locale aware)
bool IsNumeric(std::wstring_view text);
bool IsDate(const VARIANT& v);         // Dates, and texts that the system's date parser reads
bool IsEmpty(const VARIANT& v);
bool IsNull(const VARIANT& v);
bool IsMissing(const VARIANT& v);      // an omitted optional argument (VT_ERROR DISP_E_PARAMNOTFOUND)
bool IsObject(const VARIANT& v);       // VT_DISPATCH / VT_UNKNOWN (Nothing included)
bool IsArray(const VARIANT& v);        // VT_ARRAY, dimensioned or not
VARTYPE VarType(const VARIANT& v);     // the runtime's VarType: by-reference resolved (8204 for Variant())
std::wstring TypeName(const VARIANT& v);  // "Long", "String", "String()", "Nothing", "Empty", ...

// --- arithmetic -------------------------------------------------------------------
// Integer division a \ b: both operands rounded to Longs (halves to even) first; 11 for b = 0.
long IntDiv(double a, double b);
// a Mod b: both operands rounded to Longs first; the sign of a; 11 for b = 0.
long Mod(double a, double b);
double Fix(double v);  // toward zero
double Int(double v);  // toward minus infinity
// Round to a number of decimals, halves to even (the runtime's Round); 5 for decimals < 0.
double Round(double v, int decimals = 0);
double Abs(double v);
int Sgn(double v);

}  // namespace qm
