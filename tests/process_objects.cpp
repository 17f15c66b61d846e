#include "process_objects.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qmtest {

namespace {

// The system's handle list (SystemExtendedHandleInformation).
struct HandleEntry {
    void* object;
    ULONG_PTR process;
    ULONG_PTR handle;
    ULONG access;
    USHORT back_trace, type_index;
    ULONG attributes, reserved;
};
struct HandleList {
    ULONG_PTR count, reserved;
    HandleEntry entries[1];
};
constexpr ULONG kExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

using QuerySystem = NTSTATUS(NTAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <class F>
F ntdll(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The UNICODE_STRING that both the name and the type information start with.
std::wstring object_text(QueryObject query, HANDLE h, ULONG what) {
    alignas(8) BYTE buf[2048];
    ULONG got = 0;
    if (query(h, what, buf, sizeof buf, &got) < 0) return {};
    const auto* s = reinterpret_cast<const UNICODE_STRING*>(buf);
    return s->Buffer ? std::wstring(s->Buffer, s->Length / sizeof(wchar_t)) : std::wstring();
}

void count_handles(ObjectCounts& counts) {
    static const auto query_system = ntdll<QuerySystem>("NtQuerySystemInformation");
    static const auto query_object = ntdll<QueryObject>("NtQueryObject");
    std::vector<BYTE> buf(1 << 20);
    NTSTATUS rc;
    ULONG need = 0;
    while ((rc = query_system(kExtendedHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &need)) ==
           kInfoLengthMismatch)
        buf.resize(std::max<size_t>(buf.size() * 2, need + 4096));
    if (rc < 0) {
        ++counts[L"(the system's handle list cannot be read)"];
        return;
    }
    const auto* list = reinterpret_cast<const HandleList*>(buf.data());
    const ULONG_PTR self = GetCurrentProcessId();
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        const HandleEntry& e = list->entries[i];
        if (e.process != self) continue;
        const HANDLE h = reinterpret_cast<HANDLE>(e.handle);
        std::wstring kind = object_text(query_object, h, 2 /* ObjectTypeInformation */);
        const std::wstring name = object_text(query_object, h, 1 /* ObjectNameInformation */);
        if (kind.empty()) kind = L"handle";
        if (!name.empty()) kind += L" " + name;
        ++counts[kind];
    }
}

// The process's GDI handle table, which the PEB points to: 65,536 entries of
// 24 bytes; a live entry has a type, and its kind is the handle's type bits.
void count_gdi(ObjectCounts& counts) {
    struct Entry {
        uint64_t object;
        ULONG owner;
        USHORT unique;  // kind in the low 7 bits
        UCHAR type, flags;
        uint64_t user;
    };
    static_assert(sizeof(Entry) == 24);
    const BYTE* teb = reinterpret_cast<const BYTE*>(NtCurrentTeb());
    const BYTE* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const Entry* table = nullptr;
#ifdef _WIN64
    (void)teb;
    table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
#else
    // Under WoW64 the table is the 64-bit PEB's: the 32-bit TEB's GdiBatchCount
    // holds the 64-bit TEB, whose PEB (at 0x60) holds it at 0xF8; all of them
    // lie in the low 4 GiB.
    if (const ULONG teb64 = *reinterpret_cast<const ULONG*>(teb + 0xF70)) {
        const auto peb64 = static_cast<ULONG_PTR>(*reinterpret_cast<const uint64_t*>(teb64 + 0x60));
        table = reinterpret_cast<const Entry*>(
            static_cast<ULONG_PTR>(*reinterpret_cast<const uint64_t*>(peb64 + 0xF8)));
    } else {
        table = *reinterpret_cast<const Entry* const*>(peb + 0x94);
    }
#endif
    if (!table) {
        ++counts[L"(no GDI handle table)"];
        return;
    }
    static const std::pair<int, const wchar_t*> kKinds[] = {
        {0x01, L"DC"},      {0x41, L"memory DC"},   {0x21, L"enhanced metafile DC"}, {0x66, L"metafile DC"},
        {0x04, L"region"},  {0x05, L"surface"},     {0x26, L"metafile"},             {0x46, L"enhanced metafile"},
        {0x08, L"palette"}, {0x09, L"bitmap"},      {0x0a, L"font"},                 {0x10, L"brush"},
        {0x30, L"pen"},     {0x50, L"extended pen"}};
    for (size_t i = 0; i < 0x10000; ++i) {
        if (!table[i].type) continue;
        const int kind = table[i].unique & 0x7f;
        std::wstring name = L"GDI object of kind " + std::to_wstring(kind);
        for (const auto& k : kKinds)
            if (k.first == kind) name = std::wstring(L"GDI ") + k.second;
        ++counts[name];
    }
}

// Menus and icons (cursors among them) live in the process's user handle table;
// a handle's low word alone names its entry (handle = 0x20 + 2 x index).
void count_user(ObjectCounts& counts) {
    using FrameInfo = HCURSOR(WINAPI*)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);
    static const auto frame_info = reinterpret_cast<FrameInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetCursorFrameInfo")));
    for (UINT_PTR low = 0x20; low <= 0xffee; low += 2) {
        DWORD rate = 0, steps = 0;
        if (IsMenu(reinterpret_cast<HMENU>(low)))
            ++counts[L"menu"];
        else if (frame_info && frame_info(reinterpret_cast<HCURSOR>(low), 0, 0, &rate, &steps))
            ++counts[L"icon"];
    }
}

void count_window(HWND h, ObjectCounts& counts);

BOOL CALLBACK count_child(HWND h, LPARAM counts) {
    count_window(h, *reinterpret_cast<ObjectCounts*>(counts));
    return TRUE;
}

void count_window(HWND h, ObjectCounts& counts) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId()) return;
    wchar_t cls[128] = {};
    GetClassNameW(h, cls, 128);
    ++counts[std::wstring(L"window ") + cls];
}

BOOL CALLBACK count_top(HWND h, LPARAM counts) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    count_window(h, *reinterpret_cast<ObjectCounts*>(counts));
    EnumChildWindows(h, count_child, counts);  // every level below
    return TRUE;
}

void count_windows(ObjectCounts& counts) {
    EnumWindows(count_top, reinterpret_cast<LPARAM>(&counts));
    for (HWND h = nullptr; (h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr));)
        count_top(h, reinterpret_cast<LPARAM>(&counts));
}

}  // namespace

ObjectCounts process_objects() {
    ObjectCounts counts;
    count_handles(counts);
    count_gdi(counts);
    count_user(counts);
    count_windows(counts);
    return counts;
}

std::wstring growth(const ObjectCounts& before, const ObjectCounts& after) {
    std::wstring out;
    for (const auto& [kind, n] : after) {
        const auto was = before.find(kind);
        const long more = n - (was == before.end() ? 0 : was->second);
        if (more <= 0) continue;
        if (!out.empty()) out += L"; ";
        out += std::to_wstring(more) + L" x " + kind;
    }
    return out;
}

bool within(const ObjectCounts& after, const ObjectCounts& before) { return growth(before, after).empty(); }

}  // namespace qmtest
