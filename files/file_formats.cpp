// Readers of version resources, image headers and shortcut files.
#include "files/file_formats.h"

#include <algorithm>
#include <cstring>

namespace qm {

std::wstring Get_VersionInfoValue(std::wstring_view data, std::wstring_view key) {
    std::wstring entry(1, L'\x01');
    entry += key;
    const size_t at = data.find(entry);
    if (at == std::wstring_view::npos) return {};
    size_t start = at + entry.size() + 1;  // past the key's NUL
    if (start >= data.size()) return {};
    if (data[start] == L'\0') ++start;  // alignment
    if (start >= data.size()) return {};
    const size_t end = data.find(L'\0', start);
    return std::wstring(data.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
}

namespace {

template <class T>
bool read_value(const ReadAt& read, uint64_t length, uint64_t offset, T& value) {
    if (offset > length || length - offset < sizeof(T)) return false;
    return read(offset, &value, sizeof(T));
}

}  // namespace

std::optional<int32_t> image_time_stamp(uint64_t length, const ReadAt& read) {
    char mz[2];
    uint32_t pe_offset = 0;
    if (!read_value(read, length, 0, mz) || mz[0] != 'M' || mz[1] != 'Z') return std::nullopt;
    if (!read_value(read, length, 0x3C, pe_offset)) return std::nullopt;
    struct {
        char signature[4];
        uint16_t machine;
        uint16_t sections;
        int32_t time_stamp;
    } header;
    static_assert(sizeof header == 12);
    if (!read_value(read, length, pe_offset, header) || std::memcmp(header.signature, "PE\0\0", 4) != 0)
        return std::nullopt;
    return header.time_stamp;
}

std::string link_local_base_path(uint64_t length, const ReadAt& read) {
    constexpr uint64_t kHeaderSize = 76;
    constexpr uint32_t kHasIdList = 0x1, kHasLinkInfo = 0x2;
    constexpr uint32_t kVolumeAndLocalBasePath = 0x1;
    uint32_t flags = 0;
    if (!read_value(read, length, 20, flags) || !(flags & kHasLinkInfo)) return {};
    uint64_t info = kHeaderSize;
    if (flags & kHasIdList) {
        uint16_t id_list_size = 0;
        if (!read_value(read, length, kHeaderSize, id_list_size)) return {};
        info += 2 + id_list_size;
    }
    uint32_t info_flags = 0, base_offset = 0;
    if (!read_value(read, length, info + 8, info_flags) || !(info_flags & kVolumeAndLocalBasePath)) return {};
    if (!read_value(read, length, info + 16, base_offset)) return {};
    std::string path;
    char block[256];
    for (uint64_t at = info + base_offset; at < length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof block, length - at));
        if (!read(at, block, n)) return {};
        const void* nul = std::memchr(block, 0, n);
        if (nul) return path.append(block, static_cast<const char*>(nul) - block);
        path.append(block, n);
        at += n;
    }
    return {};  // no end before the file's end
}

}  // namespace qm
