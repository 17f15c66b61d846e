// Misc: the entry names of a ZIP archive, walked from its local file headers.
//
// The walk reads the file forward only, in blocks. An entry whose sizes follow
// its data (flag bit 3) or are kept in a ZIP64 field takes its compressed size
// from the central directory's record of the same local-header offset.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/misc.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndOfDirectory = 0x06054B50;
constexpr uint32_t kZip64End = 0x06064B50;
constexpr uint32_t kZip64Locator = 0x07064B50;
constexpr uint32_t kDescriptor = 0x08074B50;
constexpr uint16_t kFlagDescriptor = 0x0008;  // sizes follow the data
constexpr uint16_t kFlagUtf8 = 0x0800;        // the name is UTF-8
constexpr uint64_t kLongest = 65535 + 22;     // end record with the longest comment

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return u16(p) | static_cast<uint32_t>(u16(p + 2)) << 16; }
uint64_t u64(const uint8_t* p) { return u32(p) | static_cast<uint64_t>(u32(p + 4)) << 32; }

// The archive, opened for reading only (never created) and read in blocks: a
// view of any byte range inside the file.
class Archive {
public:
    explicit Archive(std::wstring_view path) {
        handle_ = CreateFileW(win32_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) raise_file_error();
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) {
            DWORD e = GetLastError();
            CloseHandle(handle_);
            raise_file_error(e);
        }
        size_ = static_cast<uint64_t>(size.QuadPart);
    }
    ~Archive() { CloseHandle(handle_); }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    uint64_t size() const noexcept { return size_; }

    // n bytes at pos; the caller has checked that they lie inside the file.
    const uint8_t* at(uint64_t pos, size_t n) {
        if (pos >= start_ && pos - start_ + n <= length_) return block_.data() + (pos - start_);
        size_t want = static_cast<size_t>(std::min<uint64_t>(std::max<size_t>(n, kBlock), size_ - pos));
        if (block_.size() < want) block_.resize(want);
        length_ = 0;
        read(pos, block_.data(), want);
        start_ = pos;
        length_ = want;
        return block_.data();
    }
    // The bytes of a range, copied (for the central directory).
    std::vector<uint8_t> bytes(uint64_t pos, size_t n) {
        std::vector<uint8_t> out(n);
        read(pos, out.data(), n);
        return out;
    }

private:
    static constexpr size_t kBlock = 65536;

    // Exactly n bytes at pos; 62 when the file ends first (it shrank meanwhile).
    void read(uint64_t pos, uint8_t* data, size_t n) {
        if (pos != handle_pos_) {
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(pos);
            handle_pos_ = UINT64_MAX;
            if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN)) raise_file_error();
        }
        handle_pos_ = UINT64_MAX;
        while (n > 0) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30)), got = 0;
            if (!ReadFile(handle_, data, chunk, &got, nullptr)) raise_file_error();
            if (got == 0) raise(err::InputPastEnd);
            pos += got;
            data += got;
            n -= got;
        }
        handle_pos_ = pos;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    uint64_t handle_pos_ = 0;  // where the file pointer stands
    uint64_t size_ = 0;
    std::vector<uint8_t> block_;
    uint64_t start_ = 0;
    size_t length_ = 0;
};

// What the central directory says of an entry, by its local-header offset.
struct Sizes {
    struct Entry {
        uint64_t packed;  // the compressed size
        bool zip64;       // the sizes are 64-bit (so is the data descriptor)
    };
    std::unordered_map<uint64_t, Entry> by_offset;
};

// The ZIP64 values of an extra field (id 1): those of the record's 32-bit fields
// that hold 0xFFFFFFFF, in their fixed order. False when a needed one is missing.
bool zip64_values(const uint8_t* extra, size_t length, bool need[3], uint64_t value[3]) {
    for (size_t at = 0; at + 4 <= length;) {
        uint16_t id = u16(extra + at), size = u16(extra + at + 2);
        if (at + 4 + size > length) return false;
        if (id == 0x0001) {
            size_t p = at + 4, end = p + size;
            for (int k = 0; k < 3; ++k) {
                if (!need[k]) continue;
                if (p + 8 > end) return false;
                value[k] = u64(extra + p);
                p += 8;
            }
            return true;
        }
        at += 4 + size;
    }
    return !need[0] && !need[1] && !need[2];
}

// The central directory's sizes; 62 when the archive has no usable directory.
Sizes central_sizes(Archive& zip) {
    const uint64_t size = zip.size();
    if (size < 22) raise(err::InputPastEnd);
    // The end record: scanning back from the end, at most past the longest comment.
    const uint64_t span = std::min(size, kLongest);
    const uint64_t from = size - span;
    std::vector<uint8_t> tail = zip.bytes(from, static_cast<size_t>(span));
    int64_t end = -1;
    for (int64_t i = static_cast<int64_t>(span) - 22; i >= 0; --i) {
        const uint8_t* p = tail.data() + i;
        if (u32(p) == kEndOfDirectory && static_cast<uint64_t>(i) + 22 + u16(p + 20) <= span) {
            end = i;
            break;
        }
    }
    if (end < 0) raise(err::InputPastEnd);
    const uint8_t* e = tail.data() + end;
    const uint64_t end_pos = from + static_cast<uint64_t>(end);
    uint64_t dir_size = u32(e + 12), dir_pos = u32(e + 16);
    if (dir_size == 0xFFFFFFFF || dir_pos == 0xFFFFFFFF || u16(e + 10) == 0xFFFF) {
        // ZIP64: the locator just before the end record names the ZIP64 end record.
        if (end_pos < 20) raise(err::InputPastEnd);
        std::vector<uint8_t> locator = zip.bytes(end_pos - 20, 20);
        if (u32(locator.data()) != kZip64Locator) raise(err::InputPastEnd);
        uint64_t z = u64(locator.data() + 8);
        if (z > size || size - z < 56) raise(err::InputPastEnd);
        std::vector<uint8_t> record = zip.bytes(z, 56);
        if (u32(record.data()) != kZip64End) raise(err::InputPastEnd);
        dir_size = u64(record.data() + 40);
        dir_pos = u64(record.data() + 48);
    }
    if (dir_pos > end_pos || dir_size > end_pos - dir_pos) raise(err::InputPastEnd);

    Sizes sizes;
    std::vector<uint8_t> dir = zip.bytes(dir_pos, static_cast<size_t>(dir_size));
    for (size_t at = 0; at + 46 <= dir.size();) {
        const uint8_t* r = dir.data() + at;
        if (u32(r) != kCentralHeader) break;
        size_t n = u16(r + 28), x = u16(r + 30), c = u16(r + 32);
        if (at + 46 + n + x + c > dir.size()) break;
        bool need[3] = {u32(r + 24) == 0xFFFFFFFF, u32(r + 20) == 0xFFFFFFFF, u32(r + 42) == 0xFFFFFFFF};
        uint64_t value[3] = {u32(r + 24), u32(r + 20), u32(r + 42)};
        if (zip64_values(r + 46 + n, x, need, value))
            sizes.by_offset.emplace(value[2], Sizes::Entry{value[1], need[0] || need[1]});
        at += 46 + n + x + c;
    }
    return sizes;
}

// An entry name: UTF-8 when the entry says so, else one ANSI character a byte.
BSTR name_of(const uint8_t* bytes, size_t n, bool utf8) {
    const UINT page = utf8 ? CP_UTF8 : CP_ACP;
    const char* s = reinterpret_cast<const char*>(bytes);
    int length = MultiByteToWideChar(page, 0, s, static_cast<int>(n), nullptr, 0);
    BSTR name = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!name) raise(err::OutOfMemory);
    MultiByteToWideChar(page, 0, s, static_cast<int>(n), name, length);
    return name;
}

// The names; the Bstrs own them until they go into the result.
std::vector<Bstr> entry_names(Archive& zip) {
    std::vector<Bstr> names;
    const uint64_t size = zip.size();
    Sizes central;
    bool central_read = false;
    for (uint64_t pos = 0;;) {
        // Fewer than 4 bytes or another signature: the local headers are over.
        if (size - pos < 4 || u32(zip.at(pos, 4)) != kLocalHeader) break;
        if (size - pos < 30) raise(err::InputPastEnd);
        const uint8_t* h = zip.at(pos, 30);
        const uint16_t flags = u16(h + 6);
        uint64_t packed = u32(h + 18);
        const size_t n = u16(h + 26), extra = u16(h + 28);
        if (n == 0) raise(err::InvalidCall);
        if (size - pos - 30 < n) raise(err::InputPastEnd);
        const bool descriptor = (flags & kFlagDescriptor) != 0;
        bool zip64 = false;
        if (descriptor || packed == 0xFFFFFFFF) {
            if (!central_read) {
                central = central_sizes(zip);
                central_read = true;
            }
            auto found = central.by_offset.find(pos);
            if (found == central.by_offset.end()) raise(err::InputPastEnd);
            packed = found->second.packed;
            zip64 = found->second.zip64;
        }
        names.push_back(Bstr::attach(name_of(zip.at(pos + 30, n), n, (flags & kFlagUtf8) != 0)));
        // The next header lies after the name, the extra field and the data;
        // data running past the end ends the walk after this entry.
        const uint64_t data = pos + 30 + n + extra;
        if (data > size || packed > size - data) break;
        uint64_t next = data + packed;
        if (descriptor) {
            // CRC-32 and both sizes, with or without a signature of their own.
            uint64_t length = zip64 ? 20 : 12;
            if (size - next >= 4 && u32(zip.at(next, 4)) == kDescriptor) length += 4;
            if (length > size - next) break;
            next += length;
        }
        pos = next;
    }
    return names;
}

SAFEARRAY* string_list(std::vector<Bstr>& names) {
    SafeArray list(VT_BSTR, static_cast<long>(names.size()));
    if (!names.empty()) {
        BSTR* slots = &list.at<BSTR>(0);
        for (size_t i = 0; i < names.size(); ++i) slots[i] = names[i].detach();
    }
    return list.detach();
}

}  // namespace

HRESULT Misc::ZIP_Content(BSTR ZIPfile, long* ErrorNumber, SAFEARRAY** result) {
    HRESULT hr = trapped(Trap{Source::Misc, L"ZIP_Content", ErrorNumber}, result, static_cast<SAFEARRAY*>(nullptr), [&] {
        Archive zip(text_of(ZIPfile));
        std::vector<Bstr> names = entry_names(zip);
        return string_list(names);
    });
    // A failed walk gives an empty list, as one without entries does.
    if (SUCCEEDED(hr) && result && !*result) hr = untrapped(result, [] { return SafeArray(VT_BSTR, 0).detach(); });
    return hr;
}

}  // namespace qm
