// File system statements: Kill, Name, FileCopy, MkDir, RmDir, GetAttr, SetAttr,
// FileLen, FileDateTime and the thread's Dir listing.
#include <utility>
#include <vector>

#include "runtime/errors.h"
#include "runtime/files.h"
#include "runtime/handover.h"

namespace qm {

namespace {

// The folders' limit: a path that long needs the "\\?\" form.
constexpr size_t kShortPathLimit = MAX_PATH - 12;
constexpr DWORD kListedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
constexpr long kRuntimeBits = attr::ReadOnly | attr::Hidden | attr::System | attr::Volume | attr::Directory |
                              attr::Archive;

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The name part of a path: after its last separator (or drive colon).
std::wstring_view name_part(std::wstring_view path) {
    size_t i = path.find_last_of(L"\\/:");
    return i == std::wstring_view::npos ? path : path.substr(i + 1);
}

bool has_wildcards(std::wstring_view text) { return text.find_first_of(L"*?") != std::wstring_view::npos; }

// A path that names one file or folder: no wildcards anywhere (52).
std::wstring literal_path(std::wstring_view path) {
    if (has_wildcards(path)) raise(err::BadFileNameOrNumber);
    return win32_path(path);
}

// An entry of the listing is listed when its hidden, system and folder bits are in the mask.
bool listed(DWORD attributes, long mask) { return (attributes & kListedBits & ~static_cast<DWORD>(mask)) == 0; }

WIN32_FILE_ATTRIBUTE_DATA file_data(std::wstring_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(literal_path(path).c_str(), GetFileExInfoStandard, &data)) raise_file_error();
    return data;
}

struct FindHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    FindHandle() = default;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() { reset(); }
    void reset(HANDLE n = INVALID_HANDLE_VALUE) {
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        h = n;
    }
};

// This thread's Dir listing.
struct Listing {
    enum class State { None, Running, Done } state = State::None;
    FindHandle find;
    long mask = 0;
    bool have_first = false;
    WIN32_FIND_DATAW first{};
    std::wstring pending;  // a volume label, returned once
    bool have_pending = false;

    std::wstring next() {
        if (have_pending) {
            have_pending = false;
            return std::exchange(pending, {});
        }
        while (find.h != INVALID_HANDLE_VALUE) {
            WIN32_FIND_DATAW fd;
            if (have_first) {
                fd = first;
                have_first = false;
            } else if (!FindNextFileW(find.h, &fd)) {
                break;
            }
            if (listed(fd.dwFileAttributes, mask)) return fd.cFileName;
        }
        find.reset();
        state = State::Done;
        return {};
    }
};
thread_local Listing t_listing;

std::wstring volume_label(const std::wstring& full) {
    std::wstring root(full.size() + 2, L'\0');
    if (!GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) return {};
    root.resize(wcslen(root.c_str()));
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) return {};
    return label;
}

}  // namespace

std::wstring win32_path(std::wstring_view path) {
    if (path.empty() || path.find(L'\0') != std::wstring_view::npos) raise(err::BadFileNameOrNumber);
    // Wine's 32-bit path functions end the process on a text of 100,000 characters.
    check_long_path(path);
    std::wstring p(path);
    if (p.starts_with(L"\\\\?\\") || p.starts_with(L"\\\\.\\")) return p;
    DWORD n = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    if (!n) raise_file_error();
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(p.c_str(), n, full.data(), nullptr);
    if (!n || n >= full.size()) raise_file_error();
    full.resize(n);
    if (full.size() < kShortPathLimit) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// --- deleting, renaming, copying --------------------------------------------------

void Kill(std::wstring_view pattern) {
    if (!has_wildcards(name_part(pattern))) {
        const std::wstring full = literal_path(pattern);
        const DWORD a = GetFileAttributesW(full.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) raise_file_error();
        if (a & FILE_ATTRIBUTE_DIRECTORY) raise(err::PathFileAccess);
        if (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) raise(err::FileNotFound);
        if (!DeleteFileW(full.c_str())) raise_file_error();
        return;
    }
    if (has_wildcards(pattern.substr(0, pattern.size() - name_part(pattern).size())))
        raise(err::BadFileNameOrNumber);
    const std::wstring full = win32_path(pattern);
    const std::wstring folder = full.substr(0, full.size() - name_part(full).size());
    // Gather first, then delete: the listing is not disturbed by the deletions.
    std::vector<std::wstring> names;
    {
        WIN32_FIND_DATAW fd;
        FindHandle find;
        find.reset(FindFirstFileW(full.c_str(), &fd));
        if (find.h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            raise_file_error(e == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : e);
        }
        do {
            if (listed(fd.dwFileAttributes, attr::Normal)) names.emplace_back(fd.cFileName);
        } while (FindNextFileW(find.h, &fd));
    }
    if (names.empty()) raise(err::FileNotFound);
    for (const auto& name : names)
        if (!DeleteFileW((folder + name).c_str())) raise_file_error();
}

void KillFile(std::wstring_view path) {
    const std::wstring full = literal_path(path);
    const DWORD a = GetFileAttributesW(full.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) raise_file_error();
    if (a & FILE_ATTRIBUTE_DIRECTORY) raise(err::PathFileAccess);
    if (!DeleteFileW(full.c_str())) raise_file_error();
}

void Name(std::wstring_view old_path, std::wstring_view new_path) {
    const std::wstring from = literal_path(old_path), to = literal_path(new_path);
    const DWORD a = GetFileAttributesW(from.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) raise_file_error();
    // Files may move to another drive (copied there); folders only within theirs.
    const DWORD flags = (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : MOVEFILE_COPY_ALLOWED;
    if (!MoveFileExW(from.c_str(), to.c_str(), flags)) raise_file_error();
}

void FileCopy(std::wstring_view source, std::wstring_view destination) {
    const std::wstring from = literal_path(source), to = literal_path(destination);
    const DWORD a = GetFileAttributesW(from.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) raise_file_error();
    if (a & FILE_ATTRIBUTE_DIRECTORY) raise(err::PathFileAccess);
    // A read-only target is not replaced (also where the file system would allow it).
    const DWORD t = GetFileAttributesW(to.c_str());
    if (t != INVALID_FILE_ATTRIBUTES && (t & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        raise(err::PathFileAccess);
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) raise_file_error();
}

void MkDir(std::wstring_view path) {
    if (!CreateDirectoryW(literal_path(path).c_str(), nullptr)) {
        DWORD e = GetLastError();
        if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) raise(err::PathFileAccess);
        raise_file_error(e);
    }
}

void RmDir(std::wstring_view path) {
    if (!RemoveDirectoryW(literal_path(path).c_str())) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_DIRECTORY) raise(err::PathNotFound);
        raise_file_error(e);
    }
}

// --- attributes, length, time --------------------------------------------------------

long GetAttr(std::wstring_view path) {
    const DWORD a = GetFileAttributesW(literal_path(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) raise_file_error();
    return static_cast<long>(a) & kRuntimeBits;
}

void SetAttr(std::wstring_view path, long attributes) {
    constexpr long settable = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive;
    if (attributes & ~settable) raise(err::InvalidCall);
    const DWORD a = attributes ? static_cast<DWORD>(attributes) : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(literal_path(path).c_str(), a)) raise_file_error();
}

long long FileLen(std::wstring_view path) {
    const WIN32_FILE_ATTRIBUTE_DATA data = file_data(path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) raise(err::FileNotFound);
    return static_cast<long long>((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

DATE FileDateTime(std::wstring_view path) {
    const WIN32_FILE_ATTRIBUTE_DATA data = file_data(path);
    SYSTEMTIME utc{}, local{};
    DATE d = 0;
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        raise_file_error();
    local.wMilliseconds = 0;
    if (!SystemTimeToVariantTime(&local, &d)) raise(err::Overflow);
    return d;
}

// --- Dir -------------------------------------------------------------------------

std::wstring Dir(std::wstring_view pattern, long attributes) {
    Listing& l = t_listing;
    l.find.reset();
    l.have_first = l.have_pending = false;
    l.pending.clear();
    l.mask = attributes;
    l.state = Listing::State::Running;
    if (pattern.empty()) return l.next();

    std::wstring p(pattern);
    if (is_separator(p.back()) || p.back() == L':') p += L'*';
    if (has_wildcards(p.substr(0, p.size() - name_part(p).size()))) raise(err::BadFileNameOrNumber);
    const std::wstring full = win32_path(p);
    if (attributes & attr::Volume) {
        l.pending = volume_label(full);
        l.have_pending = true;
        return l.next();
    }
    l.find.reset(FindFirstFileW(full.c_str(), &l.first));
    if (l.find.h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND && e != ERROR_NO_MORE_FILES) {
            l.state = Listing::State::Done;
            raise_file_error(e);
        }
    } else {
        l.have_first = true;
    }
    return l.next();
}

std::wstring Dir() {
    if (t_listing.state != Listing::State::Running) {
        t_listing.state = Listing::State::None;
        raise(err::InvalidCall);
    }
    return t_listing.next();
}

}  // namespace qm
