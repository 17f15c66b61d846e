// File: a file's bytes to and from the client, as a Byte array or as one text
// per byte (decimal, binary, hexadecimal or the ANSI character).
#include <algorithm>
#include <array>
#include <string>

#include "files/file.h"
#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/forms/globals.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

constexpr long long kLargestArray = 0x7FFFFFFF;  // a Long-indexed array
constexpr long kYieldEvery = 1001;               // bytes converted between two yields

// The bytes of a Byte array in storage order (none for an undimensioned one).
std::string_view bytes_of(const SAFEARRAY* sa) {
    if (!sa || sa->cDims == 0) return {};
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(const_cast<SAFEARRAY*>(sa), &vt);
    if ((vt != VT_UI1 && vt != VT_I1) || sa->cbElements != 1) raise(err::TypeMismatch);
    size_t count = 1;
    for (USHORT d = 0; d < sa->cDims; ++d) count *= sa->rgsabound[d].cElements;
    return {static_cast<const char*>(sa->pvData), count};
}

// Writes the bytes as the file's whole new content; the old file (whatever its
// attributes) is replaced only once they are written.
void write_whole(std::wstring_view path, std::string_view bytes) {
    replace_file_with(path, [&](const std::wstring& temp) {
        RtFile out(temp, OpenMode::Binary, OpenAccess::Write);
        out.PutBytes(bytes);
        out.Close();
    });
}

// count bytes from the 1-based position as a Byte array (undimensioned for none).
SafeArray read_bytes(RtFile& in, long long position, long long count) {
    if (count <= 0) return SafeArray(VT_UI1);
    if (count > kLargestArray) raise(err::OutOfMemory);
    SafeArray bytes(VT_UI1, static_cast<long>(count));
    in.Seek(position);
    in.GetBytes(&bytes.at<BYTE>(0), static_cast<size_t>(count));
    if (in.Eof()) raise(err::InputPastEnd);  // the file shrank meanwhile
    return bytes;
}

// The text form of every byte value for one ReadAs.
std::array<Bstr, 256> byte_forms(long read_as) {
    static constexpr wchar_t hex[] = L"0123456789ABCDEF";
    std::array<Bstr, 256> all;
    for (unsigned b = 0; b < 256; ++b) {
        std::wstring text;
        switch (read_as) {
            case raDEC: text = (b < 10 ? L"0" : L"") + std::to_wstring(b); break;
            case raBIN: {
                Bstr digits;
                check(shared<_Mathematics>()->DecToBin(static_cast<long>(b), digits.put()));
                text = digits.str();
                if (text.size() < 8) text.insert(0, 8 - text.size(), L'0');
                break;
            }
            case raHEX: text = {hex[b >> 4], hex[b & 15]}; break;
            case raTEXT: text = from_ansi(std::string(1, static_cast<char>(b))); break;
            default: break;
        }
        all[b] = Bstr(text);
    }
    return all;
}

}  // namespace

// The whole file as a 0-based Byte array; an empty file gives an undimensioned
// array and ErrorNumber -1. A missing file is an error (53), never created.
HRESULT File::ReadAsByte(BSTR File, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::File, L"ReadAsByte", ErrorNumber, std::wstring(text_of(File))}, result,
                   static_cast<SAFEARRAY*>(nullptr), [&] {
                       RtFile in(text_of(File), OpenMode::Binary, OpenAccess::Read);
                       SafeArray bytes = read_bytes(in, 1, in.LOF());
                       in.Close();
                       if (!bytes.dimensioned() && ErrorNumber) *ErrorNumber = -1;
                       return bytes.detach();
                   });
}

// Writes the bytes of B as File's content: False with nothing written when File
// exists and OverwriteExist is False; an existing file is replaced (also a
// read-only one).
HRESULT File::SaveAsByte(SAFEARRAY** B, BSTR File, VARIANT_BOOL* OverwriteExist, long* ErrorNumber,
                         VARIANT_BOOL* result) {
    return trapped(Trap{Source::File, L"SaveAsByte", ErrorNumber, std::wstring(text_of(File))}, result, false, [&] {
        const bool overwrite = OverwriteExist && *OverwriteExist;
        if (exists(text_of(File)) && !overwrite) return false;
        write_whole(text_of(File), bytes_of(B ? *B : nullptr));
        return true;
    });
}

// As SaveAsByte; 0 also when File exists and is kept, else the error number.
HRESULT File::Binary_Write(BSTR File, SAFEARRAY** sByte, VARIANT_BOOL* OverwriteExist, long* result) {
    return trapped(Trap{Source::File, L"Binary_Write", nullptr, std::wstring(text_of(File))}, result,
                   ErrorNumberResult{}, [&] {
                       const bool overwrite = OverwriteExist && *OverwriteExist;
                       if (!overwrite && exists(text_of(File))) return 0L;
                       write_whole(text_of(File), bytes_of(sByte ? *sByte : nullptr));
                       return 0L;
                   });
}

// One text per byte: the whole file (ReadLenght 0), or ReadLenght bytes from the
// 1-based offset, fewer at the file's end and none (undimensioned) beyond it.
// ReadLenght < 0, or offset < 1 for a partial read: 5. Yields to the message loop
// after every 1,001 bytes.
HRESULT File::Binary_Read(BSTR File, long ReadLenght, enum ReadAs* ReadAs, long offset, long* ErrorNumber,
                          SAFEARRAY** result) {
    return trapped(Trap{Source::File, L"Binary_Read", ErrorNumber, std::wstring(text_of(File))}, result,
                   static_cast<SAFEARRAY*>(nullptr), [&] {
                       if (ReadLenght < 0 || (ReadLenght > 0 && offset < 1)) raise(err::InvalidCall);
                       RtFile in(text_of(File), OpenMode::Binary, OpenAccess::Read);
                       const long long length = in.LOF();
                       SafeArray bytes = ReadLenght == 0
                                             ? read_bytes(in, 1, length)
                                             : read_bytes(in, offset, std::min<long long>(ReadLenght,
                                                                                          length - (offset - 1)));
                       in.Close();
                       SafeArray texts(VT_BSTR);
                       if (!bytes.dimensioned()) return texts.detach();

                       const std::array<Bstr, 256> text_forms = byte_forms(ReadAs ? static_cast<long>(*ReadAs) : 0);
                       const long count = bytes.count();
                       texts = SafeArray(VT_BSTR, count);
                       for (long i = 0; i < count; ++i) {
                           const Bstr& form = text_forms[bytes.at<BYTE>(i)];
                           BSTR& element = texts.at<BSTR>(i);
                           element = SysAllocStringLen(form.get(), form.length());
                           if (!element) raise(err::OutOfMemory);
                           if ((i + 1) % kYieldEvery == 0) forms::do_events();
                       }
                       return texts.detach();
                   });
}

}  // namespace qm
