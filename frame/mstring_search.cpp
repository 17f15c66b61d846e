// mString: searching, counting, cutting and wrapping texts.
#include <string>
#include <vector>

#include "frame/mstring.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// The position (1-based) of occurrence pos of find in text, scanning from the
// left without overlap: itFIRST the first, itLast the last, n > 0 the n-th; 0
// when there is none, for pos 0, and for other negative positions. An empty find
// is hit again where the scan goes on, so every hit is the first one (the
// runtime's InStr answer); for itLast there is no last hit and the answer is 0.
long find_occurrence(std::wstring_view text, std::wstring_view find, long pos) {
    if (pos == itFIRST) return qm::InStr(text, find);
    if (pos == 0 || pos < itLast) return 0;
    if (find.empty()) return pos > 0 ? qm::InStr(text, find) : 0;
    long hits = 0, last = 0;
    for (size_t at = text.find(find); at != std::wstring_view::npos; at = text.find(find, at + find.size())) {
        last = static_cast<long>(at) + 1;
        if (++hits == pos) return last;
    }
    return pos == itLast ? last : 0;
}

// The number of occurrences of find in text, left to right without overlap.
long count_occurrences(std::wstring_view text, std::wstring_view find) {
    long n = 0;
    for (size_t at = text.find(find); at != std::wstring_view::npos; at = text.find(find, at + find.size())) ++n;
    return n;
}

}  // namespace

HRESULT mString::InStr(BSTR Str, BSTR* Find, InStrPosition POS, VARIANT_BOOL FindExact, long* result) {
    // The caller's Find is read, never changed (lower-casing works on a copy).
    return untrapped(result, [&] {
        std::wstring_view find = Find ? text_of(*Find) : std::wstring_view();
        if (FindExact) return find_occurrence(text_of(Str), find, POS);
        return find_occurrence(LCase(text_of(Str)), LCase(find), POS);
    });
}

HRESULT mString::InStrRev(BSTR Str, BSTR Find, InStrPosition POS, VARIANT_BOOL FindExact, long* result) {
    // The search of InStr mirrored: the text and the search text are both read
    // from the right, so the answer is the position, counted from the right end
    // (1 = the last character), of the occurrence's last character; POS counts
    // occurrences from the right.
    return untrapped(result, [&] {
        std::wstring text = StrReverse(text_of(Str)), find = StrReverse(text_of(Find));
        if (!FindExact) {
            text = LCase(text);
            find = LCase(find);
        }
        return find_occurrence(text, find, POS);
    });
}

HRESULT mString::StringCount(BSTR Text, BSTR SearchFor, VARIANT_BOOL SearchExact, VARIANT_BOOL WholeWordsOnly,
                             long* ErrorNumber, long* result) {
    return trapped(Trap{Source::mString, L"StringCount", ErrorNumber}, result, 0L, [&] {
        std::wstring text(text_of(Text)), find(text_of(SearchFor));
        if (text.empty()) return 0L;
        if (!SearchExact) {
            text = LCase(text);
            find = LCase(find);
        }
        if (WholeWordsOnly) {
            text = L" " + text + L" ";
            find = L" " + find + L" ";
        }
        if (find.empty()) raise(err::DivisionByZero);
        return count_occurrences(text, find);
    });
}

HRESULT mString::Str_Cut(BSTR Str, VARIANT StrToCut, VARIANT_BOOL CutFromRight, VARIANT_BOOL CutAll,
                         long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::mString, L"Str_Cut", ErrorNumber}, result, Bstr(), [&] {
        std::wstring_view text = text_of(Str);
        std::wstring cut = CStr(StrToCut);
        if (CutAll) return Bstr(Replace(text, cut, L""));
        if (cut.empty()) return Bstr(text);  // nothing to cut
        long at = find_occurrence(text, cut, CutFromRight ? itLast : itFIRST);
        if (at == 0) return Bstr();
        std::wstring out(text.substr(0, at - 1));
        out += text.substr(at - 1 + cut.size());
        return Bstr(out);
    });
}

}  // namespace qm

namespace qm {

HRESULT mString::sSplit(BSTR Str, long Position, SAFEARRAY** result) {
    // Never raises: a failure gives an empty array.
    if (!result) return E_POINTER;
    *result = nullptr;
    try {
        std::wstring_view text = text_of(Str);
        if (text.empty() || Position < 1) return S_OK;
        // The pieces are gathered first and the array made once: growing it by
        // one element per piece takes time with the square of the pieces.
        std::vector<std::wstring_view> pieces;
        std::vector<std::wstring> lines = Split(text, L"\r\n");
        for (size_t i = 0; i < lines.size(); ++i) {
            std::wstring_view line = lines[i];
            while (!line.empty()) {
                size_t take = std::min(line.size(), static_cast<size_t>(Position));
                pieces.push_back(line.substr(0, take));
                line.remove_prefix(take);
            }
            if (i + 1 < lines.size()) pieces.push_back(L"");
        }
        if (text.size() >= 2 && text.substr(text.size() - 2) == L"\r\n") pieces.push_back(L"");
        SafeArray out(VT_BSTR, static_cast<long>(pieces.size()));
        for (size_t i = 0; i < pieces.size(); ++i) out.set_text(static_cast<long>(i), pieces[i]);
        *result = out.detach();
    } catch (...) {
    }
    return S_OK;
}

}  // namespace qm
