#include "runtime/strings.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>
#include <utility>

#include "runtime/ansi.h"
#include "runtime/bstr.h"
#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

size_t to_size(long n) { return static_cast<size_t>(n); }

std::wstring map_case(std::wstring_view s, DWORD flag) {
    if (s.empty()) return {};
    if (s.size() > INT_MAX) raise(err::OutOfMemory);
    int n = static_cast<int>(s.size());
    std::wstring out(s.size(), L'\0');
    int got = LCMapStringW(locale(), flag, s.data(), n, out.data(), n);
    if (got != n) {  // a mapping that changes the length: ask for the size first
        got = LCMapStringW(locale(), flag, s.data(), n, nullptr, 0);
        out.assign(static_cast<size_t>(got), L'\0');
        LCMapStringW(locale(), flag, s.data(), n, out.data(), got);
    }
    return out;
}

// The texts as they are compared: folded for text comparison, unchanged for binary.
std::wstring fold(std::wstring_view s, CompareMode mode) {
    return mode == CompareMode::Text ? map_case(s, LCMAP_LOWERCASE) : std::wstring(s);
}

}  // namespace

long Len(std::wstring_view s) { return static_cast<long>(std::min<size_t>(s.size(), LONG_MAX)); }

std::wstring Left(std::wstring_view s, long length) {
    if (length < 0) raise(err::InvalidCall);
    return std::wstring(s.substr(0, to_size(length)));
}

std::wstring Right(std::wstring_view s, long length) {
    if (length < 0) raise(err::InvalidCall);
    size_t n = std::min(s.size(), to_size(length));
    return std::wstring(s.substr(s.size() - n));
}

std::wstring Mid(std::wstring_view s, long start) {
    if (start < 1) raise(err::InvalidCall);
    if (to_size(start) > s.size()) return {};
    return std::wstring(s.substr(to_size(start) - 1));
}

std::wstring Mid(std::wstring_view s, long start, long length) {
    if (start < 1 || length < 0) raise(err::InvalidCall);
    if (to_size(start) > s.size()) return {};
    return std::wstring(s.substr(to_size(start) - 1, to_size(length)));
}

long InStr(long start, std::wstring_view s, std::wstring_view find, CompareMode mode) {
    if (start < 1) raise(err::InvalidCall);
    if (to_size(start) > s.size() + (find.empty() ? 1 : 0)) return 0;
    if (find.empty()) return start;
    size_t at;
    if (mode == CompareMode::Text)
        at = fold(s, mode).find(fold(find, mode), to_size(start) - 1);
    else
        at = s.find(find, to_size(start) - 1);
    return at == std::wstring_view::npos ? 0 : static_cast<long>(at + 1);
}

long InStr(std::wstring_view s, std::wstring_view find, CompareMode mode) { return InStr(1, s, find, mode); }

long InStrRev(std::wstring_view s, std::wstring_view find, long start, CompareMode mode) {
    if (start == 0 || start < -1) raise(err::InvalidCall);
    size_t end = start == -1 ? s.size() : to_size(start);  // the match must end at or before this
    if (end > s.size()) return 0;
    if (find.empty()) return start == -1 ? Len(s) : start;
    if (find.size() > end) return 0;
    size_t at;
    if (mode == CompareMode::Text)
        at = fold(s, mode).rfind(fold(find, mode), end - find.size());
    else
        at = s.rfind(find, end - find.size());
    return at == std::wstring_view::npos ? 0 : static_cast<long>(at + 1);
}

std::wstring Replace(std::wstring_view s, std::wstring_view find, std::wstring_view with, long start, long count,
                     CompareMode mode) {
    if (start < 1 || count < -1) raise(err::InvalidCall);
    if (to_size(start) > s.size()) return {};
    std::wstring_view rest = s.substr(to_size(start) - 1);
    if (find.empty() || count == 0) return std::wstring(rest);
    std::wstring folded_rest, folded_find;
    std::wstring_view hay = rest, needle = find;
    if (mode == CompareMode::Text) {
        folded_rest = fold(rest, mode), folded_find = fold(find, mode);
        hay = folded_rest, needle = folded_find;
    }
    // A result that grows is measured first: one that no text holds fails before it is built.
    long long length = static_cast<long long>(rest.size());
    if (with.size() > needle.size()) {
        size_t pos = 0;
        for (long done = 0; count == -1 || done < count; ++done) {
            size_t at = hay.find(needle, pos);
            if (at == std::wstring_view::npos) break;
            length += static_cast<long long>(with.size() - needle.size());
            if (length > kMaxTextLength) break;
            pos = at + needle.size();
        }
    }
    std::wstring out;
    reserve_text(out, length);
    size_t pos = 0;
    for (long done = 0; count == -1 || done < count; ++done) {
        size_t at = hay.find(needle, pos);
        if (at == std::wstring_view::npos) break;
        out.append(rest.substr(pos, at - pos)).append(with);
        pos = at + needle.size();
    }
    out.append(rest.substr(pos));
    return out;
}

namespace {

// The parts of a Split as (offset, length) in s, handed to part one by one.
template <class Part>
void split_parts(std::wstring_view s, std::wstring_view delimiter, long limit, CompareMode mode, Part&& part) {
    if (limit < -1) raise(err::InvalidCall);
    if (s.empty() || limit == 0) return;
    if (delimiter.empty()) {
        part(size_t{0}, s.size());
        return;
    }
    std::wstring folded_s, folded_d;
    std::wstring_view hay = s, needle = delimiter;
    if (mode == CompareMode::Text) {
        folded_s = fold(s, mode), folded_d = fold(delimiter, mode);
        hay = folded_s, needle = folded_d;
    }
    size_t pos = 0;
    for (size_t parts = 0; limit == -1 || parts + 1 < static_cast<size_t>(limit); ++parts) {
        size_t at = hay.find(needle, pos);
        if (at == std::wstring_view::npos) break;
        part(pos, at - pos);
        pos = at + needle.size();
    }
    part(pos, s.size() - pos);
}

}  // namespace

std::vector<std::wstring> Split(std::wstring_view s, std::wstring_view delimiter, long limit, CompareMode mode) {
    std::vector<std::wstring> parts;
    split_parts(s, delimiter, limit, mode, [&](size_t at, size_t n) { parts.emplace_back(s.substr(at, n)); });
    return parts;
}

SafeArray split_array(std::wstring_view s, std::wstring_view delimiter, long limit, CompareMode mode) {
    std::vector<std::pair<size_t, size_t>> bounds;
    split_parts(s, delimiter, limit, mode, [&](size_t at, size_t n) { bounds.emplace_back(at, n); });
    if (bounds.size() > static_cast<size_t>(LONG_MAX)) raise(err::OutOfMemory);
    SafeArray a(VT_BSTR, static_cast<long>(bounds.size()));
    if (bounds.empty()) return a;
    // The new array's slots are null: each takes its part as it is made.
    BSTR* slots = &a.at<BSTR>(0);
    for (size_t i = 0; i < bounds.size(); ++i) slots[i] = Bstr(s.substr(bounds[i].first, bounds[i].second)).detach();
    return a;
}

std::wstring Join(const std::vector<std::wstring>& parts, std::wstring_view delimiter) {
    size_t total = 0;
    for (const auto& p : parts) total += p.size() + delimiter.size();
    std::wstring out;
    reserve_text(out, static_cast<long long>(total));
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out.append(delimiter);
        out.append(parts[i]);
    }
    return out;
}

std::wstring LCase(std::wstring_view s) { return map_case(s, LCMAP_LOWERCASE); }
std::wstring UCase(std::wstring_view s) { return map_case(s, LCMAP_UPPERCASE); }

int StrComp(std::wstring_view a, std::wstring_view b, CompareMode mode) {
    if (mode == CompareMode::Text) {
        if (a.size() > INT_MAX || b.size() > INT_MAX) raise(err::OutOfMemory);
        int r = CompareStringW(locale(), NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH, a.data(),
                               static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
        return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
    }
    int r = a.compare(b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::wstring StrReverse(std::wstring_view s) { return std::wstring(s.rbegin(), s.rend()); }

std::wstring Space(long count) { return String(count, L' '); }

std::wstring String(long count, wchar_t ch) { return std::wstring(text_length(count), ch); }

size_t text_length(long long length) {
    if (length < 0) raise(err::InvalidCall);
    if (length > kMaxTextLength) raise(err::OutOfStringSpace);
    return static_cast<size_t>(length);
}

void reserve_text(std::wstring& text, long long length) {
    const size_t n = text_length(length);
    try {
        text.reserve(n);
    } catch (const std::bad_alloc&) {
        raise(err::OutOfMemory);
    } catch (const std::length_error&) {
        raise(err::OutOfMemory);
    }
}

std::wstring LTrim(std::wstring_view s) {
    size_t i = s.find_first_not_of(L' ');
    return i == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(i));
}

std::wstring RTrim(std::wstring_view s) {
    size_t i = s.find_last_not_of(L' ');
    return i == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(0, i + 1));
}

std::wstring Trim(std::wstring_view s) { return LTrim(RTrim(s)); }

int Asc(std::wstring_view s) {
    if (s.empty()) raise(err::InvalidCall);
    std::string b = to_ansi(s.substr(0, 1));
    if (b.empty()) return 0;
    if (b.size() == 1) return static_cast<unsigned char>(b[0]);
    return static_cast<short>((static_cast<unsigned char>(b[0]) << 8) | static_cast<unsigned char>(b[1]));
}

int AscW(std::wstring_view s) {
    if (s.empty()) raise(err::InvalidCall);
    return static_cast<short>(s[0]);
}

std::wstring Chr(long code) {
    if (code < -32768 || code > 65535) raise(err::InvalidCall);
    unsigned v = static_cast<unsigned>(code) & 0xFFFF;
    CPINFO info{};
    GetCPInfo(CP_ACP, &info);
    if (v <= 0xFF) return from_ansi(std::string(1, static_cast<char>(v)));
    if (info.MaxCharSize < 2) raise(err::InvalidCall);
    char pair[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    return from_ansi(std::string_view(pair, 2));
}

std::wstring ChrW(long code) {
    if (code < -32768 || code > 65535) raise(err::InvalidCall);
    return std::wstring(1, static_cast<wchar_t>(code & 0xFFFF));
}

}  // namespace qm
