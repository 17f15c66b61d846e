// Multimedia: ID3v1 and ID3v2 tags of audio files into the caller's records.
// The bytes are read here and parsed by id3.cpp; texts take the ANSI code page
// (one character per byte in single-byte code pages).
#include <algorithm>
#include <vector>

#include "media/id3.h"
#include "media/multimedia.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// The file opened for reading; empty when it cannot be opened, which is what
// File.Exist reports as a missing file. One open serves the test and the reading
// (the runtime's file statements cost several times a tag's read here).
process::Handle open_existing(BSTR file) {
    const std::wstring_view path = text_of(file);
    if (path.empty() || path.find_first_of(L"*?") != std::wstring_view::npos) return {};
    return process::Handle(CreateFileW(win32_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

long long length_of(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) raise_file_error();
    return size.QuadPart;
}

void seek(HANDLE file, long long offset) {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) raise_file_error();
}

// Reads size bytes from the file's position (fewer only at its end).
size_t read(HANDLE file, void* data, size_t size) {
    size_t total = 0;
    while (total < size) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
        if (!ReadFile(file, static_cast<char*>(data) + total, chunk, &got, nullptr)) raise_file_error();
        if (got == 0) break;
        total += got;
    }
    return total;
}

void assign(BSTR& field, std::wstring_view text) {
    Bstr value(text);
    SysFreeString(field);
    field = value.detach();
}

std::span<const uint8_t> bytes_of(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The file offset of the first "ID3", searched from the start in chunks that
// overlap by two bytes, so that a marker across a chunk border is found; -1
// when there is none.
long long find_tag(HANDLE file) {
    // Each chunk is read to an aligned place, the two bytes kept from the last
    // one just before it.
    constexpr size_t kChunk = 64 * 1024, kOverlap = 2, kStart = 16;
    std::vector<uint8_t> buffer(kStart + kChunk);
    size_t carried = 0;
    for (long long at = 0;;) {
        const size_t n = read(file, buffer.data() + kStart, kChunk);
        if (n == 0) return -1;
        const size_t found = id3::find_marker({buffer.data() + kStart - carried, carried + n});
        if (found != id3::npos) return at - static_cast<long long>(carried) + static_cast<long long>(found);
        const size_t keep = std::min(kOverlap, carried + n);
        std::copy_n(buffer.begin() + (kStart + n - keep), keep, buffer.begin() + (kStart - keep));
        carried = keep;
        at += static_cast<long long>(n);
    }
}

// The numeric frames: their leading number, rounded to a Long (6 beyond its range).
long number_of(std::string_view value) { return CLng(Val(from_ansi(value))); }

BSTR ID3V2TAGINFO::*text_field(id3::Field f) {
    using F = id3::Field;
    switch (f) {
        case F::Encoder: return &ID3V2TAGINFO::Encoder;
        case F::Link: return &ID3V2TAGINFO::Link;
        case F::Copyright: return &ID3V2TAGINFO::Copyright;
        case F::OriginalArtist: return &ID3V2TAGINFO::OriginalArtist;
        case F::Composer: return &ID3V2TAGINFO::Composer;
        case F::Genre: return &ID3V2TAGINFO::Genre;
        case F::Comment: return &ID3V2TAGINFO::Comment;
        case F::Year: return &ID3V2TAGINFO::Year;
        case F::Album: return &ID3V2TAGINFO::Album;
        case F::Artist: return &ID3V2TAGINFO::Artist;
        case F::Title: return &ID3V2TAGINFO::Title;
        case F::Language: return &ID3V2TAGINFO::Language;
        case F::MediaType: return &ID3V2TAGINFO::MediaType;
        case F::Publisher: return &ID3V2TAGINFO::Publisher;
        case F::DecodingSoftware: return &ID3V2TAGINFO::DecodingSoftware;
        default: return nullptr;
    }
}

long ID3V2TAGINFO::*number_field(id3::Field f) {
    using F = id3::Field;
    switch (f) {
        case F::PlayCounter: return &ID3V2TAGINFO::PlayCounter;
        case F::Track: return &ID3V2TAGINFO::Track;
        case F::Length: return &ID3V2TAGINFO::Length;
        default: return nullptr;
    }
}

}  // namespace

// The record is replaced as a whole, and only when the block starts with "TAG".
// ErrorNumber is written only on an error.
HRESULT Multimedia::MP3_ReadID3v1Tag(BSTR File, ID3V1TAGINFO* ID3Tag, long* ErrorNumber, VARIANT_BOOL* result) {
    if (!ID3Tag) return E_POINTER;
    long error = 0;
    const HRESULT hr = trapped(Trap{Source::Multimedia, L"MP3_ReadID3v1Tag", &error}, result, false, [&] {
        const process::Handle file = open_existing(File);
        if (!file) return false;
        const long long length = length_of(file.get());
        if (length < 128) raise(err::BadRecordNumber);  // the block would start before the file
        seek(file.get(), length - 128);
        std::string block(128, '\0');
        block.resize(read(file.get(), block.data(), block.size()));
        id3::V1Tag tag;
        if (id3::parse_v1(bytes_of(block), tag) != id3::V1Status::Tag) return false;
        BSTR ID3V1TAGINFO::*fields[] = {&ID3V1TAGINFO::Songname, &ID3V1TAGINFO::Artist, &ID3V1TAGINFO::Album,
                                        &ID3V1TAGINFO::Year, &ID3V1TAGINFO::Comment};
        for (size_t i = 0; i < std::size(fields); ++i) assign(ID3Tag->*fields[i], from_ansi(tag.texts[i]));
        assign(ID3Tag->Genre, std::to_wstring(tag.genre));
        return true;
    });
    if (error && ErrorNumber) *ErrorNumber = error;
    return hr;
}

// Only the fields whose frames the tag holds are written; those written before
// an error keep their new values.
HRESULT Multimedia::MP3_ReadID3v2Tag(BSTR File, ID3V2TAGINFO* ID3Tag, long* ErrorNumber, VARIANT_BOOL* result) {
    if (!ID3Tag) return E_POINTER;
    return trapped(Trap{Source::Multimedia, L"MP3_ReadID3v2Tag", ErrorNumber}, result, false, [&] {
        const process::Handle file = open_existing(File);
        if (!file) return false;
        const long long at = find_tag(file.get());
        if (at < 0) return false;
        // The header, then the whole tag as far as the file holds it.
        seek(file.get(), at);
        std::string bytes(10, '\0');
        bytes.resize(read(file.get(), bytes.data(), bytes.size()));
        const id3::V2Tag head = id3::parse_v2(bytes_of(bytes));
        if (head.has_size) {
            const long long rest = length_of(file.get()) - at;
            bytes.resize(static_cast<size_t>(std::min<long long>(10 + static_cast<long long>(head.tag_length), rest)));
            bytes.resize(10 + read(file.get(), bytes.data() + 10, bytes.size() - 10));
        }

        const id3::V2Tag tag = id3::parse_v2(bytes_of(bytes));
        if (tag.status == id3::V2Tag::BadVersion) return false;
        if (!tag.has_version) raise(err::InvalidCall);
        assign(ID3Tag->Version, Str(long(tag.major)) + L"." + Trim(Str(long(tag.minor))));
        if (!tag.has_size) raise(err::InvalidCall);
        ID3Tag->TagLength = static_cast<long>(tag.tag_length);
        if (tag.extended) ID3Tag->ExtendedHeader = VARIANT_TRUE;
        ID3Tag->UnknownFrames = 0;
        for (const id3::Frame& frame : tag.frames) {
            if (frame.field == id3::Field::Unknown)
                ++ID3Tag->UnknownFrames;
            else if (auto number = number_field(frame.field))
                ID3Tag->*number = number_of(frame.value);
            else
                assign(ID3Tag->*text_field(frame.field), from_ansi(frame.value));
        }
        return true;
    });
}

}  // namespace qm
