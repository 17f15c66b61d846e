// Path texts, the recursive folder deletion, the shell's file operation and the
// safe replacement of files.
#include "files/filebase.h"

#include <shellapi.h>

#include <atomic>
#include <cwchar>


#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/errors.h"
#include "runtime/handover.h"
#include "runtime/interfaces.h"

namespace qm {

// --- path texts ---------------------------------------------------------------------

long LastBackslashPos(std::wstring_view path) noexcept {
    const size_t pos = path.rfind(L'\\');
    return pos == std::wstring_view::npos ? 0 : static_cast<long>(pos + 1);
}

std::wstring Get_FileTitleFromPath(std::wstring_view path) {
    std::wstring_view name = path.substr(static_cast<size_t>(LastBackslashPos(path)));
    const size_t dot = name.rfind(L'.');
    return std::wstring(dot == std::wstring_view::npos ? name : name.substr(0, dot));
}

std::wstring AddBackslash(std::wstring_view path) {
    std::wstring result(path);
    if (!result.ends_with(L'\\')) result += L'\\';
    return result;
}

std::wstring RemoveBackslash(std::wstring_view path) {
    while (path.ends_with(L'\\')) path.remove_suffix(1);
    return std::wstring(path);
}

// --- safe replacement -----------------------------------------------------------------

std::wstring sibling_temp_file(std::wstring_view path) {
    static std::atomic<unsigned> counter{0};
    const std::wstring full = win32_path(path);
    const std::wstring folder = full.substr(0, full.rfind(L'\\') + 1);
    const unsigned seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[32];
        swprintf(name, 32, L"~qm%08X.tmp", seed + counter.fetch_add(1) * 7919u);
        const std::wstring temp = folder + name;
        HANDLE h = CreateFileW(win32_path(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return temp;
        }
        const DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) raise_file_error(e);
    }
    raise(err::PathFileAccess);
}

namespace {

// Removes a new file again unless it was put in place.
struct PendingFile {
    std::wstring path;
    bool keep = false;
    ~PendingFile() {
        if (keep || path.empty()) return;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
};

}  // namespace

void replace_file_with(std::wstring_view path, const std::function<void(const std::wstring& temp)>& fill) {
    const std::wstring target = win32_path(path);
    const DWORD old = GetFileAttributesW(target.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) raise(err::PathFileAccess);
    const std::wstring temp = sibling_temp_file(path);
    PendingFile pending{win32_path(temp)};
    fill(temp);
    constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool cleared = old != INVALID_FILE_ATTRIBUTES && (old & kept);
    if (cleared) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(pending.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD e = GetLastError();
        if (cleared) SetFileAttributesW(target.c_str(), old);
        raise_file_error(e);
    }
    pending.keep = true;
}

void replace_file(std::wstring_view path, const std::function<void(RtFile&)>& write) {
    replace_file_with(path, [&](const std::wstring& temp) {
        RtFile file(temp, OpenMode::Output);
        write(file);
        file.Close();
    });
}

namespace {

struct FileId {
    DWORD volume = 0, high = 0, low = 0;
    bool valid = false;
};

FileId file_id(const std::wstring& full) {
    FileId id;
    HANDLE h = CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info))
        id = FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
    CloseHandle(h);
    return id;
}

}  // namespace

bool same_file(std::wstring_view a, std::wstring_view b) {
    const std::wstring x = win32_path(a), y = win32_path(b);
    if (CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()), TRUE) ==
        CSTR_EQUAL)
        return true;
    const FileId i = file_id(x), j = file_id(y);
    return i.valid && j.valid && i.volume == j.volume && i.high == j.high && i.low == j.low;
}

// --- recursive deletion -----------------------------------------------------------------

namespace {

void report(const wchar_t* routine, const RuntimeError& e) noexcept {
    try {
        Write_ErrorLog(static_cast<long>(Source::basFileBase), routine, e.number(), e.description(), L"");
    } catch (...) {
    }
}

// One level of the walk: 0, or the first error, reported once (by the level where
// it happened).
long delete_level(const std::wstring& path) {
    try {
        const std::wstring base = path + L"\\";
        std::wstring name = Dir(AddBackslash(path) + L"*.*", attr::Directory);
        while (!name.empty()) {
            if (name != L"." && name != L"..") {
                const std::wstring entry = base + name;
                if (GetAttr(entry) & attr::Directory) {
                    // A level that fails ends this one too: its folder stays, so
                    // this one cannot go either, and it is never entered again.
                    if (long nested = delete_level(entry)) return nested;
                    name = Dir(base + L"*.*", attr::Directory);  // the nested walk ended ours
                    continue;
                }
                KillFile(entry);
            }
            name = Dir();
        }
        RmDir(path);
        return 0;
    } catch (const RuntimeError& e) {
        report(L"DeleteTree_", e);
        return e.number();
    }
}

}  // namespace

long DeleteTree_(std::wstring& path) { return delete_level(path); }

long DeleteTree(std::wstring_view path) {
    std::wstring copy(path);
    return DeleteTree_(copy);
}

// --- the shell's file operation ---------------------------------------------------------

namespace {

// The shell's answer as a run-time error number: its Win32 codes through the one
// mapping, its own codes (DE_...) as "Path/File access error".
long shell_error(int code) {
    if ((code >= 0x71 && code <= 0x88) || code == 0xB7 || code == 0x402 || code == 0x10000 || code == 0x10074)
        return err::PathFileAccess;
    return error_from_win32(static_cast<DWORD>(code));
}

std::wstring double_nul(const std::wstring& path) {
    std::wstring list = path;
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

}  // namespace

long SH_FileOperation(long& hwnd, long& operation, std::wstring& source, std::wstring& target,
                      bool include_subdirectories, bool confirm, bool show_dialogs, bool show_progress,
                      bool move_to_recycle_bin) {
    try {
        UINT function = 0;
        switch (operation) {
            case doCOPY: function = FO_COPY; break;
            case doMOVE: function = FO_MOVE; break;
            case doRENAME:
                function = FO_RENAME;
                if (target.find(L'\\') == std::wstring::npos) {
                    const long slash = LastBackslashPos(source);
                    if (slash == 0) raise(err::InvalidCall);
                    target = AddBackslash(std::wstring_view(source).substr(0, static_cast<size_t>(slash - 1))) + target;
                }
                break;
            case doDELETE:
                function = FO_DELETE;
                target.clear();
                break;
            default: return 0;
        }
        // The shell takes no path longer than the plain form allows.
        check_plain_path(source);
        check_plain_path(target);
        FILEOP_FLAGS flags = 0;
        if (!include_subdirectories) {
            flags |= FOF_FILESONLY;
        } else if (function == FO_COPY) {
            VARIANT_BOOL made = VARIANT_FALSE;
            check(shared<_Directory>()->CreatePath(Bstr(AddBackslash(target)).get(), &made));
        }
        if (!confirm) flags |= FOF_NOCONFIRMATION;
        if (!show_dialogs) flags |= FOF_SILENT | FOF_NOERRORUI;
        if (show_progress) flags |= FOF_SIMPLEPROGRESS;
        if (move_to_recycle_bin && operation == doDELETE) flags |= FOF_ALLOWUNDO;

        const std::wstring from = double_nul(source), to = double_nul(target);
        SHFILEOPSTRUCTW op{};
        op.hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
        op.wFunc = function;
        op.pFrom = from.c_str();
        op.pTo = to.c_str();
        op.fFlags = flags;
        const int code = SHFileOperationW(&op);
        if (code != 0) raise(shell_error(code));
        // Cancelled by the user or refused in one of the shell's dialogs.
        if (op.fAnyOperationsAborted) raise(err::CantPerformOperation);
        return 0;
    } catch (const RuntimeError& e) {
        report(L"SH_FileOperation", e);
        return e.number();
    }
}

}  // namespace qm
