// Controls: the standard dialogs behind one record, driven by the box watcher.
// The record cannot cross the script engines, so it is filled from here.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "message_boxes.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using namespace qmtest;

namespace {

constexpr int kRed = 706, kGreen = 707, kBlue = 708;  // colour dialog edits
constexpr int kFace = 1136, kSize = 1138;             // font dialog face and size boxes

struct Record {
    COMMONDIALOGINFO info{};
    Record(long flags, std::wstring_view filter = {}, long x = -1, long y = -1) {
        info.Flags = static_cast<COMMONDIALOGFLAGS>(flags);
        info.Filter = SysAllocStringLen(filter.data(), static_cast<UINT>(filter.size()));
        info.XPos = x, info.YPos = y;
    }
    ~Record() { SysFreeString(info.Filter); }
    std::wstring filter() const { return std::wstring(info.Filter, SysStringLen(info.Filter)); }
};

class CommonDialogTest : public testing::Test {
protected:
    void SetUp() override {
        controls = create(L"Quillmark.Controls").query<_Controls>();
        ASSERT_TRUE(controls);
    }
    // Shows the record's dialog with on_box answering it; no dialog may stay open.
    std::wstring show(Record& r, std::function<void(const BoxInfo&)> on_box) {
        Bstr result;
        BoxWatcher watch(std::move(on_box));
        EXPECT_EQ(controls->CommonDialog(&r.info, result.put()), S_OK);
        EXPECT_EQ(watch.close_all(), 0);
        return result.str();
    }
    ComPtr<_Controls> controls;
};

// Chooses an entry of a dialog's combo box as a user would.
void pick(HWND dialog, int id, const wchar_t* text) {
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

HWND name_field(HWND dialog) {
    for (int id : {0x47c /* cmb13 */, 0x480 /* edt1 */})
        if (HWND h = GetDlgItem(dialog, id)) return h;
    return nullptr;
}

}  // namespace

TEST_F(CommonDialogTest, FilterIsCompletedInTheRecordAndUnknownFlagsShowNothing) {
    const std::wstring all(L"Alle Dateien (*.*)\0*.*", 22), nuls(3, L'\0');
    for (long flags : {7L, -1L}) {
        Record r(flags);
        int shown = 0;
        EXPECT_EQ(show(r, [&](const BoxInfo&) { ++shown; }), L"");
        EXPECT_EQ(r.filter(), all + nuls);
        EXPECT_EQ(show(r, [&](const BoxInfo&) { ++shown; }), L"");
        EXPECT_EQ(r.filter(), all + nuls + nuls);
        EXPECT_EQ(shown, 0);
    }
    Record own(7, std::wstring_view(L"Texte\0*.txt\0", 12));
    show(own, [](const BoxInfo&) {});
    EXPECT_EQ(own.filter(), std::wstring(L"Texte\0*.txt\0", 12) + nuls);
}

TEST_F(CommonDialogTest, FileDialogsReturnThePathChosenOrNothing) {
    const std::wstring dir = scratch() + L"common dialog\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = dir + L"gew\u00e4hlt.txt";
    write_bytes(path, "x");
    for (long flags : {cdSHOWOPEN, cdSHOWSAVE}) {
        Record ok(flags, std::wstring_view(L"Texte\0*.txt\0", 12));
        EXPECT_EQ(show(ok,
                       [&](const BoxInfo& b) {
                           HWND field = name_field(b.hwnd);
                           if (!field) return;
                           SetWindowTextW(field, path.c_str());
                           close_box(b.hwnd, IDOK);
                       }),
                  path)
            << flags;
        // Cancelled, at the position the record asks for.
        Record cancel(flags, {}, 120, 90);
        bool moved = false;
        int ticks = 0;
        EXPECT_EQ(show(cancel,
                       [&](const BoxInfo& b) {
                           moved = b.rect.left == 120 && b.rect.top == 90;
                           if (moved || ++ticks > 100) close_box(b.hwnd, IDCANCEL);
                       }),
                  L"");
        EXPECT_TRUE(moved) << flags;
    }
}

TEST_F(CommonDialogTest, FontAndColourAnswersAsText) {
    Record font(cdSHOWFONT);
    EXPECT_EQ(show(font,
                   [](const BoxInfo& b) {
                       if (!b.has(kFace)) return;
                       pick(b.hwnd, kFace, L"Tahoma");
                       pick(b.hwnd, kSize, L"14");
                       close_box(b.hwnd, IDOK);
                   }),
              L"Tahoma");
    EXPECT_EQ(show(font, [](const BoxInfo& b) { close_box(b.hwnd, IDCANCEL); }), L"");

    Record colour(cdSHOWCOLOR);
    EXPECT_EQ(show(colour,
                   [](const BoxInfo& b) {
                       if (!b.has(kRed)) return;
                       SetDlgItemTextW(b.hwnd, kRed, L"10");
                       SetDlgItemTextW(b.hwnd, kGreen, L"20");
                       SetDlgItemTextW(b.hwnd, kBlue, L"30");
                       close_box(b.hwnd, IDOK);
                   }),
              std::to_wstring(0x1E140A));
    EXPECT_EQ(show(colour, [](const BoxInfo& b) { close_box(b.hwnd, IDCANCEL); }), L"-1");
}

// Without a printer the dialog fails at once; with one it is cancelled. Either
// way the answer is empty and nothing is left open.
TEST_F(CommonDialogTest, PrintDialogAnswersNothing) {
    Record print(cdSHOWPRINTER);
    EXPECT_EQ(show(print, [](const BoxInfo& b) { close_box(b.hwnd, IDCANCEL); }), L"");
    EXPECT_TRUE(BoxWatcher::boxes().empty());
}
