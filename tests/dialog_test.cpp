// Dialog.MsgBox and Dialog.Ask on real message boxes, and the worker form
// MyControls: placement, the auto-closer on boxes with and without the error
// reporter's caption, timer limits, sorting and the in-place edit box. Every box
// is closed by the test.
#include <gtest/gtest.h>

#include <string>

#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "message_boxes.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

const std::wstring kReporter = L"      DLL Error <53>";

long worker_forms() {
    long n = 0;
    for (const auto& f : forms::forms_collection().snapshot()) n += f->name() == L"MyControls";
    return n;
}

HRESULT msg_box(const std::wstring& title, const std::wstring& prompt, long style, long x, long y, long closer,
                long* result) {
    return shared<_Dialog>()->MsgBox(0, Bstr(title).get(), Bstr(prompt).get(), &style, &x, &y, &closer, result);
}

TEST(DialogMsgBox, PlainBoxLoadsNoWorkerForm) {
    long during = -1;
    BoxWatcher watch([&](const BoxInfo& b) {
        during = worker_forms();
        EXPECT_EQ(b.caption, L"Titel");
        EXPECT_EQ(b.text, L"Text");
        close_box(b.hwnd);
    });
    long r = 0;
    EXPECT_EQ(shared<_Dialog>()->MsgBox(0, Bstr(L"Titel").get(), Bstr(L"Text").get(), nullptr, nullptr, nullptr, nullptr,
                                        &r),
              S_OK);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(during, 0);
    // AutoCloser 0 or negative with no position: no worker form either.
    EXPECT_EQ(msg_box(L"Titel", L"Text", 0, -1, -1, -5, &r), S_OK);
    EXPECT_EQ(during, 0);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogMsgBox, PlacedBoxKeepsItsSizeAtTheGivenPosition) {
    for (POINT want : {POINT{100, 50}, POINT{100, -1}}) {
        RECT placed{}, first{};
        bool have_first = false;
        BoxWatcher watch([&](const BoxInfo& b) {
            if (!have_first) first = b.rect, have_first = true;
            if (worker_forms() != 0) return;  // still looking for the box
            placed = b.rect;
            close_box(b.hwnd);
        });
        long r = 0;
        EXPECT_EQ(msg_box(L"Titel", L"Text", 0, want.x, want.y, 0, &r), S_OK);
        EXPECT_EQ(placed.left, want.x);
        EXPECT_EQ(placed.top, want.y);
        EXPECT_EQ(placed.right - placed.left, first.right - first.left);
        EXPECT_EQ(placed.bottom - placed.top, first.bottom - first.top);
        EXPECT_EQ(worker_forms(), 0);
        EXPECT_EQ(watch.close_all(), 0);
    }
}

TEST(DialogMsgBox, AutoCloserClosesReporterBoxesOnly) {
    // A box with the reporter's caption is closed by the worker form.
    int ticks = 0;
    BoxWatcher watch([&](const BoxInfo& b) { ++ticks; });
    long r = 0;
    EXPECT_EQ(msg_box(kReporter, L"Class: File", MB_ICONHAND, -1, -1, 1, &r), S_OK);
    EXPECT_NE(r, 0);  // closed (the system tells the closed box's result)
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(worker_forms(), 0);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogMsgBox, AutoCloserLeavesOtherBoxesOpen) {
    bool open_after_closer = false;
    BoxWatcher watch([&](const BoxInfo& b) {
        if (worker_forms() != 0) return;  // the closer has not run yet
        open_after_closer = true;
        close_box(b.hwnd);
    });
    long r = 0;
    EXPECT_EQ(msg_box(L"      DLL Error", L"not the reporter's", 0, -1, -1, 1, &r), S_OK);
    EXPECT_TRUE(open_after_closer);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogMsgBox, AutoCloserClosesEveryReporterBoxOfTheThreadAtOnce) {
    // A second reporter box opened inside the first one's loop: one tick closes both.
    bool nested = false;
    long inner = 0;
    BoxWatcher watch([&](const BoxInfo& b) {
        if (nested) return;
        nested = true;
        msg_box(L"      DLL Error <2>", L"inner", 0, -1, -1, 0, &inner);
    });
    long r = 0;
    EXPECT_EQ(msg_box(kReporter, L"outer", 0, -1, -1, 1, &r), S_OK);
    EXPECT_TRUE(nested);
    EXPECT_NE(inner, 0);
    EXPECT_EQ(worker_forms(), 0);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogMsgBox, CloserBeyondTheTimerRangeFailsBeforeAnyBox) {
    int boxes = 0;
    BoxWatcher watch([&](const BoxInfo& b) { ++boxes, close_box(b.hwnd); });
    long r = 0;
    EXPECT_EQ(msg_box(kReporter, L"x", 0, -1, -1, 100, &r), static_cast<HRESULT>(0x800A017C));  // 380
    EXPECT_EQ(msg_box(kReporter, L"x", 0, -1, -1, 3000000, &r), static_cast<HRESULT>(0x800A0006));  // overflow
    forms::do_events();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(worker_forms(), 0);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogMsgBox, PlaceBeyondAnyScreenFailsBeforeAnyBox) {
    int boxes = 0;
    BoxWatcher watch([&](const BoxInfo& b) { ++boxes, close_box(b.hwnd); });
    long r = 0;
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        EXPECT_EQ(msg_box(L"Titel", L"x", 0, huge, 0, 0, &r), static_cast<HRESULT>(0x800A017C)) << huge;  // 380
        EXPECT_EQ(msg_box(L"Titel", L"x", 0, 0, huge, 0, &r), static_cast<HRESULT>(0x800A017C)) << huge;
    }
    forms::do_events();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(worker_forms(), 0);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(DialogAsk, TitleIsTheCaptionPromptTheTextWithYesAndNo) {
    BoxInfo seen{};
    BoxWatcher watch([&](const BoxInfo& b) {
        seen = b;
        EXPECT_TRUE(b.has(IDYES));
        EXPECT_TRUE(b.has(IDNO));
        close_box(b.hwnd, IDNO);
    });
    long r = 0;
    EXPECT_EQ(shared<_Dialog>()->Ask(0, Bstr(L"Weiter?").get(), Bstr(L"Frage").get(), nullptr, &r), S_OK);
    EXPECT_EQ(r, IDNO);
    EXPECT_EQ(seen.caption, L"Frage");
    EXPECT_EQ(seen.text, L"Weiter?");
    EXPECT_EQ(watch.close_all(), 0);
}

TEST(WorkerForm, PlacementGivesUpWithoutABoxAndUnloads) {
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->load();
    EXPECT_EQ(w->width(), 0);
    EXPECT_FALSE(IsWindowVisible(w->hwnd()));
    w->SetMsgbox(0, 10, 10);
    for (int i = 0; i < 2000 && w->loaded(); ++i) {
        Sleep(5);
        forms::do_events();
    }
    EXPECT_FALSE(w->loaded());
}

TEST(WorkerForm, SortKeepsItemDataAndDuplicatesAndRefusesSortedBoxes) {
    ComPtr<forms::Form> host = forms::make<forms::Form>();
    host->load();
    forms::ListBox& lb = host->add<forms::ListBox>(L"List1");
    const wchar_t* texts[] = {L"b", L"a", L"c", L"a"};
    for (long i = 0; i < 4; ++i) {
        lb.add_item(texts[i]);
        lb.set_item_data(i, 10 + i);
    }
    ComPtr<MyControls> w = forms::make<MyControls>();
    EXPECT_TRUE(w->SortLB(&lb));
    EXPECT_FALSE(w->loaded());
    std::wstring order;
    std::vector<long> data;
    for (long i = 0; i < lb.list_count(); ++i) order += lb.list(i), data.push_back(lb.item_data(i));
    EXPECT_EQ(order, L"aabc");
    EXPECT_EQ(data[2], 10);
    EXPECT_EQ(data[3], 12);
    EXPECT_TRUE((data[0] == 11 && data[1] == 13) || (data[0] == 13 && data[1] == 11));

    forms::ListBox& sorted = host->add<forms::ListBox>(L"List2");
    sorted.set_sorted(true);
    sorted.add_item(L"z");
    ComPtr<MyControls> w2 = forms::make<MyControls>();
    EXPECT_FALSE(w2->SortLB(&sorted));
    EXPECT_TRUE(w2->loaded());
    w2->unload();
    host->unload();
}

TEST(WorkerForm, EditBoxEnterEndsTheEditEscRestoresWhenAllowed) {
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->load();
    HWND input = w->get<forms::TextBox>(L"uInput").hwnd();
    auto field = [&](const wchar_t* n) { return late::get(w.get(), n); };
    w->get<forms::TextBox>(L"uInput").set_text(L"neu");
    ListEditOldText() = L"alt";
    SendMessageW(input, WM_CHAR, VK_ESCAPE, 0);  // ListEdit False: passed on
    EXPECT_EQ(w->get<forms::TextBox>(L"uInput").text(), L"neu");
    late::put(w.get(), L"ListEdit", Variant(true));
    late::put(w.get(), L"ListEditESC", Variant(true));
    SendMessageW(input, WM_CHAR, VK_ESCAPE, 0);
    EXPECT_EQ(w->get<forms::TextBox>(L"uInput").text(), L"alt");
    EXPECT_FALSE(V_BOOL(field(L"uStringWasSet").get()));
    w->get<forms::TextBox>(L"uInput").set_text(L"fertig");
    SendMessageW(input, WM_CHAR, VK_RETURN, 0);
    EXPECT_TRUE(V_BOOL(field(L"uStringWasSet").get()));
    EXPECT_EQ(std::wstring(V_BSTR(field(L"uString").get())), L"fertig");
    w->unload();
}

}  // namespace
