// Window: reading, searching and overwriting the automation strings in the
// memory of the process that owns a window. Texts are compared and read by the
// low byte of each 16-bit unit, at even offsets; addresses are Longs.
#include <algorithm>
#include <string>
#include <vector>

#include "runtime/contract.h"
#include "runtime/process.h"
#include "windows/window.h"
#include "windows/window_common.h"

namespace qm {

namespace {

constexpr long long kLongMax = 0x7FFFFFFF;

// The owner process of a window with all access rights, for one member call.
process::Handle process_of(long hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd_of(hwnd), &pid);
    if (!pid) return {};
    return process::Handle(OpenProcess(0x1F0FFF, FALSE, pid));
}

// A Long address in the target's address space (negative Longs are the upper half
// of a 32-bit space, as for a 32-bit caller).
const void* at(long long address) {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(static_cast<uint32_t>(address)));
}

// An address computed from a Long and an offset must itself be a Long.
long long checked(long long address) {
    if (address > kLongMax || address < -kLongMax - 1) raise(err::Overflow);
    return address;
}

// The bytes from start on, as many as can be read up to count. Read in blocks, so
// that the buffer grows only with what was read, not with the length asked for;
// inside the first block that fails, page-sized pieces, and inside the first piece
// that fails, byte by byte up to the first byte that cannot be read.
std::string read_bytes(HANDLE process, long long start, size_t count) {
    constexpr size_t kBlock = 64 * 1024;
    std::string bytes;
    size_t done = 0;
    auto read = [&](size_t n) {
        bytes.resize(done + n);
        SIZE_T got = 0;
        if (!ReadProcessMemory(process, at(start + static_cast<long long>(done)), bytes.data() + done, n, &got) ||
            got != n)
            return false;
        done += n;
        return true;
    };
    while (done < count) {
        const size_t block_end = done + std::min(count - done, kBlock);
        if (read(block_end - done)) continue;
        while (done < block_end) {
            const uintptr_t address = reinterpret_cast<uintptr_t>(at(start + static_cast<long long>(done)));
            const size_t piece = std::min(block_end - done, static_cast<size_t>(0x1000 - (address & 0xFFF)));
            if (read(piece)) continue;
            for (size_t k = 0; k < piece && read(1); ++k) {
            }
            break;
        }
        break;
    }
    bytes.resize(done);
    return bytes;
}

// Each byte's character in the ANSI code page.
const std::wstring& byte_characters() {
    static const std::wstring table = [] {
        std::wstring t(256, L'\0');
        for (int b = 0; b < 256; ++b) {
            char c = static_cast<char>(b);
            wchar_t w = 0;
            if (MultiByteToWideChar(CP_ACP, 0, &c, 1, &w, 1) != 1) w = static_cast<wchar_t>(b);
            t[b] = w;
        }
        return t;
    }();
    return table;
}

// The low bytes at even offsets.
std::string low_bytes(const std::string& bytes) {
    std::string low((bytes.size() + 1) / 2, '\0');
    for (size_t i = 0; i < low.size(); ++i) low[i] = bytes[2 * i];
    return low;
}

// The characters of the low bytes at even offsets.
std::wstring low_bytes_as_text(const std::string& bytes) {
    const std::wstring& table = byte_characters();
    std::wstring text((bytes.size() + 1) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = table[static_cast<unsigned char>(bytes[2 * i])];
    return text;
}

long find_in(HANDLE process, std::wstring_view str, long start, long length) {
    // Candidates start at start + 0, 2, ... <= start + length; a match may run on
    // past the range by the rest of the text.
    const long long last = static_cast<long long>(start) + (length & ~1L);
    checked(last);
    const long long end = last + 2 * static_cast<long long>(str.size() - 1);
    // The text as the bytes whose characters it has; a character no byte stands
    // for cannot match.
    const std::wstring& table = byte_characters();
    std::string pattern;
    for (wchar_t c : str) {
        size_t b = table.find(c);
        if (b == std::wstring::npos) return -1;
        pattern += static_cast<char>(b);
    }
    std::string bytes = read_bytes(process, start, static_cast<size_t>(std::min(end, kLongMax) - start + 1));
    size_t hit = low_bytes(bytes).find(pattern);
    if (hit == std::wstring::npos || static_cast<long long>(hit) * 2 > (length & ~1L)) return -1;
    return static_cast<long>(start + static_cast<long long>(hit) * 2);
}

bool write_to(HANDLE process, long address, const void* data, size_t size) {
    SIZE_T written = 0;
    return WriteProcessMemory(process, const_cast<void*>(at(address)), data, size, &written) && written == size;
}

}  // namespace

HRESULT Window::ProcessFind(long hwnd, BSTR Str, long StartAdress, long ReadLenght, long* result) {
    return untrapped(result, [&]() -> long {
        process::Handle process = process_of(hwnd);
        if (!process || ReadLenght < 1) return 0;
        std::wstring_view str = text_of(Str);
        if (str.empty()) {
            checked(static_cast<long long>(StartAdress) + (ReadLenght & ~1L));
            return -1;
        }
        return find_in(process.get(), str, StartAdress, ReadLenght);
    });
}

HRESULT Window::ProcessRead(long hwnd, long StartAdress, long ReadLenght, BSTR* result) {
    return untrapped(result, [&] {
        process::Handle process = process_of(hwnd);
        if (!process || ReadLenght < 1) return Bstr();
        const long long span = ReadLenght & ~1L;
        checked(static_cast<long long>(StartAdress) + span);
        std::string bytes = read_bytes(process.get(), StartAdress, static_cast<size_t>(span + 1));
        return Bstr(low_bytes_as_text(bytes));
    });
}

HRESULT Window::ProcessWrite(long hwnd, long Adress, BSTR Str, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        process::Handle process = process_of(hwnd);
        if (!process || Adress < 1) return false;
        std::wstring_view str = text_of(Str);
        return write_to(process.get(), Adress, str.data(), str.size() * sizeof(wchar_t));
    });
}

HRESULT Window::ProcessReplace(long hwnd, BSTR Find, BSTR ReplaceWith, long Adress, long ReadLenght,
                               VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring_view find = text_of(Find);
        std::wstring_view with = text_of(ReplaceWith).substr(0, find.size());
        long p = 0;
        check(ProcessFind(hwnd, Find, Adress, ReadLenght, &p));
        if (p <= 0) return false;
        process::Handle process = process_of(hwnd);
        if (!process) return false;
        // The new byte length into the length prefix in front of the text.
        long prefix = static_cast<long>(with.size() * sizeof(wchar_t));
        write_to(process.get(), static_cast<long>(checked(static_cast<long long>(p) - 4)), &prefix, sizeof prefix);
        Bstr text(with);
        VARIANT_BOOL written = VARIANT_FALSE;
        check(ProcessWrite(hwnd, p, text.get(), &written));
        return written != VARIANT_FALSE;
    });
}

}  // namespace qm
