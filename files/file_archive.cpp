// File: the library's own archive file. Each entry is a 16-bit path length, the
// path's ANSI bytes, a 16-bit content length and the content; after the last
// entry the upper bound of the entry list as a 32-bit number (all little-endian).
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/filebase.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

constexpr size_t kLargestField = 0xFFFF;

void put_u16(std::string& out, size_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

// One entry of an archive in memory: views into its bytes.
struct Entry {
    std::string_view path, content;
};

// Walks the entries of a whole archive; false when its layout is broken: an
// upper bound the file cannot hold, a length that runs past the entries, or
// entries that do not end exactly where the upper bound begins.
class ArchiveReader {
public:
    explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}

    bool valid() const {
        if (bytes_.size() < 4) return false;
        int32_t upper = 0;
        std::memcpy(&upper, bytes_.data() + bytes_.size() - 4, 4);
        const size_t body = bytes_.size() - 4;
        if (upper < 0 || static_cast<uint64_t>(upper) >= body / 4) return false;  // 4 bytes an entry at least
        size_t at = 0;
        for (int64_t i = 0; i <= upper; ++i) {
            Entry e;
            if (!next(at, e)) return false;
        }
        return at == body;
    }

    // Entry at `at` (moved past it); false when it does not fit before the bound.
    bool next(size_t& at, Entry& e) const {
        const size_t body = bytes_.size() - 4;
        std::string_view* fields[2] = {&e.path, &e.content};
        for (std::string_view* field : fields) {
            if (body - at < 2) return false;
            const auto* length = reinterpret_cast<const unsigned char*>(bytes_.data() + at);
            const size_t n = length[0] | static_cast<size_t>(length[1]) << 8;
            at += 2;
            if (body - at < n) return false;
            *field = bytes_.substr(at, n);
            at += n;
        }
        return true;
    }

private:
    std::string_view bytes_;
};

// The text after the last "\" or "/" of an entry's path, when it is a plain file
// name that stays inside the target folder; otherwise 52.
std::wstring entry_name(std::string_view path) {
    const std::wstring full = from_ansi(path);
    const size_t cut = full.find_last_of(L"\\/");
    std::wstring name = cut == std::wstring::npos ? full : full.substr(cut + 1);
    bool only_dots_and_blanks = true;
    for (const wchar_t c : name) {
        if (c < 32 || std::wcschr(L"<>:\"|?*", c)) raise(err::BadFileNameOrNumber);
        if (c != L'.' && c != L' ') only_dots_and_blanks = false;
    }
    if (only_dots_and_blanks) raise(err::BadFileNameOrNumber);  // "", ".", ".." and the like
    // Device names (also with an extension) lead out of any folder.
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    CharUpperBuffW(stem.data(), static_cast<DWORD>(stem.size()));
    static constexpr const wchar_t* devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* d : devices)
        if (stem == d) raise(err::BadFileNameOrNumber);
    if (stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && stem[3] >= L'0' &&
        stem[3] <= L'9')
        raise(err::BadFileNameOrNumber);
    return name;
}

}  // namespace

// Stores every file of FileS (index 0 to its upper bound) with its path in
// TargetArchive, which is written only once all files were read. A missing file
// is an error (53) and is not created; a path the ANSI code page cannot hold
// exactly is refused (52), since extraction would write a look-alike name; a path
// or content of more than 65,535 bytes does not fit its length field (6).
HRESULT File::Archive_Pack(SAFEARRAY** FileS, BSTR* TargetArchive, long* result) {
    return trapped(Trap{Source::File, L"Archiv_Write"}, result, ErrorNumberResult{}, [&] {
        const SAFEARRAY* list = FileS ? *FileS : nullptr;
        if (!list || SafeArrayGetDim(const_cast<SAFEARRAY*>(list)) != 1) raise(err::SubscriptOutOfRange);
        long lbound = 0, ubound = -1;
        check(SafeArrayGetLBound(const_cast<SAFEARRAY*>(list), 1, &lbound));
        check(SafeArrayGetUBound(const_cast<SAFEARRAY*>(list), 1, &ubound));
        // Entries 0 to the upper bound: none at all, or an index 0 the list lacks, is out of range.
        if (ubound < 0 || lbound > 0) raise(err::SubscriptOutOfRange);
        const std::vector<std::wstring> paths = texts_of(list);

        std::string archive;
        for (long i : indices(0, ubound)) {
            const std::wstring& path = paths[element_offset(i, lbound, static_cast<unsigned long>(paths.size()))];
            const std::optional<std::string> ansi = to_ansi_exact(path);
            if (!ansi) raise(err::BadFileNameOrNumber);
            const std::string& name = *ansi;
            if (name.size() > kLargestField) raise(err::Overflow);
            RtFile in(path, OpenMode::Binary, OpenAccess::Read);
            const long long length = in.LOF();
            if (length > static_cast<long long>(kLargestField)) raise(err::Overflow);
            const std::string content = in.GetBytes(static_cast<size_t>(length));
            in.Close();
            put_u16(archive, name.size());
            archive += name;
            put_u16(archive, content.size());
            archive += content;
        }
        const int32_t upper = ubound;
        archive.append(reinterpret_cast<const char*>(&upper), 4);

        replace_file_with(text_of(TargetArchive ? *TargetArchive : nullptr), [&](const std::wstring& temp) {
            RtFile out(temp, OpenMode::Binary, OpenAccess::Write);
            out.PutBytes(archive);
            out.Close();
        });
        return 0L;
    });
}

void for_each_archive_entry(std::string_view archive,
                            const std::function<void(const std::wstring& name, std::string_view content)>& visit) {
    const ArchiveReader reader(archive);
    if (!reader.valid()) raise(err::InputPastEnd);
    Entry e;
    size_t at = 0;
    while (at < archive.size() - 4 && reader.next(at, e)) entry_name(e.path);
    at = 0;
    while (at < archive.size() - 4 && reader.next(at, e)) visit(entry_name(e.path), e.content);
}

// Writes every entry of the archive into TargetPath under the name after the
// last "\" or "/" of its path, replacing a file of that name. The whole archive
// is checked first (for_each_archive_entry): nothing is written for a broken
// one. Always 0; errors reach the client.
HRESULT File::Archive_Extract(BSTR ArchiveFile, BSTR TargetPath, long* result) {
    return untrapped(result, [&] {
        RtFile in(text_of(ArchiveFile), OpenMode::Binary, OpenAccess::Read);
        const long long length = in.LOF();
        if (static_cast<unsigned long long>(length) > SIZE_MAX / 2) raise(err::OutOfMemory);
        const std::string bytes = in.GetBytes(static_cast<size_t>(length));
        if (in.Eof()) raise(err::InputPastEnd);
        in.Close();

        const std::wstring target = AddBackslash(text_of(TargetPath));
        for_each_archive_entry(bytes, [&](const std::wstring& name, std::string_view content) {
            replace_file_with(target + name, [&](const std::wstring& temp) {
                RtFile out(temp, OpenMode::Binary, OpenAccess::Write);
                out.PutBytes(content);
                out.Close();
            });
        });
        return 0L;
    });
}

}  // namespace qm
