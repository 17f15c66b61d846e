// File: what a file is: its version and version texts, the shell's type name,
// its DOS header, its link time, its attributes, time stamps and owner.
#include <windows.h>
#include <shellapi.h>
#include <winioctl.h>

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/file.h"
#include "files/file_formats.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/dates.h"
#include "runtime/files.h"
#include "runtime/process.h"

namespace qm {

namespace {

void free_strings(std::initializer_list<BSTR*> fields) noexcept {
    for (BSTR* s : fields) {
        SysFreeString(*s);
        *s = nullptr;
    }
}
void free_strings(EXTENDETFILEINFO& r) noexcept {
    free_strings({&r.COMPANYNAME, &r.FILEDESCRIPTION, &r.FILEVERSION, &r.INTERNALNAME, &r.LEGALCOPYRIGHT,
                  &r.ORIGINALFILENAME, &r.PRODUCTNAME, &r.PRODUCTVERSION, &r.COMMENTS, &r.LEGALTRADEMARKS});
}
void free_strings(FILEATTRIBUTE& r) noexcept { free_strings({&r.FilePath}); }
void free_strings(FILEINFO& r) noexcept {
    free_strings(r.Attributes);
    free_strings(r.EXTENDET);
    free_strings({&r.Path, &r.SHORTPATH, &r.LONGPATH, &r.Directory, &r.Owner});
}

// A record being filled: its strings are freed unless it is handed out.
template <class R>
class Filling {
public:
    Filling() = default;
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;
    ~Filling() { free_strings(r_); }
    R* operator->() noexcept { return &r_; }
    R& operator*() noexcept { return r_; }
    R release() noexcept { return std::exchange(r_, R{}); }

private:
    R r_{};
};

// The version data as the system gives it; empty when the file has none.
std::vector<BYTE> version_data(std::wstring_view file) {
    if (file.empty()) return {};
    const std::wstring path(file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
    return data;
}

// The ten text entries of the file's version resource; all "" when it has none.
void Get_VersionInfoStrings(std::wstring_view file, EXTENDETFILEINFO& info) {
    const std::vector<BYTE> data = version_data(file);
    if (data.size() < sizeof(WORD)) return;
    // The resource tells its own length; the system's buffer may be longer.
    WORD length = 0;
    std::memcpy(&length, data.data(), sizeof length);
    const size_t bytes = length >= sizeof(WORD) && length < data.size() ? length : data.size();
    const std::wstring_view units(reinterpret_cast<const wchar_t*>(data.data()), bytes / sizeof(wchar_t));
    const struct {
        const wchar_t* key;
        BSTR EXTENDETFILEINFO::*field;
    } entries[] = {
        {L"Comments", &EXTENDETFILEINFO::COMMENTS},
        {L"CompanyName", &EXTENDETFILEINFO::COMPANYNAME},
        {L"FileDescription", &EXTENDETFILEINFO::FILEDESCRIPTION},
        {L"FileVersion", &EXTENDETFILEINFO::FILEVERSION},
        {L"InternalName", &EXTENDETFILEINFO::INTERNALNAME},
        {L"LegalCopyright", &EXTENDETFILEINFO::LEGALCOPYRIGHT},
        {L"LegalTrademarks", &EXTENDETFILEINFO::LEGALTRADEMARKS},
        {L"OriginalFilename", &EXTENDETFILEINFO::ORIGINALFILENAME},
        {L"ProductName", &EXTENDETFILEINFO::PRODUCTNAME},
        {L"ProductVersion", &EXTENDETFILEINFO::PRODUCTVERSION},
    };
    for (const auto& e : entries) info.*e.field = Bstr(Get_VersionInfoValue(units, e.key)).detach();
}

// The link time stamp (seconds since 1970, universal time) in local time.
COMPILESDATEINFO local_link_time(int32_t seconds) {
    const long long ticks = (static_cast<long long>(seconds) + 11644473600LL) * 10000000LL;
    const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) raise_win32();
    return {DateSerial(local.wYear, local.wMonth, local.wDay), TimeSerial(local.wHour, local.wMinute, local.wSecond)};
}

// The device control code of a request.
constexpr DWORD Get_CtlCode(DWORD device_type, DWORD function, DWORD method, DWORD access) {
    return device_type << 16 | access << 14 | function << 2 | method;
}
static_assert(Get_CtlCode(9, 16, 0, 3) == 0x9C040);

// A system time as the record's pair: the calendar day and the time of day, to
// the second.
void Convert_SystemTimeToDate(const FILETIME& ft, DATE& day, DATE& time) {
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return;
    day = DateSerial(st.wYear, st.wMonth, st.wDay);
    time = TimeSerial(st.wHour, st.wMinute, st.wSecond);
}

// The day of one Date and the time of day of another, read as local time, in
// universal time; 5 for a time the file system cannot store.
FILETIME Convert_DateTextToFileTime(DATE day, DATE time) {
    SYSTEMTIME st{};
    const int year = Year(day);
    if (year < 1601 || year > 30827) raise(err::InvalidCall);
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(Month(day));
    st.wDay = static_cast<WORD>(Day(day));
    st.wHour = static_cast<WORD>(Hour(time));
    st.wMinute = static_cast<WORD>(Minute(time));
    st.wSecond = static_cast<WORD>(Second(time));
    FILETIME local{}, utc{};
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc) ||
        (utc.dwHighDateTime & 0x80000000u))
        raise(err::InvalidCall);
    return utc;
}

// An existing file (not a folder) opened with this access; an empty handle when
// it cannot be.
process::Handle open_file(std::wstring_view file, DWORD access) {
    try {
        const std::wstring path = win32_path(file);
        const DWORD a = GetFileAttributesW(path.c_str());
        if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return {};
        return process::Handle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    } catch (const RuntimeError&) {
        return {};  // no usable name
    }
}

}  // namespace

// The file version of the fixed version block, each part unsigned; "" without one.
HRESULT File::Get_FileVersion(BSTR File, BSTR* result) {
    return untrapped(result, [&] {
        std::vector<BYTE> data = version_data(text_of(File));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        if (data.empty() || !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) || !fixed ||
            size < sizeof *fixed)
            return Bstr();
        return Bstr(std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L'.' +
                    std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L'.' +
                    std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L'.' +
                    std::to_wstring(LOWORD(fixed->dwFileVersionLS)));
    });
}

// The shell's type name of the file; "" when the shell cannot type it.
HRESULT File::Get_FileDescription(BSTR File, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring path(text_of(File));
        check_plain_path(path);
        SHFILEINFOW info{};
        if (path.empty() || !SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME)) return Bstr();
        return Bstr(std::wstring_view(info.szTypeName, wcsnlen(info.szTypeName, std::size(info.szTypeName))));
    });
}

HRESULT File::Get_ExtendedFileInfo(BSTR File, EXTENDETFILEINFO* result) {
    if (!result) return E_POINTER;
    *result = EXTENDETFILEINFO{};
    return untrapped([&] {
        Filling<EXTENDETFILEINFO> info;
        Get_VersionInfoStrings(text_of(File), *info);
        *result = info.release();
    });
}

// The first 28 bytes as the DOS header; zeros past the end of a shorter file.
HRESULT File::Get_Header(BSTR File, long* ErrorNumber, FILEHEADER* result) {
    if (!result) return E_POINTER;
    *result = FILEHEADER{};
    return trapped(Trap{Source::File, L"Get_Header", ErrorNumber, std::wstring(text_of(File))}, [&] {
        RtFile file(text_of(File), OpenMode::Binary, OpenAccess::Read);
        unsigned char bytes[28] = {};
        file.GetBytes(bytes, sizeof bytes);
        FILEHEADER h{};
        h.Sign1 = bytes[0];
        h.Sign2 = bytes[1];
        short* const words[] = {&h.FlenMod512, &h.Flen512p, &h.Nreloc,   &h.Hhdrsize16, &h.Minrun,
                                &h.Maxrun,     &h.OffmoduleP, &h.InStackpt, &h.CheckSum,  &h.Entrypt,
                                &h.Offexe,     &h.Offexereloc, &h.Overlay};
        for (size_t i = 0; i < std::size(words); ++i)
            *words[i] = static_cast<short>(bytes[2 + 2 * i] | bytes[3 + 2 * i] << 8);
        *result = h;
    });
}

// The link time of an executable image in local time; a zero record for a
// missing file, 5 for a file without an image header.
HRESULT File::Get_CompileTime(BSTR File, long* ErrorNumber, COMPILESDATEINFO* result) {
    if (!result) return E_POINTER;
    *result = COMPILESDATEINFO{};
    return trapped(Trap{Source::File, L"Get_CompileTime", ErrorNumber}, [&] {
        const std::wstring_view path = text_of(File);
        if (!exists(path)) return;
        RtFile file(path, OpenMode::Binary, OpenAccess::Read);
        const std::optional<int32_t> stamp =
            image_time_stamp(static_cast<uint64_t>(file.LOF()), [&](uint64_t offset, void* data, size_t size) {
                file.Seek(static_cast<long long>(offset) + 1);
                file.GetBytes(data, size);
                return true;
            });
        if (!stamp) raise(err::InvalidCall);
        *result = local_link_time(*stamp);
    });
}

HRESULT File::Get_Attributes(BSTR File, long* ErrorNumber, FILEATTRIBUTE* result) {
    if (!result) return E_POINTER;
    *result = FILEATTRIBUTE{};
    return trapped(Trap{Source::File, L"Get_Attributes", ErrorNumber}, [&] {
        const long a = GetAttr(text_of(File));
        const auto bit = [&](long b) -> VARIANT_BOOL { return (a & b) ? VARIANT_TRUE : VARIANT_FALSE; };
        Filling<FILEATTRIBUTE> r;
        r->Alias = bit(attr::Alias);
        r->Archive = bit(attr::Archive);
        r->Directory = bit(attr::Directory);
        r->Hidden = bit(attr::Hidden);
        r->Normal = VARIANT_FALSE;
        r->ReadOnly = bit(attr::ReadOnly);
        r->System = bit(attr::System);
        r->Volume = bit(attr::Volume);
        r->FilePath = Bstr(text_of(File)).detach();
        *result = r.release();
    });
}

// True when any of the asked bits is set.
HRESULT File::Has_Attribut(BSTR Path, long* Attribut, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::File, L"Has_Attribut", ErrorNumber, std::wstring(text_of(Path))}, result, false,
                   [&] { return (GetAttr(text_of(Path)) & (Attribut ? *Attribut : 0)) != 0; });
}

HRESULT File::Set_Attributes(BSTR Path, long* Attribut, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::File, L"Set_Attributes", ErrorNumber, std::wstring(text_of(Path))}, result, false,
                   [&] {
                       SetAttr(text_of(Path), Attribut ? *Attribut : 0);
                       return true;
                   });
}

// Switches the file system's compression of the file on or off; True when the
// file system did it.
HRESULT File::Set_AttributeCompressed(BSTR File, AttributeCompressedCommand* Command, long* ErrorNumber,
                                      VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (ErrorNumber) *ErrorNumber = 0;
        const std::wstring_view path = text_of(File);
        if (!exists(path, ErrorNumber)) return false;
        const process::Handle h = [&] {
            try {
                return process::Handle(CreateFileW(win32_path(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            } catch (const RuntimeError&) {
                return process::Handle();
            }
        }();
        if (!h) return false;
        DWORD format = (!Command || *Command == acSelectCompressedAttribut) ? COMPRESSION_FORMAT_DEFAULT
                                                                            : COMPRESSION_FORMAT_NONE;
        constexpr DWORD set_compression =
            Get_CtlCode(FILE_DEVICE_FILE_SYSTEM, 16, METHOD_BUFFERED, FILE_READ_DATA | FILE_WRITE_DATA);
        DWORD returned = 0;
        return DeviceIoControl(h.get(), set_compression, &format, sizeof format, nullptr, 0, &returned, nullptr) !=
               FALSE;
    });
}

// The three time stamps in universal time; the zero record for a folder or a
// file that cannot be opened.
HRESULT File::Get_FileTime(BSTR File, FILETIMEINFO* result) {
    if (!result) return E_POINTER;
    *result = FILETIMEINFO{};
    return untrapped([&] {
        const process::Handle h = open_file(text_of(File), FILE_READ_ATTRIBUTES);
        FILETIME created{}, accessed{}, written{};
        if (!h || !GetFileTime(h.get(), &created, &accessed, &written)) return;
        FILETIMEINFO r{};
        Convert_SystemTimeToDate(created, r.CREATED_DATE, r.CREATED_TIME);
        Convert_SystemTimeToDate(accessed, r.LASTACCESS_DATE, r.LASTACCESS_TIME);
        Convert_SystemTimeToDate(written, r.LASTCHANGED_DATE, r.LASTCHANGED_TIME);
        *result = r;
    });
}

// Sets the three time stamps from the record, read as local time. 0 done; -1 the
// file cannot be opened for writing; 5 for a time the file system cannot store
// (nothing changed).
HRESULT File::Set_FileTime(BSTR File, FILETIMEINFO* Times, long* result) {
    return trapped(Trap{Source::File, L"Set_FileTime", nullptr, std::wstring(text_of(File))}, result,
                   ErrorNumberResult{}, [&] {
                       const process::Handle h = open_file(text_of(File), FILE_WRITE_ATTRIBUTES);
                       if (!h) return -1L;
                       const FILETIMEINFO t = Times ? *Times : FILETIMEINFO{};
                       const FILETIME created = Convert_DateTextToFileTime(t.CREATED_DATE, t.CREATED_TIME);
                       const FILETIME accessed = Convert_DateTextToFileTime(t.LASTACCESS_DATE, t.LASTACCESS_TIME);
                       const FILETIME written = Convert_DateTextToFileTime(t.LASTCHANGED_DATE, t.LASTCHANGED_TIME);
                       if (!SetFileTime(h.get(), &created, &accessed, &written)) raise_file_error();
                       return 0L;
                   });
}

HRESULT File::Get_Owner(BSTR File, BSTR* result) {
    return untrapped(result, [&] {
        Bstr owner;
        check(shared<_Directory>()->Get_Owner(File, owner.put()));
        return owner;
    });
}

// All of the above for an existing file, each part through the shared instance
// and reporting its own failures; a zero record when the file is missing.
HRESULT File::Get_FileInfo(BSTR File, long* ErrorNumber, FILEINFO* result) {
    if (!result) return E_POINTER;
    *result = FILEINFO{};
    return trapped(Trap{Source::File, L"Get_FileInfo", ErrorNumber}, [&] {
        if (!exists(text_of(File), ErrorNumber)) return;
        _File* file = shared<_File>();
        Filling<FILEINFO> info;
        info->Path = Bstr(text_of(File)).detach();
        check(file->Get_ShortPath(File, &info->SHORTPATH));
        check(file->Get_LongPath(File, &info->LONGPATH));
        check(file->Get_DirectoryFromPath(File, nullptr, &info->Directory));
        check(file->Get_ExtendedFileInfo(File, &info->EXTENDET));
        check(file->Get_Attributes(File, nullptr, &info->Attributes));
        check(file->Get_Header(File, nullptr, &info->HEADER));
        check(file->Get_FileTime(File, &info->Time));
        check(file->Get_FileLen(File, nullptr, &info->FileLen));
        check(shared<_Directory>()->Get_Owner(File, &info->Owner));
        *result = info.release();
    });
}

}  // namespace qm
