// What the library's members leave behind in their client's process: every
// member of every class called repeatedly with ordinary arguments in one
// process per class, the process's handles, GDI objects, menus, icons and
// windows counted as the system lists them (the child's soak; see qmhostile).
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>

#include "class_runs.h"
#include "process_objects.h"

using namespace qmtest;

// The count sees each kind of object a client can leave, by its kind, and
// sees it go when it is given back.
TEST(Leftovers, TheCountSeesWhatAClientHolds) {
    struct Case {
        const wchar_t* kind;  // what the count names, at its start
        std::function<std::function<void()>()> make;  // makes one, returns its release
    };
    const Case cases[] = {
        {L"Event", [] { HANDLE h = CreateEventW(nullptr, FALSE, FALSE, nullptr); return [h] { CloseHandle(h); }; }},
        {L"Key \\REGISTRY\\User\\",
         [] {
             HKEY k = nullptr;
             RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &k);
             return [k] { RegCloseKey(k); };
         }},
        {L"GDI brush", [] { HBRUSH b = CreateSolidBrush(RGB(1, 2, 3)); return [b] { DeleteObject(b); }; }},
        {L"GDI memory DC", [] { HDC dc = CreateCompatibleDC(nullptr); return [dc] { DeleteDC(dc); }; }},
        {L"menu", [] { HMENU m = CreatePopupMenu(); return [m] { DestroyMenu(m); }; }},
        {L"icon", [] { HICON i = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)); return [i] { DestroyIcon(i); }; }},
        {L"window Static",
         [] {
             HWND w = CreateWindowW(L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
             HWND c = CreateWindowW(L"Static", L"", WS_CHILD, 0, 0, 1, 1, w, nullptr, nullptr, nullptr);
             HWND m = CreateWindowW(L"Static", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
             return [w, c, m] {
                 DestroyWindow(c);
                 DestroyWindow(w);
                 DestroyWindow(m);
             };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind);
        c.make()();  // what a first use loads for good (the system's icon) is not counted
        const ObjectCounts before = process_objects();
        std::vector<std::function<void()>> made;
        for (int i = 0; i < 3; ++i) made.push_back(c.make());
        const ObjectCounts held = process_objects();
        long more = 0;
        for (const auto& [kind, n] : held)
            if (kind.rfind(c.kind, 0) == 0) more += n - (before.count(kind) ? before.at(kind) : 0);
        EXPECT_EQ(more, c.kind == std::wstring(L"window Static") ? 9 : 3) << growth(before, held);
        for (auto& release : made) release();
        EXPECT_EQ(growth(before, process_objects()), L"");
    }
}

// No member's calls leave anything behind that grows with the number of calls.
TEST(Leftovers, NoMemberLeavesAnythingBehind) {
    constexpr DWORD kCallLimit = 90000;      // ms one member's calls may take, their settling included
    constexpr DWORD kRunLimit = 12 * 60000;  // ms for the whole run
    const ClassRunsResult r = run_classes(L"soak", kCallLimit, kRunLimit);
    for (const auto& f : r.faults) ADD_FAILURE() << f;
    EXPECT_TRUE(r.all_started);
}
