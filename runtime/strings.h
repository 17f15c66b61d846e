// Text functions with the automation runtime's semantics.
//
// Positions are 1-based as in the runtime; lengths and positions are Longs.
// Binary comparison is by UTF-16 code unit (case-sensitive); text comparison
// ignores case (and kana type and width) in the user's locale.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/bstr.h"

namespace qm {

enum class CompareMode { Binary = 0, Text = 1 };

// The length of a text about to be made, checked before anything is allocated:
// 14 (out of string space) beyond kMaxTextLength, 5 when negative.
size_t text_length(long long length);
// Room for a text of this length, reserved up front: 14 beyond the limit, 7 when
// the memory is not there.
void reserve_text(std::wstring& text, long long length);

long Len(std::wstring_view s);
std::wstring Left(std::wstring_view s, long length);   // 5 for a negative length
std::wstring Right(std::wstring_view s, long length);  // 5 for a negative length
// Mid: from start (1-based) to the end or length characters; a start beyond the end
// gives ""; start < 1 or a negative length raise 5.
std::wstring Mid(std::wstring_view s, long start);
std::wstring Mid(std::wstring_view s, long start, long length);

// InStr: the position of find in s from start on, 0 when absent; an empty find gives
// start (0 when start is beyond the end + 1); start < 1 raises 5.
long InStr(long start, std::wstring_view s, std::wstring_view find, CompareMode mode = CompareMode::Binary);
long InStr(std::wstring_view s, std::wstring_view find, CompareMode mode = CompareMode::Binary);
// InStrRev: the last position of find that ends at or before start (-1: the end);
// 0 when absent or start is beyond the end; an empty find gives start; start 0 or < -1 raise 5.
long InStrRev(std::wstring_view s, std::wstring_view find, long start = -1, CompareMode mode = CompareMode::Binary);

// Replace: the part of s from start on, with count (-1: all) non-overlapping occurrences
// of find replaced, left to right; an empty find leaves s unchanged; 14 beyond kMaxTextLength.
std::wstring Replace(std::wstring_view s, std::wstring_view find, std::wstring_view with, long start = 1,
                     long count = -1, CompareMode mode = CompareMode::Binary);

// Split: the parts between delimiters; the empty text gives no parts; an empty
// delimiter gives the whole text as the one part; limit (-1: none) caps the parts,
// the last part keeping the rest. split_array (safearray.h) gives the String array.
std::vector<std::wstring> Split(std::wstring_view s, std::wstring_view delimiter = L" ", long limit = -1,
                                CompareMode mode = CompareMode::Binary);
std::wstring Join(const std::vector<std::wstring>& parts, std::wstring_view delimiter = L" ");

std::wstring LCase(std::wstring_view s);  // locale aware (Ä -> ä)
std::wstring UCase(std::wstring_view s);
// StrComp: -1, 0 or 1.
int StrComp(std::wstring_view a, std::wstring_view b, CompareMode mode = CompareMode::Binary);
std::wstring StrReverse(std::wstring_view s);
std::wstring Space(long count);               // 5 for a negative count, 14 beyond kMaxTextLength
std::wstring String(long count, wchar_t ch);  // 5 for a negative count, 14 beyond kMaxTextLength
std::wstring LTrim(std::wstring_view s);      // blanks (U+0020) only, as the runtime trims
std::wstring RTrim(std::wstring_view s);
std::wstring Trim(std::wstring_view s);

// Asc: the ANSI code of the first character (0 to 255 in single-byte code pages;
// a double-byte character as its two bytes, lead byte high, as a signed Integer); 5 for "".
int Asc(std::wstring_view s);
int AscW(std::wstring_view s);  // the UTF-16 code unit as a signed Integer; 5 for ""
// Chr: the character with this ANSI code (0 to 255, or a double-byte code in
// double-byte code pages); 5 outside.
std::wstring Chr(long code);
std::wstring ChrW(long code);  // -32768 to 65535; 5 outside

}  // namespace qm
