// Text: whole text files as one string (ANSI, CR LF line ends, one CR LF added
// on every write and removed on every read).
#pragma once
#include <string_view>

#include "runtime/bstr.h"
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Text : public Dispatch<_Text> {
public:
    // Reading and writing whole files
    HRESULT STDMETHODCALLTYPE TextFile_Read(BSTR File, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_WriteText(BSTR File, BSTR Text, long* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_AddText(BSTR File, BSTR Text, ADDTTEXTINFO* Add_To, long* result) override;

    // Lines, counts and edits
    HRESULT STDMETHODCALLTYPE TextFile_GetInfo(BSTR File, TEXTFILEINFO* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_LineCount(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_ReadLine(BSTR File, long Line, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_ReadLinesInAray(BSTR File, BSTR* SplitAt, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE TextFile_RemoveLine(BSTR File, long Line, long* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_ReplaceText(BSTR File, BSTR SearchFor, BSTR ReplaceWith,
                                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_LimitFileSize(BSTR TextFile, long FileSize, CUTTEXTINFO* CutFrom,
                                                     VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_Compare(BSTR TextFile1, BSTR TextFile2, long* ErrorNumber,
                                               VARIANT_BOOL* result) override;

    // Printing and text checksums
    HRESULT STDMETHODCALLTYPE Text_Print(BSTR Text, long* result) override;
    HRESULT STDMETHODCALLTYPE TextFile_Print(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Text_PrintBlocksatz(BSTR Text, long* LeftMargin, long* RightMargin, long* TopMargin,
                                                  long* result) override;
    HRESULT STDMETHODCALLTYPE CRC32FromText(BSTR Text, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CRC32Validate(BSTR Text, BSTR CRC32, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CRC32Compare(BSTR Text1, BSTR Text2, VARIANT_BOOL* result) override;

private:
    // The read text and the read's error number (-1: missing file).
    struct ReadResult {
        Bstr text;
        long error = 0;
    };
    ReadResult read(BSTR file);
    long write(BSTR file, std::wstring_view text);
};

}  // namespace qm
