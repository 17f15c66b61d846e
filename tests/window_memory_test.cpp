// Window's members on another process's memory, against the automation string
// "Hallo Quillmark Welt" that qmwindows.exe keeps at a fixed address.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "qmwindows_helper.h"
#include "runtime/interfaces.h"
#include "support.h"
#include "windows/window.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

constexpr long kText = 0x30500004;  // the text; its byte-length prefix stands before it
constexpr long kHaystack = 0x30100000, kNadel = 0x304FFFF6;  // 4 MiB of 'x' before it, closed by "Nadel"

long L(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

class WindowMemory : public ::testing::Test {
protected:
    void SetUp() override {
        window = ComPtr<_Window>::attach(new qm::Window());
        helper = std::make_unique<Helper>(L"Mem", L"memory");
        ASSERT_NE(helper->main(), nullptr) << "the program could not place its text";
        hwnd = L(helper->main());
    }
    std::wstring read(long address, long length) {
        Bstr r;
        EXPECT_EQ(window->ProcessRead(hwnd, address, length, r.put()), S_OK);
        return r.str();
    }
    long find(const wchar_t* text, long address, long length) {
        long r = -2;
        EXPECT_EQ(window->ProcessFind(hwnd, Bstr(text).get(), address, length, &r), S_OK);
        return r;
    }
    bool replace(const wchar_t* what, const wchar_t* with) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(window->ProcessReplace(hwnd, Bstr(what).get(), Bstr(with).get(), kText, 40, &r), S_OK);
        return r != VARIANT_FALSE;
    }
    // The length prefix in front of the text, read back from the program.
    long prefix() {
        HANDLE p = OpenProcess(PROCESS_VM_READ, FALSE, helper->pid());
        long v = -1;
        SIZE_T got = 0;
        ReadProcessMemory(p, reinterpret_cast<void*>(static_cast<uintptr_t>(kText - 4)), &v, 4, &got);
        CloseHandle(p);
        return v;
    }
    ComPtr<_Window> window;
    std::unique_ptr<Helper> helper;
    long hwnd = 0;
};

TEST_F(WindowMemory, ReadsAndFindsByTheLowBytes) {
    EXPECT_EQ(read(kText, 0), L"");
    EXPECT_EQ(read(kText, 4), L"Hal");  // at a, a + 2, a + 4
    EXPECT_EQ(read(kText, 5), L"Hal");
    EXPECT_EQ(read(kText, 38), L"Hallo Quillmark Welt");

    struct Case {
        const wchar_t* text;
        long start, length, found;
    } cases[] = {
        {L"Q", kText, 40, kText + 12},         // the first even offset with that byte
        {L"Quillmark", kText, 40, kText + 12},
        {L"Welt", kText, 32, kText + 32},      // starts inside the range, ends past it
        {L"Welt", kText, 33, kText + 32},
        {L"Welt", kText, 31, -1},              // starts past it
        {L"quillmark", kText, 40, -1},         // case-sensitive
        {L"", kText, 40, -1},                  // an empty text never matches
        {L"Hallo", kText, 0, 0},               // nothing to read
        // Reads go in blocks of 64 KiB and more from the start: a match split
        // between two, and one several blocks on, each at the last start allowed.
        {L"Nadel", kNadel - 0x10000 + 4, 0x10000 - 4, kNadel},
        {L"Nadel", kNadel - 0x10000 + 4, 0x10000 - 6, -1},
        {L"Hallo", kHaystack, kText - kHaystack, kText},
        {L"Hallo", kHaystack, kText - kHaystack - 2, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(find(c.text, c.start, c.length), c.found) << c.text << " " << c.length;
}

TEST_F(WindowMemory, AnUnreadableByteEndsTheWalk) {
    // The first page is never mapped: nothing is read, nothing found, nothing invented.
    // (Wine reads memory that is only reserved as zeros: the walk goes on there.)
    EXPECT_EQ(read(0x100, 100), L"");
    EXPECT_EQ(find(L"H", 0x100, 100), -1);
    // A length near 2^31 takes no more memory than what could be read.
    EXPECT_EQ(read(0x100, 0x7FFFFEFF), L"");
    // Past the Long range: overflow, raised to the caller.
    long r = 0;
    EXPECT_NE(window->ProcessFind(hwnd, Bstr(L"x").get(), 0x7FFFFFF0, 100, &r), S_OK);
    Bstr text;
    EXPECT_NE(window->ProcessRead(hwnd, 0x7FFFFFF0, 100, text.put()), S_OK);
}

TEST_F(WindowMemory, WritesAndReplacesInPlace) {
    // Longer than the text found: cut to its length; the prefix says so.
    EXPECT_TRUE(replace(L"Hallo", L"Servus Welt"));
    EXPECT_EQ(prefix(), 10);
    EXPECT_EQ(read(kText, 38), L"Servu Quillmark Welt");
    // Shorter: the prefix shrinks, the old characters behind it stay.
    EXPECT_TRUE(replace(L"Servu", L"Hi"));
    EXPECT_EQ(prefix(), 4);
    EXPECT_EQ(read(kText, 38), L"Hirvu Quillmark Welt");
    EXPECT_FALSE(replace(L"Moin", L"Tach"));

    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(window->ProcessWrite(hwnd, kText + 12, Bstr(L"q").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(read(kText + 12, 0 + 8), L"quill");
    EXPECT_EQ(window->ProcessWrite(hwnd, 0, Bstr(L"q").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(WindowMemory, AProcessThatCannotBeOpenedGivesTheFailureValues) {
    long none = 0x7FFFFFF0;  // no window
    long r = -2;
    Bstr text(L"unchanged");
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(window->ProcessFind(none, Bstr(L"x").get(), kText, 10, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(window->ProcessRead(none, kText, 10, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"");
    EXPECT_EQ(window->ProcessWrite(none, kText, Bstr(L"x").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ok = VARIANT_TRUE;
    EXPECT_EQ(window->ProcessReplace(none, Bstr(L"x").get(), Bstr(L"y").get(), kText, 10, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

}  // namespace
