// Text: reading, writing and adding to whole text files.
#include <string>

#include "files/filebase.h"
#include "files/text.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/files.h"

namespace qm {

namespace {

constexpr std::wstring_view kCrLf = L"\r\n";

bool file_exists(BSTR path) {
    long number = 0;
    VARIANT_BOOL exists = VARIANT_FALSE;
    check(shared<_File>()->Exist(path, &number, &exists));
    return exists != VARIANT_FALSE;
}

}  // namespace

Text::ReadResult Text::read(BSTR file) {
    ReadResult r;
    check(TextFile_Read(file, &r.error, r.text.put()));
    return r;
}

long Text::write(BSTR file, std::wstring_view text) {
    long result = 0;
    check(TextFile_WriteText(file, Bstr(text).get(), &result));
    return result;
}

// The whole file with one trailing CR LF removed; a missing file gives "" and
// ErrorNumber -1 without a report.
HRESULT Text::TextFile_Read(BSTR File, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Text, L"TextFile_Read", ErrorNumber}, result, Bstr(), [&] {
        if (!file_exists(File)) {
            if (ErrorNumber) *ErrorNumber = -1;
            return Bstr();
        }
        RtFile file(text_of(File), OpenMode::Binary, OpenAccess::Read);
        const long long length = file.LOF();
        if (length > kMaxTextLength) raise(err::OutOfMemory);
        std::wstring text = from_ansi(file.GetBytes(static_cast<size_t>(length)));
        file.Close();
        if (text.ends_with(kCrLf)) text.resize(text.size() - kCrLf.size());
        return Bstr(text);
    });
}

// Replaces the file by Text and CR LF; the old file stays when the write fails.
HRESULT Text::TextFile_WriteText(BSTR File, BSTR Text, long* result) {
    return trapped(Trap{Source::Text, L"TextFile_WriteText"}, result, ErrorNumberResult{}, [&] {
        replace_file(text_of(File), [&](RtFile& file) { file.Print(text_of(Text)); });
        return 0L;
    });
}

// Add_to_Begin: Text and CR LF before the present text (rewritten safely);
// Add_to_End: Text and CR LF appended (the file is created when missing).
HRESULT Text::TextFile_AddText(BSTR File, BSTR Text, ADDTTEXTINFO* Add_To, long* result) {
    return trapped(Trap{Source::Text, L"TextFile_AddText"}, result, ErrorNumberResult{}, [&]() -> long {
        const long where = Add_To ? static_cast<long>(*Add_To) : 0;
        if (where == Add_to_Begin) {
            ReadResult old = read(File);
            // A file that exists but cannot be read is not overwritten.
            if (old.error > 0) return old.error;
            std::wstring text(text_of(Text));
            text += kCrLf;
            text += old.text.view();
            return write(File, text);
        }
        if (where == Add_to_End) {
            RtFile file(text_of(File), OpenMode::Append);
            file.Print(text_of(Text));
            file.Close();
        }
        return 0;
    });
}

}  // namespace qm
