// Window: reading, searching and overwriting the automation strings in the
// memory of the process that owns a window. Texts are compared and read by the
// low byte of each 16-bit unit, at even offsets; addresses are Longs.
#include <algorithm>
#include <memory>
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

// Reads count bytes at address into out, or as many as can be read before the first
// byte that cannot: one call for the whole; if that fails, pieces up to 64 KiB
// boundaries, inside the first piece that fails page by page, and inside the first
// page that fails byte by byte. Returns how many were read.
size_t read_up_to_failure(HANDLE process, long long address, char* out, size_t count) {
    size_t done = 0;
    auto read = [&](size_t n) {
        SIZE_T got = 0;
        if (!ReadProcessMemory(process, at(address + static_cast<long long>(done)), out + done, n, &got) || got != n)
            return false;
        done += n;
        return true;
    };
    if (read(count)) return done;
    size_t end = count;  // the part from done to end holds a byte that cannot be read
    for (size_t grain : {size_t{0x10000}, size_t{0x1000}, size_t{1}}) {
        while (done < end) {
            const uintptr_t offset = reinterpret_cast<uintptr_t>(at(address + static_cast<long long>(done))) % grain;
            const size_t piece = std::min(end - done, static_cast<size_t>(grain - offset));
            if (!read(piece)) {
                end = done + piece;
                break;
            }
        }
    }
    return done;
}

// The bytes from start on, as many as can be read up to count, a block at a time
// into one buffer: the low bytes (those at even offsets from start) of each block
// are appended to low, then more() says whether to go on. Each read of another
// process's memory is a round trip to the system, so blocks are large; the buffer
// is no larger than the length asked for.
template <class More>
void read_low_bytes(HANDLE process, long long start, size_t count, std::string& low, More&& more) {
    constexpr size_t kBlock = 1024 * 1024;  // even: the low bytes of each block are at its even offsets
    const size_t size = std::min(count, kBlock);
    const auto block = std::make_unique_for_overwrite<char[]>(size);
    for (size_t done = 0; done < count;) {
        const size_t want = std::min(count - done, size);
        const size_t got = read_up_to_failure(process, start + static_cast<long long>(done), block.get(), want);
        const size_t kept = low.size();
        low.resize(kept + (got + 1) / 2);
        char* out = low.data() + kept;
        for (size_t i = 0; i < got; i += 2) *out++ = block[i];
        done += got;
        if (!more() || got < want) return;
    }
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
    // Each block is searched as it comes, behind the units of the blocks before
    // that a match beginning there would take with it.
    const long long candidates = (length & ~1L) / 2 + 1;
    const size_t carried = pattern.size() - 1;
    long long dropped = 0;  // units of the range before the first one in low
    long found = -1;
    std::string low;
    read_low_bytes(process, start, static_cast<size_t>(std::min(end, kLongMax) - start + 1), low, [&] {
        const size_t hit = low.find(pattern);
        if (hit != std::string::npos) {
            if (dropped + static_cast<long long>(hit) < candidates)
                found = static_cast<long>(start + 2 * (dropped + static_cast<long long>(hit)));
            return false;
        }
        if (low.size() > carried) {
            dropped += static_cast<long long>(low.size() - carried);
            low.erase(0, low.size() - carried);
        }
        return true;
    });
    return found;
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
        std::string low;
        read_low_bytes(process.get(), StartAdress, static_cast<size_t>(span + 1), low, [] { return true; });
        const std::wstring& table = byte_characters();
        std::wstring text(low.size(), L'\0');
        for (size_t i = 0; i < low.size(); ++i) text[i] = table[static_cast<unsigned char>(low[i])];
        return Bstr(text);
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
