// Window.ProcessFind of a text at the end of 4 MiB in another process against one
// ReadProcessMemory of the range plus std::search for the same low-byte pattern,
// in one run; and, for scale, the walk of one read call per byte on 64 KiB.
// Goal: ProcessFind at most 1.5 times the single read and search.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench.h"
#include "runtime/bstr.h"
#include "runtime/com_ptr.h"
#include "windows/window.h"
#include "../tests/qmwindows_helper.h"

namespace {

constexpr long kHaystack = 0x30100000;  // 4 MiB of 'x' characters ending in "Nadel"
constexpr long kLength = 0x400000;

long reference(HANDLE process, long length) {
    std::string bytes(static_cast<size_t>(length), '\0');
    SIZE_T got = 0;
    ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(kHaystack)), bytes.data(), length, &got);
    const char pattern[] = {'N', 0, 'a', 0, 'd', 0, 'e', 0, 'l'};
    auto it = std::search(bytes.begin(), bytes.end(), std::begin(pattern), std::end(pattern));
    return it == bytes.end() ? -1 : kHaystack + static_cast<long>(it - bytes.begin());
}

// Prints what both found; true when it is the same.
bool agree(const char* what, long found, long expected) {
    auto show = [](long address) {
        char text[16] = "none";
        if (address != -1) std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(address));
        return std::string(text);
    };
    std::printf("%s: found %s, reference %s (%s)\n", what, show(found).c_str(), show(expected).c_str(),
                found == expected ? "the same" : "DIFFERENT");
    return found == expected;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    qmtest::Helper helper(L"Bench", L"memory");
    if (!helper.main()) {
        std::printf("the window program could not place its memory\n");
        return 1;
    }
    const long hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(helper.main()));
    HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, helper.pid());
    qm::ComPtr<_Window> window = qm::ComPtr<_Window>::attach(new qm::Window());
    qm::Bstr needle(L"Nadel");

    qmbench::Best ours, theirs;
    long found = 0, expected = 0;
    for (qmbench::Rounds round(9, 1); round.next();) {
        ours.time([&] { window->ProcessFind(hwnd, needle.get(), kHaystack, kLength, &found); });
        theirs.time([&] { expected = reference(process, kLength); });
    }
    bool same = agree("ProcessFind 4 MiB", found, expected);
    qmbench::report("ProcessFind 4 MiB", 1, ours, theirs, "read+search", qmbench::at_most(1.5));

    // The walk of one read call per byte, on 64 KiB, where the text is not.
    const long small = 0x10000;
    double per_byte = qmbench::seconds([&] {
        char b = 0;
        SIZE_T got = 0;
        for (long i = 0; i <= small; i += 2)
            ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(kHaystack + i)), &b, 1, &got);
    });
    double ours_small = qmbench::seconds([&] { window->ProcessFind(hwnd, needle.get(), kHaystack, small, &found); });
    same = agree("ProcessFind 64 KiB", found, reference(process, small)) && same;
    qmbench::report("ProcessFind 64 KiB", 1, ours_small, per_byte, "byte walk");
    CloseHandle(process);
    CoUninitialize();
    return same ? 0 : 1;
}
