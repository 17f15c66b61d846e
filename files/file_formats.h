// Readers of the file layouts that File looks into itself: the text entries of
// a version resource, the link time stamp of an executable image and the local
// target path of a shortcut file. Each reads only inside the data it is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The value of the text entry Key in raw version data (UTF-16 units): the first
// place where the type word 1 directly precedes Key, then the text after the
// key's NUL (one alignment NUL skipped) up to the next NUL or the data's end.
// "" when no entry has that key.
std::wstring Get_VersionInfoValue(std::wstring_view data, std::wstring_view key);

// Reads size bytes at offset into data; the readers below only ask for bytes
// inside the file's length. Returns false when the read fails.
using ReadAt = std::function<bool(uint64_t offset, void* data, size_t size)>;

// The time stamp of the image header (signed seconds since 1970, UTC) that the
// DOS header's pointer leads to; nothing when the file has no "MZ" header, the
// pointer leads outside the file or no "PE\0\0" signature lies there.
std::optional<int32_t> image_time_stamp(uint64_t length, const ReadAt& read);

// The local base path (ANSI bytes) of a shell link file; "" when the header
// lacks the link information or its local base path, or the file ends early.
std::string link_local_base_path(uint64_t length, const ReadAt& read);

}  // namespace qm
