// Text: facts about a text file, its lines, and edits written back in place.
#include <algorithm>
#include <string>
#include <vector>

#include "files/text.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr std::wstring_view kCrLf = L"\r\n";

// How often find occurs in text (non-overlapping).
long occurrences(std::wstring_view text, std::wstring_view find) {
    long n = 0;
    for (size_t pos = text.find(find); pos != std::wstring_view::npos; pos = text.find(find, pos + find.size())) ++n;
    return n;
}

}  // namespace

// Length on disk (twice), line and word counts and the text; the empty record
// for a missing file.
HRESULT Text::TextFile_GetInfo(BSTR File, TEXTFILEINFO* result) {
    if (!result) return E_POINTER;
    *result = TEXTFILEINFO{};
    return trapped(Trap{Source::Text, L"TextFile_GetInfo"}, [&] {
        long missing = 0;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(File, &missing, &exists));
        if (!exists) return;
        const long long length = FileLen(text_of(File));
        if (length > 0x7FFFFFFF) raise(err::Overflow);
        long lines = 0;
        check(TextFile_LineCount(File, &lines));
        ReadResult r = read(File);
        if (r.error > 0) raise(r.error);
        const std::wstring_view text = r.text.view();
        result->CharCount = result->FileLen = static_cast<long>(length);
        result->LineCount = lines;
        result->WordCount = text.empty() ? -1 : occurrences(text, L" ");
        result->Text = r.text.detach();
    });
}

// Line breaks between lines: 2 for three lines, -1 for an empty text, -2 when
// the file cannot be read (missing).
HRESULT Text::TextFile_LineCount(BSTR File, long* result) {
    return untrapped(result, [&] {
        ReadResult r = read(File);
        if (r.error != 0) return -2L;
        return r.text.empty() ? -1L : occurrences(r.text.view(), kCrLf);
    });
}

// Line Line (1 = first) of the text; "" outside the lines.
HRESULT Text::TextFile_ReadLine(BSTR File, long Line, BSTR* result) {
    return untrapped(result, [&] {
        if (Line < 1) return Bstr();
        ReadResult r = read(File);
        Bstr line;
        check(shared<_mString>()->Get_Line(r.text.get(), Line, line.put()));
        return line;
    });
}

// The text split at SplitAt (CR LF when it is empty or left out), 0-based; no
// elements for a missing or empty file.
HRESULT Text::TextFile_ReadLinesInAray(BSTR File, BSTR* SplitAt, SAFEARRAY** result) {
    return untrapped(result, [&] {
        std::wstring_view separator = SplitAt ? text_of(*SplitAt) : std::wstring_view();
        if (separator.empty()) separator = kCrLf;
        ReadResult r = read(File);
        return split_array(r.text.view(), separator).detach();
    });
}

// 0 done; -1 nothing to remove from (missing or empty file); -2 no such line;
// otherwise the error number of the failed write (the file then stays as it was).
HRESULT Text::TextFile_RemoveLine(BSTR File, long Line, long* result) {
    return untrapped(result, [&] {
        ReadResult r = read(File);
        if (r.error > 0) return r.error;
        if (r.text.empty()) return -1L;
        std::vector<std::wstring> lines = Split(r.text.view(), kCrLf);
        if (Line < 1 || static_cast<size_t>(Line) > lines.size()) return -2L;
        lines.erase(lines.begin() + (Line - 1));
        return write(File, Join(lines, kCrLf));
    });
}

// Every occurrence replaced (case-sensitive) and written back; False when the
// file cannot be read (a missing file is not created) or the write fails.
HRESULT Text::TextFile_ReplaceText(BSTR File, BSTR SearchFor, BSTR ReplaceWith, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        ReadResult r = read(File);
        if (r.error != 0) return false;
        return write(File, Replace(r.text.view(), text_of(SearchFor), text_of(ReplaceWith))) == 0;
    });
}

// Keeps the last (cut from top) or first (cut from bottom) FileSize characters.
HRESULT Text::TextFile_LimitFileSize(BSTR TextFile, long FileSize, CUTTEXTINFO* CutFrom, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        ReadResult r = read(TextFile);
        if (r.error != 0) return false;
        std::wstring text = r.text.str();
        const long how = CutFrom ? static_cast<long>(*CutFrom) : 0;
        if (how == ctiCutFromTop)
            text = Right(text, FileSize);
        else if (how == ctiCutFromBottom)
            text = Left(text, FileSize);
        return write(TextFile, text) == 0;
    });
}

// True when both files read and their texts are equal; ErrorNumber: the failing read's.
HRESULT Text::TextFile_Compare(BSTR TextFile1, BSTR TextFile2, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long local = 0;
        long& error = ErrorNumber ? *ErrorNumber : local;
        Bstr first, second;
        check(TextFile_Read(TextFile1, &error, first.put()));
        if (error != 0) return false;
        check(TextFile_Read(TextFile2, &error, second.put()));
        if (error != 0) return false;
        return first.view() == second.view();
    });
}

}  // namespace qm
