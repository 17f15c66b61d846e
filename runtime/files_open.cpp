// Open files: the file number table, the five modes, text and binary transfer.
#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/errors.h"
#include "runtime/files.h"

namespace qm {

namespace {

constexpr size_t kReadAhead = 64 * 1024;
constexpr long kMaxFileNumber = 511;
constexpr long kMaxFreeFile = 255;

// The file number table of this thread: which numbers are taken, and by which
// file (volume and file index, so that two names of one file are one file).
struct OpenEntry {
    long number;
    DWORD volume;
    uint64_t index;
    OpenMode mode;
};
thread_local std::vector<OpenEntry> t_open;

OpenEntry* find_number(long number) {
    auto it = std::find_if(t_open.begin(), t_open.end(), [&](const OpenEntry& e) { return e.number == number; });
    return it == t_open.end() ? nullptr : &*it;
}

bool writes_sequentially(OpenMode m) { return m == OpenMode::Output || m == OpenMode::Append; }

struct Disposition {
    DWORD access;
    DWORD creation;
};

HANDLE create(const std::wstring& path, Disposition d, DWORD flags) {
    // A read-only file is never opened for writing, also where the file system
    // would let a privileged process do so.
    if (d.access & GENERIC_WRITE) {
        const DWORD a = GetFileAttributesW(path.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }
    return CreateFileW(path.c_str(), d.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, d.creation,
                       FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

bool single_byte_code_page() {
    static const bool sbcs = [] {
        CPINFO info{};
        return !GetCPInfo(CP_ACP, &info) || info.MaxCharSize == 1;
    }();
    return sbcs;
}

}  // namespace

long FreeFile() {
    for (long n = 1; n <= kMaxFreeFile; ++n)
        if (!find_number(n)) return n;
    raise(err::TooManyFiles);
}

RtFile::RtFile(std::wstring_view path, OpenMode mode, OpenAccess access, long number, long record_length)
    : mode_(mode), record_length_(record_length) {
    if (number == 0)
        number = FreeFile();
    else if (number < 1 || number > kMaxFileNumber)
        raise(err::BadFileNameOrNumber);
    else if (find_number(number))
        raise(err::FileAlreadyOpen);
    if (mode == OpenMode::Random && (record_length < 1 || record_length > 32767)) raise(err::InvalidCall);
    const std::wstring full = win32_path(path);

    HANDLE h = INVALID_HANDLE_VALUE;
    switch (mode) {
    case OpenMode::Input:
        h = create(full, {GENERIC_READ, OPEN_EXISTING}, FILE_FLAG_SEQUENTIAL_SCAN);
        break;
    case OpenMode::Output:
    case OpenMode::Append:
        h = create(full, {GENERIC_WRITE, OPEN_ALWAYS}, 0);
        break;
    case OpenMode::Binary:
    case OpenMode::Random:
        switch (access) {
        case OpenAccess::Read:
            h = create(full, {GENERIC_READ, OPEN_EXISTING}, 0);
            break;
        case OpenAccess::Write:
            h = create(full, {GENERIC_WRITE, OPEN_ALWAYS}, 0);
            break;
        case OpenAccess::ReadWrite:
            h = create(full, {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS}, 0);
            break;
        case OpenAccess::Default:
            // Read and write where the file allows it, else what it allows.
            for (DWORD a : {GENERIC_READ | GENERIC_WRITE, DWORD(GENERIC_READ), DWORD(GENERIC_WRITE)}) {
                h = create(full, {a, OPEN_ALWAYS}, 0);
                if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) break;
            }
            break;
        }
        break;
    }
    if (h == INVALID_HANDLE_VALUE) raise_file_error();
    handle_ = h;  // from here on the destructor closes it

    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        DWORD e = GetLastError();
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        raise_file_error(e);
    }
    const uint64_t index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    for (const OpenEntry& e : t_open) {
        if (e.volume == info.dwVolumeSerialNumber && e.index == index &&
            (writes_sequentially(e.mode) || writes_sequentially(mode))) {
            CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
            raise(err::FileAlreadyOpen);
        }
    }
    if (mode == OpenMode::Output && !SetEndOfFile(h)) {
        DWORD e = GetLastError();
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        raise_file_error(e);
    }
    if (mode == OpenMode::Append) pos_ = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;

    try {
        t_open.push_back({number, info.dwVolumeSerialNumber, index, mode});
    } catch (...) {
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        throw;
    }
    number_ = number;
}

RtFile::RtFile(RtFile&& other) noexcept
    : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)),
      number_(std::exchange(other.number_, 0)),
      mode_(other.mode_),
      record_length_(other.record_length_),
      pos_(other.pos_),
      handle_pos_(other.handle_pos_),
      buffer_(std::move(other.buffer_)),
      buffer_pos_(other.buffer_pos_),
      short_get_(other.short_get_) {}

RtFile& RtFile::operator=(RtFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        number_ = std::exchange(other.number_, 0);
        mode_ = other.mode_;
        record_length_ = other.record_length_;
        pos_ = other.pos_;
        handle_pos_ = other.handle_pos_;
        buffer_ = std::move(other.buffer_);
        buffer_pos_ = other.buffer_pos_;
        short_get_ = other.short_get_;
    }
    return *this;
}

RtFile::~RtFile() { Close(); }

void RtFile::Close() noexcept {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    std::erase_if(t_open, [&](const OpenEntry& e) { return e.number == number_; });
    buffer_.clear();
    buffer_pos_ = 0;
}

void RtFile::require(bool allowed) const {
    if (handle_ == INVALID_HANDLE_VALUE) raise(err::BadFileNameOrNumber);
    if (!allowed) raise(err::BadFileMode);
}

void RtFile::require_binary() const { require(mode_ == OpenMode::Binary || mode_ == OpenMode::Random); }

// Plain reads and writes at the handle's own file pointer, moved only when needed:
// positioned (overlapped) transfers cost a round trip each on some systems.
void RtFile::move_to(uint64_t offset) const {
    if (offset == handle_pos_) return;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN)) raise_file_error();
    handle_pos_ = offset;
}

void RtFile::write(const void* data, size_t size) {
    move_to(pos_);
    const char* p = static_cast<const char*>(data);
    while (size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), written = 0;
        if (!WriteFile(handle_, p, chunk, &written, nullptr)) {
            handle_pos_ = UINT64_MAX;  // unknown after a failed write
            raise_file_error();
        }
        handle_pos_ += written;
        if (written == 0) raise(err::DiskFull);
        pos_ += written;
        p += written;
        size -= written;
    }
}

size_t RtFile::read_at(uint64_t offset, void* data, size_t size) const {
    move_to(offset);
    char* p = static_cast<char*>(data);
    size_t total = 0;
    while (total < size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30)), got = 0;
        if (!ReadFile(handle_, p + total, chunk, &got, nullptr)) {
            handle_pos_ = UINT64_MAX;
            raise_file_error();
        }
        handle_pos_ += got;
        if (got == 0) break;
        total += got;
    }
    return total;
}

bool RtFile::fill() {
    if (buffer_pos_ < buffer_.size()) return true;
    pos_ += buffer_.size();
    buffer_.resize(kReadAhead);
    buffer_.resize(read_at(pos_, buffer_.data(), buffer_.size()));
    buffer_pos_ = 0;
    return !buffer_.empty();
}

// --- sequential text --------------------------------------------------------------

std::wstring RtFile::LineInput() {
    require(mode_ == OpenMode::Input);
    if (!fill()) raise(err::InputPastEnd);
    std::string line;
    while (fill()) {
        const char* begin = buffer_.data() + buffer_pos_;
        const size_t avail = buffer_.size() - buffer_pos_;
        const void* cr = std::memchr(begin, '\r', avail);
        if (!cr) {
            line.append(begin, avail);
            buffer_pos_ += avail;
            continue;
        }
        const size_t k = static_cast<const char*>(cr) - begin;
        line.append(begin, k);
        buffer_pos_ += k + 1;
        if (fill() && buffer_[buffer_pos_] == '\n') ++buffer_pos_;
        break;
    }
    return from_ansi(line);
}

std::wstring RtFile::Input(long characters) {
    require(mode_ == OpenMode::Input || mode_ == OpenMode::Binary);
    if (characters < 0) raise(err::InvalidCall);
    std::string bytes;
    const bool sbcs = single_byte_code_page();
    if (mode_ == OpenMode::Input) {
        long chars = 0;
        while (chars < characters) {
            if (!fill()) raise(err::InputPastEnd);
            if (sbcs) {
                size_t take = std::min<size_t>(buffer_.size() - buffer_pos_, size_t(characters - chars));
                bytes.append(buffer_, buffer_pos_, take);
                buffer_pos_ += take;
                chars += static_cast<long>(take);
            } else {
                char c = buffer_[buffer_pos_++];
                bytes.push_back(c);
                if (IsDBCSLeadByte(static_cast<BYTE>(c)) && fill()) bytes.push_back(buffer_[buffer_pos_++]);
                ++chars;
            }
        }
    } else {
        // Binary: at most two bytes per character; take what the characters need.
        std::string raw(sbcs ? size_t(characters) : size_t(characters) * 2, '\0');
        raw.resize(read_at(pos_, raw.data(), raw.size()));
        size_t used = 0;
        for (long chars = 0; chars < characters; ++chars) {
            if (used >= raw.size()) raise(err::InputPastEnd);
            if (!sbcs && IsDBCSLeadByte(static_cast<BYTE>(raw[used])) && used + 1 < raw.size()) ++used;
            ++used;
        }
        bytes.assign(raw, 0, used);
        pos_ += used;
    }
    return from_ansi(bytes);
}

void RtFile::Print(std::wstring_view text, bool line_end) {
    require(writes_sequentially(mode_));
    std::string bytes = to_ansi(text);
    if (line_end) bytes += "\r\n";
    write(bytes.data(), bytes.size());
}

// --- Get and Put -----------------------------------------------------------------

void RtFile::begin_record(size_t size) {
    if (mode_ == OpenMode::Random && size > static_cast<size_t>(record_length_)) raise(err::BadRecordLength);
}

void RtFile::end_record(uint64_t start) {
    if (mode_ != OpenMode::Random) return;
    if (pos_ - start > static_cast<uint64_t>(record_length_)) {
        pos_ = start;
        raise(err::BadRecordLength);
    }
    pos_ = start + record_length_;
}

void RtFile::PutBytes(const void* data, size_t size) {
    require_binary();
    begin_record(size);
    const uint64_t start = pos_;
    write(data, size);
    end_record(start);
}

void RtFile::PutString(std::wstring_view text) { PutBytes(to_ansi(text)); }

// files_variant.cpp
std::string counted_string_bytes(std::wstring_view text);
std::string variant_file_bytes(const VARIANT& value);

void RtFile::PutCountedString(std::wstring_view text) { PutBytes(counted_string_bytes(text)); }

void RtFile::PutVariant(const VARIANT& value) { PutBytes(variant_file_bytes(value)); }

void RtFile::read_raw(void* data, size_t size) {
    size_t got = read_at(pos_, data, size);
    std::memset(static_cast<char*>(data) + got, 0, size - got);
    short_get_ = got < size;
    pos_ += size;
}

void RtFile::GetBytes(void* data, size_t size) {
    require_binary();
    begin_record(size);
    const uint64_t start = pos_;
    read_raw(data, size);
    end_record(start);
}

std::string RtFile::GetBytes(size_t size) {
    std::string bytes(size, '\0');
    GetBytes(bytes.data(), size);
    return bytes;
}

std::wstring RtFile::GetString(size_t length) { return from_ansi(GetBytes(length)); }

std::wstring RtFile::GetCountedString() {
    require_binary();
    const uint64_t start = pos_;
    uint16_t short_length = 0;
    read_raw(&short_length, sizeof short_length);
    uint64_t n = short_length;
    if (n == 0xFFFF) {
        uint32_t long_length = 0;
        read_raw(&long_length, sizeof long_length);
        n = long_length;
    }
    const uint64_t size = static_cast<uint64_t>(LOF());
    if (n > (pos_ < size ? size - pos_ : 0)) {
        pos_ = start;
        raise(err::InputPastEnd);
    }
    std::string bytes(static_cast<size_t>(n), '\0');
    read_raw(bytes.data(), bytes.size());
    end_record(start);
    return from_ansi(bytes);
}

// --- position --------------------------------------------------------------------

long long RtFile::LOF() const {
    require(true);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_, &size)) raise_file_error();
    return size.QuadPart;
}

bool RtFile::Eof() {
    require(true);
    switch (mode_) {
    case OpenMode::Input:
        return !fill();
    case OpenMode::Binary:
    case OpenMode::Random:
        return short_get_;
    default:
        return true;
    }
}

long long RtFile::Seek() const {
    require(true);
    if (mode_ == OpenMode::Input) return static_cast<long long>(pos_ + buffer_pos_) + 1;
    if (mode_ == OpenMode::Random) return static_cast<long long>(pos_ / record_length_) + 1;
    return static_cast<long long>(pos_) + 1;
}

void RtFile::Seek(long long position) {
    require(true);
    if (position < 1) raise(err::BadRecordNumber);
    if (mode_ == OpenMode::Random) {
        if (position - 1 > (LLONG_MAX / record_length_)) raise(err::BadRecordNumber);
        pos_ = static_cast<uint64_t>(position - 1) * record_length_;
        return;
    }
    if (mode_ == OpenMode::Input) {
        buffer_.clear();
        buffer_pos_ = 0;
    }
    pos_ = static_cast<uint64_t>(position - 1);
}

}  // namespace qm
