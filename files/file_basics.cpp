// File: whether a file is there, making, deleting, comparing, shredding and
// renaming files, temporary files and hard links.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/process.h"

namespace qm {

namespace {

constexpr long kCompareBlock = 1 << 20;

}  // namespace

bool File::exists(std::wstring_view path, long* error) {
    VARIANT_BOOL r = VARIANT_FALSE;
    long e = 0;
    check(Exist(Bstr(path).get(), &e, &r));
    if (error) *error = e;
    return r != VARIANT_FALSE;
}

long File::kill(std::wstring_view path) {
    long r = 0;
    check(fKill(Bstr(path).get(), &r));
    return r;
}

// True when the file opens for input; otherwise False with the run-time error
// number in ErrorNumber. Nothing is reported.
HRESULT File::Exist(BSTR File, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (ErrorNumber) *ErrorNumber = 0;
        try {
            RtFile file(text_of(File), OpenMode::Input);
            file.Close();
            return true;
        } catch (const RuntimeError& e) {
            if (ErrorNumber) *ErrorNumber = e.number();
            return false;
        }
    });
}

// A new, empty file with normal attributes in place of whatever was there (the old
// file stays when the new one cannot be made).
HRESULT File::Create_File(BSTR File, long* result) {
    return trapped(Trap{Source::File, L"Create_File", nullptr, std::wstring(text_of(File))}, result,
                   ErrorNumberResult{}, [&] {
                       replace_file(text_of(File), [](RtFile&) {});
                       return 0L;
                   });
}

// The length in bytes; -2 on error (6 for a file too long for a Long).
HRESULT File::Get_FileLen(BSTR File, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::File, L"Get_FileLen", ErrorNumber, std::wstring(text_of(File))}, result, -2L, [&] {
        const long long length = FileLen(text_of(File));
        if (length > 0x7FFFFFFF) raise(err::Overflow);
        return static_cast<long>(length);
    });
}

// Clears the attributes of exactly the file named (no wildcards) and deletes it.
// 0 when it is gone or was not there; otherwise the run-time error number.
HRESULT File::fKill(BSTR File, long* result) {
    return untrapped(result, [&] {
        const std::wstring_view path = text_of(File);
        try {
            SetAttr(path, attr::Normal);
        } catch (const RuntimeError&) {
        }
        try {
            KillFile(path);
        } catch (const RuntimeError& e) {
            return e.number() == err::FileNotFound ? 0L : e.number();
        }
        return 0L;
    });
}

// Same length and same bytes. A file that cannot be opened gives False with
// ErrorNumber -1, unreported; other errors are reported.
HRESULT File::Compare(BSTR File1, BSTR File2, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::File, L"Compare", ErrorNumber}, result, false, [&] {
        if (!exists(text_of(File1)) || !exists(text_of(File2))) {
            if (ErrorNumber) *ErrorNumber = -1;
            return false;
        }
        RtFile a(text_of(File1), OpenMode::Binary, OpenAccess::Read);
        RtFile b(text_of(File2), OpenMode::Binary, OpenAccess::Read);
        long long left = a.LOF();
        if (left != b.LOF()) return false;
        std::vector<char> x(kCompareBlock), y(kCompareBlock);
        while (left > 0) {
            const size_t n = static_cast<size_t>(std::min<long long>(left, kCompareBlock));
            a.GetBytes(x.data(), n);
            b.GetBytes(y.data(), n);
            if (!std::equal(x.begin(), x.begin() + n, y.begin())) return false;
            left -= static_cast<long long>(n);
        }
        return true;
    });
}

// True when the file cannot be opened for writing (in use elsewhere, read-only,
// a folder, a missing folder or a bad name); ErrorNumber then holds why. A
// missing file in an existing folder is not in use and is not created.
HRESULT File::isInUse(BSTR Path, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (ErrorNumber) *ErrorNumber = 0;
        try {
            const DWORD a = GetFileAttributesW(win32_path(text_of(Path)).c_str());
            if (a == INVALID_FILE_ATTRIBUTES) {
                const DWORD e = GetLastError();
                if (e == ERROR_FILE_NOT_FOUND) return false;
                raise_file_error(e);
            }
            RtFile file(text_of(Path), OpenMode::Binary, OpenAccess::Write);
            file.Close();
            return false;
        } catch (const RuntimeError& e) {
            if (ErrorNumber) *ErrorNumber = e.number();
            return true;
        }
    });
}

// A new empty file "~....tmp" in Directory (the user's temporary folder when
// empty), left for the caller; its long path, "" when the system refuses.
HRESULT File::TempFile_Create(BSTR* Directory, BSTR* result) {
    return untrapped(result, [&] {
        std::wstring folder(Directory ? text_of(*Directory) : std::wstring_view());
        if (folder.empty()) {
            ::SystemDirectory which = sdUser_Temp;
            Bstr temp;
            check(shared<_System>()->SystemDirectory(&which, temp.put()));
            folder = temp.str();
        }
        wchar_t name[MAX_PATH + 1] = {};
        if (!GetTempFileNameW(folder.c_str(), L"~", 0, name)) return Bstr();
        Bstr path(std::wstring_view(name, wcsnlen(name, MAX_PATH)));
        Bstr long_path;
        check(Get_LongPath(path.get(), long_path.put()));
        return long_path;
    });
}

// Overwrites the whole file WriteLoop times with a new random 20-character
// pattern (digits and "A" to "E"), each pass flushed to disk, then deletes it.
// The file keeps its length during the passes.
HRESULT File::ShredderFile(BSTR Path, long* WriteLoop, long* result) {
    return trapped(Trap{Source::File, L"ShredderFile", nullptr, std::wstring(text_of(Path))}, result,
                   ErrorNumberResult{}, [&] {
                       const std::wstring_view path = text_of(Path);
                       const long long length = FileLen(path);
                       long passes = WriteLoop ? *WriteLoop : 3;
                       if (passes == 0) passes = 1;
                       if (passes < 0) passes = passes == LONG_MIN ? LONG_MAX : -passes;
                       if (WriteLoop) *WriteLoop = passes;

                       const std::wstring full = win32_path(path);
                       if (GetFileAttributesW(full.c_str()) & FILE_ATTRIBUTE_READONLY) raise(err::PathFileAccess);
                       _Misc* misc = shared<_Misc>();
                       constexpr size_t kPattern = 20, kBlock = kPattern * 52429;  // about 1 MiB
                       std::string block(kBlock, '\0');
                       for (long long pass = 1; pass <= passes; ++pass) {
                           char pattern[kPattern];
                           for (size_t i = 0; i < kPattern; i += 2) {
                               long digit = 0, letter = 0;
                               check(misc->Get_Randomize(0, 9, &digit));
                               check(misc->Get_Randomize(65, 69, &letter));
                               pattern[i] = static_cast<char>('0' + digit);
                               pattern[i + 1] = static_cast<char>(letter);
                           }
                           for (size_t i = 0; i < kBlock; ++i) block[i] = pattern[i % kPattern];
                           process::Handle h(CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                           if (!h) raise_file_error();
                           for (long long done = 0; done < length;) {
                               const DWORD n = static_cast<DWORD>(std::min<long long>(length - done, kBlock));
                               DWORD written = 0;
                               if (!WriteFile(h.get(), block.data(), n, &written, nullptr) || written != n)
                                   raise_file_error();
                               done += n;
                           }
                           if (!FlushFileBuffers(h.get())) raise_file_error();
                       }
                       return kill(path);
                   });
}

// Renames or moves File; a NewName without "\" stays in File's folder. With
// DeleteExist a file of that name is replaced (only once the move succeeds), and
// File named again in another case is renamed; without it an existing NewName
// (File itself included) leaves everything as it is. 0 also when File is missing.
HRESULT File::Rename(BSTR File, BSTR NewName, VARIANT_BOOL* DeleteExist, long* result) {
    return trapped(Trap{Source::File, L"Rename"}, result, ErrorNumberResult{}, [&](Trap& t) {
        const std::wstring_view from = text_of(File);
        std::wstring to(text_of(NewName));
        if (to.find(L'\\') == std::wstring::npos) to = std::wstring(from.substr(0, LastBackslashPos(from))) + to;
        t.extra = std::wstring(from) + L" -> " + to;
        if (!exists(from)) return 0L;
        if (!(DeleteExist && *DeleteExist)) {
            if (!exists(to)) Name(from, to);
            return 0L;
        }
        if (same_file(from, to)) {
            // The same file: at most the case of its name changes (by way of a
            // temporary name, which every file system takes as a real rename).
            const std::wstring source = win32_path(from), target = win32_path(to);
            if (source == target) return 0L;
            const std::wstring temp = win32_path(sibling_temp_file(to));
            if (!MoveFileExW(source.c_str(), temp.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                const DWORD e = GetLastError();
                DeleteFileW(temp.c_str());
                raise_file_error(e);
            }
            if (!MoveFileExW(temp.c_str(), target.c_str(), 0)) {
                const DWORD e = GetLastError();
                MoveFileExW(temp.c_str(), source.c_str(), 0);
                raise_file_error(e);
            }
            return 0L;
        }
        const std::wstring source = win32_path(from), target = win32_path(to);
        const DWORD old = GetFileAttributesW(target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) raise(err::PathFileAccess);
        const bool cleared = old != INVALID_FILE_ATTRIBUTES && (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                       FILE_ATTRIBUTE_SYSTEM));
        if (cleared) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            const DWORD e = GetLastError();
            if (cleared) SetFileAttributesW(target.c_str(), old);
            raise_file_error(e);
        }
        return 0L;
    });
}

// 0 made; -1 SourceFile missing; -2 TargetFile exists; -3 the system refused.
HRESULT File::Hardlink_Create(BSTR SourceFile, BSTR TargetFile, long* result) {
    return untrapped(result, [&] {
        if (!exists(text_of(SourceFile))) return -1L;
        if (exists(text_of(TargetFile))) return -2L;
        try {
            const std::wstring source = win32_path(text_of(SourceFile)), target = win32_path(text_of(TargetFile));
            return CreateHardLinkW(target.c_str(), source.c_str(), nullptr) ? 0L : -3L;
        } catch (const RuntimeError&) {
            return -3L;  // no usable name
        }
    });
}

}  // namespace qm
