// The runtime's file statements on Win32 handles (wide-character APIs, paths of
// any length): Open in its five modes with the file number table, Line Input,
// Print, Input, Get and Put, LOF, EOF, Seek and Close; and Kill, Name, FileCopy,
// MkDir, RmDir, Dir, GetAttr, SetAttr, FileLen and FileDateTime.
//
// Errors are the runtime's: 52 bad file name or number, 53 file not found, 54 bad
// file mode, 55 file already open, 58 file already exists, 61 disk full, 62 input
// past end of file, 63 bad record number, 67 too many files, 70 permission denied
// (a file locked by someone else), 74 rename across drives, 75 path/file access
// error (read-only file, folder where a file is wanted, folder not empty), 76 path
// not found.
//
// Texts in files are in the system's ANSI code page, one byte per character in
// single-byte code pages; lines end with CR LF.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/variant.h"

namespace qm {

// Open ... For <mode>. Input reads an existing file (53 when missing); Output
// empties or creates it; Append creates it and writes at its end; Binary and Random
// create it and read and write anywhere (Random in records of a fixed length).
enum class OpenMode { Input, Output, Append, Binary, Random };

// Open ... Access <access>. Default: what the mode implies; for Binary and Random
// read and write, falling back to read only and then to write only when the file
// refuses (a read-only file opens for reading). Read never creates a file (53 when
// missing); Write and ReadWrite create a missing one.
enum class OpenAccess { Default, Read, Write, ReadWrite };

// The lowest free file number from 1 to 255 of this thread; 67 when none is free.
long FreeFile();

// One open file: the runtime's file number with its file, closed when destroyed.
// File numbers are per thread, as in the runtime: number 0 takes FreeFile(); a
// number in use raises 55, one outside 1 to 511 raises 52. A file already open on
// this thread for Output or Append cannot be opened again, and a file open in any
// mode cannot be opened for Output or Append (55). Other processes may read and
// write a file while it is open here.
class RtFile {
public:
    RtFile(std::wstring_view path, OpenMode mode, OpenAccess access = OpenAccess::Default, long number = 0,
           long record_length = 128);
    RtFile(RtFile&& other) noexcept;
    RtFile& operator=(RtFile&& other) noexcept;
    RtFile(const RtFile&) = delete;
    RtFile& operator=(const RtFile&) = delete;
    ~RtFile();

    long number() const noexcept { return number_; }
    OpenMode mode() const noexcept { return mode_; }
    bool is_open() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

    // Close #n: frees the number; a closed file raises 52 on any further use.
    void Close() noexcept;

    // --- sequential text (Input mode; Print: Output and Append; else 54) --------
    // Line Input #n: the text up to the next CR, CR LF or the end of the file; the
    // line end is not part of it (a lone LF is an ordinary character); 62 at the end.
    std::wstring LineInput();
    // Input(n, #n): the next n characters (Input and Binary mode); 62 when the file
    // ends first, 5 for n < 0.
    std::wstring Input(long characters);
    // Print #n, text (with line_end: followed by CR LF; without: Print #n, text;).
    void Print(std::wstring_view text, bool line_end = true);

    // --- Get and Put (Binary and Random mode; else 54) ---------------------------
    // At the current position; the position moves past the data (Random: to the
    // next record). A Random record that cannot hold the data raises 59.
    // Numbers (Byte, Integer, Long, Single, Double, Currency, Date, Boolean as
    // VARIANT_BOOL) as their little-endian bytes.
    template <class T>
    void Put(T value) {
        static_assert(std::is_trivially_copyable_v<T> && !std::is_same_v<T, bool> && !std::is_pointer_v<T>,
                      "Put writes numbers; use PutString, PutBytes or PutVariant for the others");
        PutBytes(&value, sizeof value);
    }
    void PutBytes(const void* data, size_t size);  // a Byte array: its bytes, no descriptor
    void PutBytes(std::string_view bytes) { PutBytes(bytes.data(), bytes.size()); }
    // A String as a Binary file stores it: its ANSI bytes, no length.
    void PutString(std::wstring_view text);
    // A String as a record field (and in Random files): its length in bytes as an
    // unsigned 16-bit number, then the ANSI bytes. A text of 65,535 bytes or more
    // has FF FF followed by the length as a 32-bit number.
    void PutCountedString(std::wstring_view text);
    // A Variant in the runtime's self-describing layout: its 16-bit type code, then
    // nothing (Empty, Null), the value (numbers), a counted string (String), or for
    // an array the number of dimensions (16 bits), for each dimension the element
    // count and the lower bound (32 bits each), then the elements in storage order:
    // Variants each in this layout, Strings counted, numbers raw. Objects, records
    // and other types without a file form raise 458.
    void PutVariant(const VARIANT& value);

    // Reads past the end of the file give zeros for the missing bytes and make EOF
    // True; they raise no error. A length or element count that claims more bytes
    // than the file still holds raises 62.
    template <class T>
    T Get() {
        static_assert(std::is_trivially_copyable_v<T> && !std::is_same_v<T, bool> && !std::is_pointer_v<T>,
                      "Get reads numbers; use GetString, GetBytes or GetVariant for the others");
        T value;
        GetBytes(&value, sizeof value);
        return value;
    }
    void GetBytes(void* data, size_t size);
    std::string GetBytes(size_t size);
    // A String of the given length (a buffer of that many characters): that many bytes.
    std::wstring GetString(size_t length);
    std::wstring GetCountedString();
    Variant GetVariant();

    // --- position -------------------------------------------------------------
    long long LOF() const;  // the file's length in bytes
    // EOF(n): Input mode: no character left; Binary and Random: the last Get could
    // not read all its bytes (False before any Get); Output and Append: True.
    bool Eof();
    // Seek(n): the position of the next read or write, 1-based (Random: the record number).
    long long Seek() const;
    // Seek #n, position: 63 for a position below 1; may lie beyond the end.
    void Seek(long long position);

private:
    friend class VariantReader;
    void require(bool allowed) const;
    void require_binary() const;
    void move_to(uint64_t offset) const;             // the handle's file pointer
    void write(const void* data, size_t size);       // at pos_, whole or error
    size_t read_at(uint64_t offset, void* data, size_t size) const;  // short at the end
    void read_raw(void* data, size_t size);          // at pos_, zeros past the end
    bool fill();                                     // Input mode: next buffer; false at the end
    void begin_record(size_t size);                  // Random: check the record length
    void end_record(uint64_t start);                 // Random: move to the next record

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    long number_ = 0;
    OpenMode mode_ = OpenMode::Binary;
    long record_length_ = 128;
    uint64_t pos_ = 0;       // next byte to read or write (Input mode: of the buffer's start)
    mutable uint64_t handle_pos_ = 0;  // where the handle's file pointer stands
    std::string buffer_;     // Input mode: read ahead
    size_t buffer_pos_ = 0;
    bool short_get_ = false;
};

// --- file system statements -----------------------------------------------------

// Kill pattern: deletes the files that match (the runtime's wildcards * and ? in
// the name part); folders and hidden or system files are not matched. 53 when
// nothing matches (76 when the folder is missing), 75 for a folder named without
// wildcards and for a read-only file, 70 for a file that is in use. Stops at the
// first file that cannot be deleted.
void Kill(std::wstring_view pattern);
// Deletes exactly the file named, whatever its name holds (no wildcards: * and ?
// raise 52) and whatever its hidden and system attributes; otherwise as Kill.
void KillFile(std::wstring_view path);
// Name old As new: renames or moves a file (across drives too) or a folder (on
// its drive; 74 across drives). 53 old missing, 58 new exists, 52 wildcards.
void Name(std::wstring_view old_path, std::wstring_view new_path);
// FileCopy: copies source over destination (replacing it unless it is read-only: 75).
void FileCopy(std::wstring_view source, std::wstring_view destination);
void MkDir(std::wstring_view path);  // 75 when it exists, 76 when its parent is missing
void RmDir(std::wstring_view path);  // 75 when not empty, 76 when missing

// Attribute bits of GetAttr, SetAttr and Dir.
namespace attr {
constexpr long Normal = 0, ReadOnly = 1, Hidden = 2, System = 4, Volume = 8, Directory = 16, Archive = 32, Alias = 64;
}
// GetAttr: the attribute word (bits 1 to 32 above). 53 / 76 when missing.
long GetAttr(std::wstring_view path);
// SetAttr: sets the attributes to exactly these bits (ReadOnly, Hidden, System,
// Archive; others raise 5).
void SetAttr(std::wstring_view path, long attributes);
// FileLen: the length in bytes of a file (53 for a missing file and for a folder).
long long FileLen(std::wstring_view path);
// FileDateTime: the time of the last change, local time, to the second.
DATE FileDateTime(std::wstring_view path);

// Dir(pattern, attributes): starts this thread's listing (ending any listing that
// was running) and returns the first name that matches, "" when none. Names only,
// in the file system's order, "." and ".." included where the file system gives
// them. An entry is listed when each of its hidden (2), system (4) and folder (16)
// bits is also in attributes; read-only and archive never exclude. With the volume
// bit (8) the listing is the volume label of the pattern's drive alone. A pattern
// that ends with "\" lists the folder's entries. A missing folder lists nothing.
std::wstring Dir(std::wstring_view pattern, long attributes = attr::Normal);
// Dir(): the next name of the running listing; "" when it is exhausted; 5 when no
// listing runs (none was started, or it already returned "").
std::wstring Dir();

// The path as Win32 file functions take it: made absolute, and given the "\\?\"
// prefix when it is too long for the plain form. 52 for an empty path.
std::wstring win32_path(std::wstring_view path);

}  // namespace qm
