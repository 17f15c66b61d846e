// ID3 tags of audio files, read from bytes: no file access and no text
// conversion here, so that any byte sequence can be given and every answer
// stays inside the bytes given.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qm::id3 {

// --- ID3v1: the 128-byte block at the end of a file -------------------------------

struct V1Tag {
    // Songname, Artist, Album, Year, Comment: trailing blanks removed, NULs kept.
    std::array<std::string_view, 5> texts;
    uint8_t genre = 0;
};

enum class V1Status { Tag, NoTag, TooShort };

// tail: the file's bytes up to its end (at least its last 128 for a tag); the
// views of tag point into tail.
V1Status parse_v1(std::span<const uint8_t> tail, V1Tag& tag);

// --- ID3v2: versions 2.2, 2.3 and 2.4 --------------------------------------------------

// The record fields that frames fill, in the record's order.
enum class Field : uint8_t {
    PlayCounter, Track, Encoder, Link, Copyright, OriginalArtist, Composer, Genre, Comment, Year, Album, Artist,
    Title, Language, Length, MediaType, Publisher, DecodingSoftware,
    Unknown,  // a frame with any other identifier
};
bool is_numeric(Field f) noexcept;  // PlayCounter, Track, Length

struct Frame {
    Field field;
    std::string_view value;  // without a leading NUL encoding byte
};

struct V2Tag {
    enum Status {
        Tag,         // the header and the frames that follow it
        BadVersion,  // a major version other than 2, 3 and 4
        CutShort,    // the header ends before the fields marked below
    } status = CutShort;
    bool has_version = false;  // both version bytes present
    uint8_t major = 0, minor = 0;
    bool has_size = false;  // the four size bytes present
    uint32_t tag_length = 0;  // the header's size: 28-bit synchsafe over the raw bytes
    bool extended = false;    // an extended header was skipped
    std::vector<Frame> frames;  // in the tag's order
};

// The position of the first "ID3" in bytes, or npos.
size_t find_marker(std::span<const uint8_t> bytes) noexcept;
constexpr size_t npos = static_cast<size_t>(-1);

// tag: the bytes from "ID3" on, at most 10 + the header's size (fewer when the
// file ends first). The frames' values point into tag.
V2Tag parse_v2(std::span<const uint8_t> tag);

}  // namespace qm::id3
