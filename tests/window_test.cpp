// The Window class against real windows: the test's own, and those of a second
// process (qmwindows.exe). Everything is read back through the system.
#include <gtest/gtest.h>

#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/interfaces.h"
#include "frame/frm_tmp.h"
#include "qmwindows_helper.h"
#include "support.h"
#include "windows/window_alpha.h"
#include "windows/window_enum.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

HWND H(long v) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(v)); }
long L(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

void pump() { pump_messages(); }

std::vector<long> longs(SAFEARRAY* sa) {
    std::vector<long> out;
    if (!sa) return out;
    long lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    EXPECT_EQ(lo, 0);
    for (long i = lo; i <= hi; ++i) {
        long v = 0;
        SafeArrayGetElement(sa, &i, &v);
        out.push_back(v);
    }
    SafeArrayDestroy(sa);
    return out;
}

bool contains(const std::vector<long>& list, HWND h) { return std::find(list.begin(), list.end(), L(h)) != list.end(); }

// --- the test's own windows -------------------------------------------------------

// What a test window counts and how it behaves.
struct Behaviour {
    bool refuse_close = false;
    int closes = 0, downs = 0, ups = 0;
    int overstate_length = 0;  // added to the answer of WM_GETTEXTLENGTH
};

LRESULT CALLBACK test_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* b = reinterpret_cast<Behaviour*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (b) {
        switch (msg) {
        case WM_CLOSE:
            ++b->closes;
            if (b->refuse_close) return 0;
            break;
        case WM_LBUTTONDOWN:
            ++b->downs;
            break;
        case WM_LBUTTONUP:
            ++b->ups;
            break;
        case WM_GETTEXTLENGTH:
            return DefWindowProcW(hwnd, msg, wp, lp) + b->overstate_length;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void register_test_class(const wchar_t* name, HBRUSH background = nullptr) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = test_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = background ? background : reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

class TestWindow {
public:
    TestWindow(const wchar_t* title, const wchar_t* cls = L"QmTestWin", DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
               HWND parent = nullptr, int x = 60, int y = 60, int w = 300, int h = 200) {
        register_test_class(L"QmTestWin");
        register_test_class(L"QmTestCase");
        register_test_class(L"QmTestRed", CreateSolidBrush(RGB(255, 0, 0)));
        h_ = CreateWindowExW(0, cls, title, style, x, y, w, h, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(h_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&behaviour));
        pump();
    }
    ~TestWindow() {
        if (IsWindow(h_)) DestroyWindow(h_);
        pump();
    }
    TestWindow(const TestWindow&) = delete;
    HWND get() const { return h_; }
    long id() const { return L(h_); }
    HWND child(const wchar_t* cls, const wchar_t* text, HWND parent = nullptr) {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE, 5, 5, 80, 20, parent ? parent : h_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        pump();
        return c;
    }
    Behaviour behaviour;

private:
    HWND h_ = nullptr;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Window");
        ASSERT_TRUE(disp);
        w = disp.query<_Window>();
        ASSERT_TRUE(w);
    }
    std::wstring text(HWND h) {
        Bstr t;
        EXPECT_EQ(w->Get_Text(L(h), t.put()), S_OK);
        return t.str();
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Window> w;
};

std::wstring window_text_of(HWND h) {
    wchar_t buf[256] = {};
    GetWindowTextW(h, buf, 256);
    return buf;
}

// --- finding and listing ------------------------------------------------------------

TEST_F(WindowTest, AllHwndListsEveryTopLevelWindowInZOrder) {
    TestWindow visible(L"QM visible"), hidden(L"QM hidden", L"QmTestWin", WS_OVERLAPPEDWINDOW);
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(w->Get_AllHwnd(&sa), S_OK);
    std::vector<long> all = longs(sa);
    ASSERT_TRUE(contains(all, visible.get()));
    ASSERT_TRUE(contains(all, hidden.get()));
    // The order is the system's: hidden was made last, so it lies above visible.
    auto pos = [&](HWND h) { return std::find(all.begin(), all.end(), L(h)) - all.begin(); };
    std::vector<long> system;
    for (HWND h : qm::Enum_TopWindows()) system.push_back(L(h));
    auto spos = [&](HWND h) { return std::find(system.begin(), system.end(), L(h)) - system.begin(); };
    EXPECT_EQ(pos(hidden.get()) < pos(visible.get()), spos(hidden.get()) < spos(visible.get()));
}

TEST_F(WindowTest, ChildWindowsAreAllDescendantsAndNothingForNone) {
    TestWindow top(L"QM parent");
    HWND edit = top.child(L"EDIT", L"e");
    HWND group = top.child(L"STATIC", L"g");
    HWND inner = top.child(L"STATIC", L"i", group);
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(w->Get_ChildWindows(top.id(), &sa), S_OK);
    std::vector<long> kids = longs(sa);
    EXPECT_EQ(kids.size(), 3u);
    EXPECT_TRUE(contains(kids, edit) && contains(kids, group) && contains(kids, inner));

    long id = top.id(), count = 0;
    VARIANT_BOOL has = VARIANT_FALSE;
    EXPECT_EQ(w->ChildWindowCount(&id, &count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(w->hasChildWindow(&id, &has), S_OK);
    EXPECT_EQ(has, VARIANT_TRUE);

    // A window without children, and handle 0 (which is no window): no array.
    ASSERT_EQ(w->Get_ChildWindows(L(inner), &sa), S_OK);
    EXPECT_EQ(sa, nullptr);
    ASSERT_EQ(w->Get_ChildWindows(0, &sa), S_OK);
    EXPECT_EQ(sa, nullptr);
    long leaf = L(inner);
    EXPECT_EQ(w->ChildWindowCount(&leaf, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(w->hasChildWindow(&leaf, &has), S_OK);
    EXPECT_EQ(has, VARIANT_FALSE);

    // Through the dispatcher an empty list is a Long array that was never dimensioned.
    Variant result;
    Variant arg = v_long(L(inner));
    ASSERT_EQ(call(disp.get(), L"Get_ChildWindows", {arg.get()}, result.put()), S_OK);
    EXPECT_EQ(V_VT(result.get()), VT_ARRAY | VT_I4);
    EXPECT_EQ(V_ARRAY(result.get()), nullptr);
}

TEST_F(WindowTest, FindWindowTurnsEmptyArgumentsIntoNullStrings) {
    TestWindow top(L"QM FindWindow target");
    Bstr cls(L"QmTestWin"), caption(L"QM FindWindow target");
    BSTR c = cls.detach(), t = caption.detach();
    long found = 0;
    ASSERT_EQ(w->FindWindow(&c, &t, &found), S_OK);
    EXPECT_EQ(H(found), top.get());
    SysFreeString(c);
    SysFreeString(t);

    // Both empty: the first top-level window, and the caller's variables are null
    // strings. Another program's window may come to the top during a call: the
    // call counts when the first window is the same before and after it.
    Variant empty1, empty2, result;
    HWND first = nullptr;
    for (int attempt = 0; attempt < 20 && !first; ++attempt) {
        empty1 = v_str(L"");
        empty2 = v_str(L"");
        VARIANT r1 = v_ref(empty1), r2 = v_ref(empty2);
        const HWND before = FindWindowW(nullptr, nullptr);
        ASSERT_EQ(call(disp.get(), L"FindWindow", {&r1, &r2}, result.put()), S_OK);
        if (FindWindowW(nullptr, nullptr) == before) first = before;
    }
    ASSERT_NE(first, nullptr) << "the first top-level window changed during each of 20 calls";
    EXPECT_EQ(H(V_I4(result.get())), first);
    EXPECT_EQ(V_VT(empty1.get()), VT_BSTR);
    EXPECT_EQ(V_BSTR(empty1.get()), nullptr);
    EXPECT_EQ(V_BSTR(empty2.get()), nullptr);

    // Only a caption.
    Variant title = v_str(L"QM FindWindow target");
    ASSERT_EQ(call(disp.get(), L"FindWindow", {empty1.get(), title.get()}, result.put()), S_OK);
    EXPECT_EQ(H(V_I4(result.get())), top.get());
}

TEST_F(WindowTest, FindChildByTextChoosesTheFirstByClassThenSiblingsByText) {
    TestWindow top(L"QM children");
    HWND a = top.child(L"STATIC", L"alpha");
    HWND b = top.child(L"BUTTON", L"beta");
    long found = 0;
    ASSERT_EQ(w->FindChild(top.id(), Bstr(L"Button").get(), &found), S_OK);
    EXPECT_EQ(H(found), b);
    ASSERT_EQ(w->FindChildByText(top.id(), Bstr(L"STATIC").get(), Bstr(L"alpha").get(), &found), S_OK);
    EXPECT_EQ(H(found), a);
    // The sibling after the first STATIC is a button: found by its text alone.
    ASSERT_EQ(w->FindChildByText(top.id(), Bstr(L"STATIC").get(), Bstr(L"beta").get(), &found), S_OK);
    EXPECT_EQ(H(found), b);
    ASSERT_EQ(w->FindChildByText(top.id(), Bstr(L"STATIC").get(), Bstr(L"Beta").get(), &found), S_OK);
    EXPECT_EQ(found, 0);
    ASSERT_EQ(w->FindChildByText(top.id(), Bstr(L"EDIT").get(), Bstr(L"").get(), &found), S_OK);
    EXPECT_EQ(found, 0);
}

TEST_F(WindowTest, FindWindowByPhraseMatchesPartOfTheTitle) {
    TestWindow top(L"Quill PHRASE Probe 4711");
    auto find = [&](const wchar_t* phrase, VARIANT_BOOL exact) {
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(w->FindWindowByPhrase(Bstr(phrase).get(), &exact, &sa), S_OK);
        return longs(sa);
    };
    EXPECT_TRUE(contains(find(L"PHRASE Probe", VARIANT_TRUE), top.get()));
    EXPECT_FALSE(contains(find(L"phrase probe 4711", VARIANT_TRUE), top.get()));
    EXPECT_TRUE(contains(find(L"phrase probe 4711", VARIANT_FALSE), top.get()));
    EXPECT_TRUE(find(L"no window has this phrase 9x8y7z", VARIANT_FALSE).empty());
    // An empty phrase matches every window.
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(w->Get_AllHwnd(&sa), S_OK);
    EXPECT_GE(find(L"", VARIANT_TRUE).size(), longs(sa).size() - 2);
}

TEST_F(WindowTest, AllHwndByClassFindsTheFirstCaseBlindThenExactOnes) {
    TestWindow one(L"QM case one", L"QmTestCase"), two(L"QM case two", L"QmTestCase");
    auto by_class = [&](const wchar_t* cls) {
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(w->Get_AllHwndByClass(Bstr(cls).get(), &sa), S_OK);
        return longs(sa);
    };
    std::vector<long> exact = by_class(L"QmTestCase");
    // Both, in Z order (activation by the display may still reorder them).
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_TRUE((H(exact[0]) == two.get() && H(exact[1]) == one.get()) ||
                (H(exact[0]) == one.get() && H(exact[1]) == two.get()));
    std::vector<long> blind = by_class(L"qmtestcase");
    ASSERT_EQ(blind.size(), 1u);
    EXPECT_EQ(H(blind[0]), H(by_class(L"QmTestCase")[0]));
    EXPECT_TRUE(by_class(L"QmNoSuchClass").empty());

    // Windows restacked while the list is made (by a thread of their own) are
    // each listed once, never met twice or missed.
    std::atomic<bool> made{false}, stop{false};
    HWND mine[2] = {};
    std::thread restacker([&] {
        for (HWND& h : mine)
            h = CreateWindowExW(0, L"QmTestCase", L"QM restacked", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        made = true;
        for (int i = 0; !stop; ++i) {
            SetWindowPos(mine[i % 2], i % 4 < 2 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            pump_messages();
        }
        for (HWND h : mine) DestroyWindow(h);
    });
    while (!made) Sleep(1);
    for (int i = 0; i < 300; ++i) {
        std::vector<long> listed = by_class(L"QmTestCase");
        std::sort(listed.begin(), listed.end());
        if (std::adjacent_find(listed.begin(), listed.end()) != listed.end() || listed.size() != 4u) {
            ADD_FAILURE() << "call " << i << ": " << listed.size() << " windows listed, 4 there";
            break;
        }
    }
    stop = true;
    restacker.join();
}

TEST_F(WindowTest, AllHwndByTextComparesWholeTitles) {
    TestWindow one(L"QM Same Title"), two(L"QM Same Title"), longer(L"QM Same Title and more");
    auto by_text = [&](const wchar_t* t, VARIANT_BOOL exact) {
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(w->Get_AllHwndByText(Bstr(t).get(), &exact, &sa), S_OK);
        return longs(sa);
    };
    std::vector<long> same = by_text(L"QM Same Title", VARIANT_TRUE);
    EXPECT_EQ(same.size(), 2u);
    EXPECT_TRUE(contains(same, one.get()) && contains(same, two.get()));
    EXPECT_EQ(by_text(L"qm same title", VARIANT_FALSE).size(), 2u);
    // Case-sensitive: the system's lookup finds the first, the rest must match exactly.
    EXPECT_EQ(by_text(L"qm same title", VARIANT_TRUE).size(), 1u);
    EXPECT_TRUE(by_text(L"QM Same", VARIANT_TRUE).empty());
}

TEST_F(WindowTest, WindowsOfAnotherProcess) {
    Helper helper(L"Lists");
    ASSERT_TRUE(helper.main() && helper.owned());
    const long pid = static_cast<long>(helper.pid());
    SAFEARRAY* sa = nullptr;

    // The system may give the program hidden windows of its own (an input-method
    // window): every window listed must be the program's, and ours must be there.
    auto all_of_helper = [&](const std::vector<long>& list) {
        for (long h : list) {
            DWORD owner = 0;
            GetWindowThreadProcessId(H(h), &owner);
            if (owner != helper.pid() || GetAncestor(H(h), GA_PARENT) != GetDesktopWindow()) return false;
        }
        return true;
    };
    ASSERT_EQ(w->PID_GetHwnds(pid, &sa), S_OK);
    std::vector<long> all = longs(sa);
    EXPECT_TRUE(all_of_helper(all));
    EXPECT_TRUE(contains(all, helper.main()) && contains(all, helper.owned()));
    std::vector<long> system;
    for (HWND h : qm::Enum_TopWindows())
        if (contains(all, h)) system.push_back(L(h));
    EXPECT_EQ(all, system);  // in Z order

    ASSERT_EQ(w->Get_AllParentWindowsFromTaskID(pid, &sa), S_OK);
    std::vector<long> parents = longs(sa);
    EXPECT_TRUE(all_of_helper(parents));
    EXPECT_TRUE(contains(parents, helper.main()));
    EXPECT_FALSE(contains(parents, helper.owned()));  // it has an owner
    ASSERT_EQ(w->Get_AllParentWindowsFromHwnd(L(helper.owned()), &sa), S_OK);
    EXPECT_EQ(longs(sa), parents);
    long p = pid;
    ASSERT_EQ(w->PID_GetParentWindows(&p, &sa), S_OK);
    std::vector<long> tops = longs(sa);
    EXPECT_TRUE(contains(tops, helper.main()));  // also the owned window's top parent: listed once
    EXPECT_FALSE(contains(tops, helper.owned()));
    EXPECT_EQ(std::count(tops.begin(), tops.end(), L(helper.main())), 1);
    long top = 0;
    ASSERT_EQ(w->TaskIDtoHwnd(&p, &top), S_OK);
    EXPECT_EQ(H(top), helper.main());

    // Texts, classes and owners across the process boundary.
    EXPECT_EQ(text(helper.main()), L"QM Main Lists");
    EXPECT_EQ(text(helper.find_child(L"Edit")), L"Eingabe");
    Bstr cls;
    ASSERT_EQ(w->Get_Class(L(helper.owned()), cls.put()), S_OK);
    EXPECT_EQ(cls.str(), L"QmWinOwned");
    long parent = 0;
    ASSERT_EQ(w->Get_Parent(L(helper.owned()), &parent), S_OK);
    EXPECT_EQ(H(parent), helper.main());
    long taskid = 0;
    ASSERT_EQ(w->Get_TaskID(L(helper.main()), &taskid), S_OK);
    EXPECT_EQ(taskid, pid);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(w->Set_Text(L(helper.main()), Bstr(L"Neuer Titel äöü").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(window_text_of(helper.main()), L"Neuer Titel äöü");

    // Every descendant of the other program's window, disabled and enabled again.
    VARIANT_BOOL off = VARIANT_FALSE, on = VARIANT_TRUE;
    ASSERT_EQ(w->Childs_EnableAll(L(helper.main()), &off, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    HWND edit = helper.find_child(L"Edit");
    HWND inner = FindWindowExW(helper.find_child(L"Static"), nullptr, L"Static", nullptr);
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_FALSE(IsWindowEnabled(inner));
    ASSERT_EQ(w->Childs_EnableAll(L(helper.main()), &on, &ok), S_OK);
    EXPECT_TRUE(IsWindowEnabled(edit));
    ASSERT_EQ(w->Childs_VisibleAll(L(helper.main()), &off, &ok), S_OK);
    EXPECT_FALSE(GetWindowLongPtrW(inner, GWL_STYLE) & WS_VISIBLE);
    ASSERT_EQ(w->Childs_VisibleAll(L(helper.main()), &on, &ok), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(inner, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(WindowTest, ExecutableOfAWindowAndProcessOfAnExecutable) {
    Helper helper(L"Exe");
    ASSERT_TRUE(helper.main());
    Bstr name;
    VARIANT_BOOL full = VARIANT_FALSE;
    ASSERT_EQ(w->EXEmoduleByHwnd(L(helper.main()), &full, name.put()), S_OK);
    EXPECT_EQ(_wcsicmp(name.get(), L"qmwindows.exe"), 0) << name.str();
    full = VARIANT_TRUE;
    ASSERT_EQ(w->EXEmoduleByHwnd(L(helper.main()), &full, name.put()), S_OK);
    std::wstring path = name.str();
    ASSERT_GT(path.size(), 14u);
    EXPECT_EQ(_wcsicmp(path.substr(path.size() - 14).c_str(), L"\\qmwindows.exe"), 0) << path;
    ASSERT_EQ(w->EXEmoduleByHwnd(0, &full, name.put()), S_OK);
    EXPECT_TRUE(name.empty());

    long pid = 0;
    ASSERT_EQ(w->EXEmodulToPID(Bstr(L"QMWINDOWS.EXE").get(), VARIANT_FALSE, &pid), S_OK);
    EXPECT_EQ(pid, static_cast<long>(helper.pid()));
    ASSERT_EQ(w->EXEmodulToPID(Bstr(L"no-such-program.exe").get(), VARIANT_FALSE, &pid), S_OK);
    EXPECT_EQ(pid, -1);
}

// --- queries --------------------------------------------------------------------------

TEST_F(WindowTest, FamilyOfAWindow) {
    TestWindow top(L"QM family");
    TestWindow owned(L"QM owned", L"QmTestWin", WS_POPUP | WS_VISIBLE, top.get());
    HWND group = top.child(L"STATIC", L"g");
    HWND inner = top.child(L"STATIC", L"i", group);
    long r = 0;
    VARIANT_BOOL b = VARIANT_FALSE;
    ASSERT_EQ(w->Get_TopParent(L(inner), &r), S_OK);
    EXPECT_EQ(H(r), top.get());
    ASSERT_EQ(w->Get_TopParent(owned.id(), &r), S_OK);
    EXPECT_EQ(H(r), top.get());
    ASSERT_EQ(w->Get_TopParent(top.id(), &r), S_OK);
    EXPECT_EQ(H(r), top.get());
    ASSERT_EQ(w->Get_Parent(L(inner), &r), S_OK);
    EXPECT_EQ(H(r), group);
    ASSERT_EQ(w->isTopParent(top.id(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);
    ASSERT_EQ(w->isChildWindow(L(inner), &b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);
    ASSERT_EQ(w->isChildWindow(top.id(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);

    ASSERT_EQ(w->Get_TaskID(top.id(), &r), S_OK);
    EXPECT_EQ(r, static_cast<long>(GetCurrentProcessId()));
    ASSERT_EQ(w->Get_ThreadID(top.id(), &r), S_OK);
    EXPECT_EQ(r, static_cast<long>(GetCurrentThreadId()));
    for (long bad : {0L, 0x7ffffff0L}) {
        ASSERT_EQ(w->isHwnd(bad, &b), S_OK);
        EXPECT_EQ(b, VARIANT_FALSE);
        ASSERT_EQ(w->Hwnd_Exist(bad, &b), S_OK);
        EXPECT_EQ(b, VARIANT_FALSE);
        ASSERT_EQ(w->Get_TaskID(bad, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(text(H(bad)), L"");
    }
    ASSERT_EQ(w->isHwnd(top.id(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);
}

// A handle of no window is no top parent; showing it and enabling its children
// are defined to answer True whatever the handle.
TEST_F(WindowTest, HandlesOfNoWindow) {
    for (long bad : {-1L, 0L, 2147483647L}) {
        VARIANT_BOOL b = VARIANT_TRUE, on = VARIANT_TRUE;
        ASSERT_EQ(w->isTopParent(bad, &b), S_OK);
        EXPECT_EQ(b, VARIANT_FALSE) << bad;
        ASSERT_EQ(w->VisibleWindow(bad, &on, &b), S_OK);
        EXPECT_EQ(b, VARIANT_TRUE) << bad;
        ASSERT_EQ(w->Childs_EnableAll(bad, &on, &b), S_OK);
        EXPECT_EQ(b, VARIANT_TRUE) << bad;
    }
}

TEST_F(WindowTest, TextIsExactlyWhatTheWindowReports) {
    TestWindow titled(L"Grüße, €uro"), untitled(L"");
    EXPECT_EQ(text(titled.get()), L"Grüße, €uro");
    EXPECT_EQ(text(untitled.get()), L"");
    // A window that announces more than it copies: no padding comes back.
    TestWindow boaster(L"kurz");
    boaster.behaviour.overstate_length = 5;
    EXPECT_EQ(text(boaster.get()), L"kurz");
    std::wstring long_title(300, L'x');
    long_title += L"ende";
    SetWindowTextW(boaster.get(), long_title.c_str());
    EXPECT_EQ(text(boaster.get()), long_title);

    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(w->Set_Text(titled.id(), Bstr(L"Neu").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(window_text_of(titled.get()), L"Neu");
    ASSERT_EQ(w->Set_Text(0, Bstr(L"x").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(WindowTest, PositionStateAndVisibility) {
    TestWindow top(L"QM place", L"QmTestWin", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 70, 80, 300, 200);
    RECT r;
    GetWindowRect(top.get(), &r);
    CONTROLPOSITION pos{};
    ASSERT_EQ(w->Get_Pos(top.id(), &pos), S_OK);
    EXPECT_EQ(pos.Left, r.left);
    EXPECT_EQ(pos.Top, r.top);
    EXPECT_EQ(pos.Right, r.right);
    EXPECT_EQ(pos.Bottom, r.bottom);
    ASSERT_EQ(w->Get_Pos(0, &pos), S_OK);
    EXPECT_EQ(pos.Left | pos.Top | pos.Right | pos.Bottom, 0);

    POINT origin{0, 0};
    ClientToScreen(top.get(), &origin);
    Position gp{};
    ASSERT_EQ(w->Get_GlobalPosition(top.id(), &gp), S_OK);
    EXPECT_EQ(gp.X, origin.x);
    EXPECT_EQ(gp.Y, origin.y);

    // Set_Pos takes Top before Left and keeps the size.
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(w->Set_Pos(top.id(), 120, 90, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    RECT moved;
    GetWindowRect(top.get(), &moved);
    EXPECT_EQ(moved.left, 90);
    EXPECT_EQ(moved.top, 120);
    EXPECT_EQ(moved.right - moved.left, r.right - r.left);
    EXPECT_EQ(moved.bottom - moved.top, r.bottom - r.top);

    long state = 0;
    ASSERT_EQ(w->Get_WindowState(top.id(), &state), S_OK);
    EXPECT_EQ(state, 1);
    ASSERT_EQ(w->Set_WindowState(top.id(), 3), S_OK);
    EXPECT_TRUE(IsZoomed(top.get()));
    ASSERT_EQ(w->Get_WindowState(top.id(), &state), S_OK);
    EXPECT_EQ(state, 3);
    ASSERT_EQ(w->Set_WindowState(top.id(), 1), S_OK);
    EXPECT_FALSE(IsZoomed(top.get()));
    ASSERT_EQ(w->Set_WindowState(top.id(), 2), S_OK);
    EXPECT_TRUE(IsIconic(top.get()));
    ASSERT_EQ(w->Get_WindowState(top.id(), &state), S_OK);
    EXPECT_EQ(state, 2);
    ASSERT_EQ(w->Set_WindowState(top.id(), 1), S_OK);
    EXPECT_FALSE(IsIconic(top.get()));
    ASSERT_EQ(w->Get_WindowState(top.id(), &state), S_OK);
    EXPECT_EQ(state, 1);
    ASSERT_EQ(w->Get_WindowState(0, &state), S_OK);
    EXPECT_EQ(state, -1);

    VARIANT_BOOL hide = VARIANT_FALSE, b = VARIANT_TRUE;
    ASSERT_EQ(w->VisibleWindow(top.id(), &hide, &ok), S_OK);
    EXPECT_FALSE(IsWindowVisible(top.get()));
    ASSERT_EQ(w->isWindowVisible(top.id(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);
    ASSERT_EQ(w->VisibleWindow(top.id(), nullptr, &ok), S_OK);  // the default shows it
    EXPECT_TRUE(IsWindowVisible(top.get()));

    VARIANT_BOOL disable = VARIANT_FALSE, enable = VARIANT_TRUE;
    ASSERT_EQ(w->EnableWindow(top.id(), &disable), S_OK);
    EXPECT_FALSE(IsWindowEnabled(top.get()));
    ASSERT_EQ(w->IsWindowEnabled(top.id(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);
    ASSERT_EQ(w->EnableWindow(top.id(), &enable), S_OK);
    EXPECT_TRUE(IsWindowEnabled(top.get()));
}

// A place beyond the system's coordinates fails before the window is moved.
TEST_F(WindowTest, SetPosRefusesPlacesBeyondAnyScreen) {
    TestWindow top(L"QM beyond", L"QmTestWin", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 70, 80, 300, 200);
    RECT before{}, after{};
    GetWindowRect(top.get(), &before);
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX})
        for (auto [t, l] : {std::pair{beyond, 10L}, std::pair{10L, beyond}}) {
            VARIANT_BOOL ok = VARIANT_TRUE;
            ASSERT_EQ(w->Set_Pos(top.id(), t, l, &ok), S_OK);
            EXPECT_EQ(ok, VARIANT_FALSE) << beyond;
            GetWindowRect(top.get(), &after);
            EXPECT_TRUE(EqualRect(&before, &after)) << beyond;
        }
}

TEST_F(WindowTest, WindowInfoOfAnotherProgramsWindowAndOfNoWindow) {
    Helper helper(L"Info");
    ASSERT_TRUE(helper.main());
    QM_WINDOWINFO info{};
    ASSERT_EQ(w->Get_WindowInfo(L(helper.main()), &info), S_OK);
    EXPECT_EQ(H(info.hwnd), helper.main());
    EXPECT_EQ(_wcsicmp(info.EXENAME, L"qmwindows.exe"), 0);
    EXPECT_EQ(Bstr::view_of(info.Text), L"QM Main Info");
    EXPECT_EQ(Bstr::view_of(info.Class), L"QmWinMain");
    EXPECT_EQ(info.TaskID, static_cast<long>(helper.pid()));
    EXPECT_EQ(info.ThreadID, static_cast<long>(GetWindowThreadProcessId(helper.main(), nullptr)));
    EXPECT_EQ(info.Enabled, VARIANT_TRUE);
    EXPECT_EQ(info.Visible, VARIANT_TRUE);
    EXPECT_EQ(H(info.Parent), helper.main());  // a program's own top-level window is its own parent
    EXPECT_EQ(H(info.TopParent), helper.main());
    RECT r;
    GetWindowRect(helper.main(), &r);
    EXPECT_EQ(info.POS.Left, r.left);
    EXPECT_EQ(info.POS.Bottom, r.bottom);
    EXPECT_EQ(info.WINDOWSTATE, 1);
    EXPECT_EQ(info.Transparenz, 0);
    EXPECT_EQ(info.isOnTop, VARIANT_FALSE);
    EXPECT_EQ(info.Buttons.sbiCLOSEBUTTONISVISIBLE, VARIANT_TRUE);
    EXPECT_EQ(info.Buttons.sbiMAXBUTTONISENABLED, VARIANT_TRUE);
    EXPECT_EQ(info.Buttons.sbiMINBUTTONISENABLED, VARIANT_TRUE);
    EXPECT_EQ(info.MenuHwnd, 0);
    EXPECT_EQ(info.SysMenuHwnd, static_cast<long>(reinterpret_cast<LONG_PTR>(GetSystemMenu(helper.main(), FALSE))));
    SysFreeString(info.EXENAME);
    SysFreeString(info.Text);
    SysFreeString(info.Class);

    // Through the dispatcher the record arrives whole.
    Variant result, arg = v_long(0);
    ASSERT_EQ(call(disp.get(), L"Get_WindowInfo", {arg.get()}, result.put()), S_OK);
    ASSERT_EQ(V_VT(result.get()), VT_RECORD);
    auto* none = static_cast<QM_WINDOWINFO*>(V_RECORD(result.get()));
    EXPECT_EQ(SysStringLen(none->EXENAME), 0u);
    EXPECT_EQ(SysStringLen(none->Text), 0u);
    EXPECT_EQ(SysStringLen(none->Class), 0u);
    EXPECT_EQ(none->WINDOWSTATE, -1);
    EXPECT_EQ(none->Parent, 0);
    EXPECT_EQ(none->TaskID, 0);
}

TEST_F(WindowTest, MenuHandlesAndStandardButtons) {
    TestWindow plain(L"QM buttons", L"QmTestWin", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 100, L"&Datei");
    SetMenu(plain.get(), bar);
    ComPtr<IDispatch> menu = create(L"Quillmark.Menu");
    ComPtr<IDispatch> forms = create(L"Quillmark.Forms");
    ASSERT_TRUE(menu && forms);
    Variant result, arg = v_long(plain.id());
    ASSERT_EQ(call(menu.get(), L"Get_MenuHwnd", {arg.get()}, result.put()), S_OK);
    EXPECT_EQ(V_I4(result.get()), static_cast<long>(reinterpret_cast<LONG_PTR>(bar)));
    ASSERT_EQ(call(menu.get(), L"Get_SystemMenuHwnd", {arg.get()}, result.put()), S_OK);
    EXPECT_EQ(V_I4(result.get()), static_cast<long>(reinterpret_cast<LONG_PTR>(GetSystemMenu(plain.get(), FALSE))));

    VARIANT ref = v_ref(arg);
    ASSERT_EQ(call(forms.get(), L"StandardButton", {&ref}, result.put()), S_OK);
    ASSERT_EQ(V_VT(result.get()), VT_RECORD);
    auto* buttons = static_cast<STANDARDBUTTONINFO*>(V_RECORD(result.get()));
    EXPECT_EQ(buttons->sbiCLOSEBUTTONISVISIBLE, VARIANT_TRUE);
    EXPECT_EQ(buttons->sbiMAXBUTTONISENABLED, VARIANT_FALSE);
    EXPECT_EQ(buttons->sbiMINBUTTONISENABLED, VARIANT_TRUE);
    Variant none = v_long(0);
    VARIANT none_ref = v_ref(none);
    ASSERT_EQ(call(forms.get(), L"StandardButton", {&none_ref}, result.put()), S_OK);
    buttons = static_cast<STANDARDBUTTONINFO*>(V_RECORD(result.get()));
    EXPECT_EQ(buttons->sbiCLOSEBUTTONISVISIBLE | buttons->sbiMAXBUTTONISENABLED | buttons->sbiMINBUTTONISENABLED, 0);
}

TEST_F(WindowTest, FocusIsReadWithoutLeavingThreadsAttached) {
    TestWindow top(L"QM focus");
    HWND edit = top.child(L"EDIT", L"");
    HWND button = top.child(L"BUTTON", L"b");
    // The activation reaches the window later and gives the focus to the window
    // itself: the edit box takes it once the activation is through.
    for (int i = 0; i < 20 && GetFocus() != edit; ++i) {
        SetForegroundWindow(top.get());
        pump();
        SetFocus(edit);
        pump();
    }
    ASSERT_EQ(GetFocus(), edit) << "the window was not activated";
    long focus = 0, previous = 0;
    ASSERT_EQ(w->Get_Focus(top.id(), &focus), S_OK);
    EXPECT_EQ(H(focus), edit);
    long e = L(edit);
    VARIANT_BOOL has = VARIANT_FALSE;
    ASSERT_EQ(w->HasFocus(&e, &has), S_OK);
    EXPECT_EQ(has, VARIANT_TRUE);

    ASSERT_EQ(w->Set_Focus(L(button), &previous), S_OK);
    EXPECT_EQ(H(previous), edit);
    EXPECT_EQ(GetFocus(), button);

    // Reading the focus of another program's window joins the two input states
    // only for the reading.
    Helper helper(L"Focus");
    ASSERT_TRUE(helper.main());
    SetForegroundWindow(top.get());
    pump();
    DWORD fg = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD other = GetWindowThreadProcessId(helper.main(), nullptr);
    ASSERT_NE(fg, other);
    ASSERT_EQ(w->Get_Focus(L(helper.main()), &focus), S_OK);
    EXPECT_FALSE(AttachThreadInput(fg, other, FALSE));
}

// The active window is the calling thread's own; the foreground window may be
// another program's.
TEST_F(WindowTest, ActiveAndForegroundWindowsAndTheirPrograms) {
    TestWindow top(L"QM active");
    HWND edit = top.child(L"EDIT", L"");
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::wstring own_path = own, own_name = own_path.substr(own_path.find_last_of(L'\\') + 1);
    VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
    auto active_exe = [&](VARIANT_BOOL* full) {
        Bstr r;
        EXPECT_EQ(w->Get_ActiveWindowExeName(full, r.put()), S_OK);
        return r.str();
    };
    auto focus_exe = [&](long hwnd, VARIANT_BOOL* full) {
        Bstr r;
        EXPECT_EQ(w->ActiveEXE(hwnd, full, r.put()), S_OK);
        return r.str();
    };
    auto window = [&](auto member) {
        long r = 0;
        EXPECT_EQ((w.get()->*member)(&r), S_OK);
        return H(r);
    };
    // The answers count only while the window held the foreground throughout:
    // another program on the shared display may take it meanwhile.
    auto holding = [&](HWND want, auto&& read) {
        for (int attempt = 0; attempt < 20; ++attempt, Sleep(50)) {
            SetForegroundWindow(want);
            if (want == top.get()) SetFocus(edit);
            pump();
            if (GetForegroundWindow() != want) continue;
            read();
            if (GetForegroundWindow() == want) return true;
        }
        return false;
    };
    HWND active = nullptr, foreground = nullptr;
    Bstr title;
    std::wstring names[4];
    ASSERT_TRUE(holding(top.get(), [&] {
        active = window(&_Window::Get_ActiveWindow);
        foreground = window(&_Window::Get_ForegroundWindow);
        EXPECT_EQ(w->Get_ActiveWindowTitle(title.put()), S_OK);
        names[0] = active_exe(nullptr), names[1] = active_exe(&yes);
        names[2] = focus_exe(top.id(), nullptr), names[3] = focus_exe(top.id(), &no);
    })) << "the test's own window never kept the foreground";
    EXPECT_EQ(active, top.get());
    EXPECT_EQ(foreground, top.get());
    EXPECT_EQ(title.str(), L"QM active");
    EXPECT_EQ(_wcsicmp(names[0].c_str(), own_name.c_str()), 0);
    EXPECT_EQ(_wcsicmp(names[1].c_str(), own_path.c_str()), 0);
    // The program of the window with the focus in the window's input context: the full path unless asked otherwise.
    EXPECT_EQ(_wcsicmp(names[2].c_str(), own_path.c_str()), 0);
    EXPECT_EQ(_wcsicmp(names[3].c_str(), own_name.c_str()), 0);

    Helper helper(L"Active");
    ASSERT_TRUE(helper.main());
    ASSERT_TRUE(holding(helper.main(), [&] {
        active = window(&_Window::Get_ActiveWindow);
        foreground = window(&_Window::Get_ForegroundWindow);
        names[0] = active_exe(nullptr);
    })) << "the other program's window never kept the foreground";
    EXPECT_EQ(foreground, helper.main());
    EXPECT_NE(active, helper.main());
    EXPECT_NE(_wcsicmp(names[0].c_str(), L"qmwindows.exe"), 0);
}

// --- actions --------------------------------------------------------------------------

BYTE alpha_of(HWND h) {
    BYTE a = 0;
    COLORREF key;
    DWORD flags;
    GetLayeredWindowAttributes(h, &key, &a, &flags);
    return a;
}
bool layered(HWND h) { return GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYERED; }

TEST_F(WindowTest, TransparencyStaysLayeredBelowOpaque) {
    TestWindow top(L"QM alpha");
    BYTE a = 99;
    ASSERT_EQ(w->Get_Transparenz(top.id(), &a), S_OK);
    EXPECT_EQ(a, 0);  // not layered
    ASSERT_EQ(w->Set_Transparenz(top.id(), 128), S_OK);
    EXPECT_TRUE(layered(top.get()));
    EXPECT_EQ(alpha_of(top.get()), 128);
    ASSERT_EQ(w->Get_Transparenz(top.id(), &a), S_OK);
    EXPECT_EQ(a, 128);
    ASSERT_EQ(w->Set_Transparenz(top.id(), 255), S_OK);
    EXPECT_TRUE(layered(top.get()));
    EXPECT_EQ(alpha_of(top.get()), 254);
    // The module procedure itself makes the window opaque at 255.
    qm::Set_WindowTransparency(top.get(), 255);
    EXPECT_FALSE(layered(top.get()));
}

TEST_F(WindowTest, FadeStepsToTheLastValueThatDoesNotOvershoot) {
    TestWindow top(L"QM fade");
    short step = 5, speed = 0;
    VARIANT_BOOL current = VARIANT_FALSE;
    ASSERT_EQ(w->tFade(top.id(), 250, 255, &current, &step, &speed), S_OK);
    EXPECT_FALSE(layered(top.get()));  // 255 reached exactly: opaque
    EXPECT_EQ(step, 5);

    ASSERT_EQ(w->tFade(top.id(), 255, 0, &current, &step, &speed), S_OK);
    EXPECT_TRUE(layered(top.get()));
    EXPECT_EQ(alpha_of(top.get()), 4);  // 254, 249, ... 4
    EXPECT_EQ(step, -5);                // negated in the caller's variable

    // From the current value (4) up to 100 in steps of 5: 4, 9, ... 99.
    current = VARIANT_TRUE;
    step = 5;
    ASSERT_EQ(w->tFade(top.id(), 0, 100, &current, &step, &speed), S_OK);
    EXPECT_EQ(alpha_of(top.get()), 99);

    // A step of 0 would never arrive; Speed x 1000 beyond the 16-bit range overflows.
    step = 0;
    EXPECT_EQ(w->tFade(top.id(), 0, 100, nullptr, &step, &speed), static_cast<HRESULT>(0x800A0005));
    step = 5;
    speed = 33;
    EXPECT_EQ(w->tFade(top.id(), 0, 100, nullptr, &step, &speed), static_cast<HRESULT>(0x800A0006));
    EXPECT_EQ(alpha_of(top.get()), 99);  // nothing changed

    // The defaults (step 5, speed 3) through the dispatcher.
    Variant h = v_long(top.id()), from = v_long(10), to = v_long(20), result;
    ASSERT_EQ(call(disp.get(), L"tFade", {h.get(), from.get(), to.get()}, result.put()), S_OK);
    EXPECT_EQ(alpha_of(top.get()), 20);
}

TEST_F(WindowTest, StayOnTopAndParent) {
    TestWindow top(L"QM top"), other(L"QM other");
    VARIANT_BOOL ok = VARIANT_FALSE, remove = VARIANT_TRUE;
    ASSERT_EQ(w->StayOnTop(top.id(), nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(GetWindowLongPtrW(top.get(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_EQ(w->StayOnTop(top.id(), &remove, &ok), S_OK);
    EXPECT_FALSE(GetWindowLongPtrW(top.get(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    HWND edit = top.child(L"EDIT", L"wandert");
    ASSERT_EQ(w->Set_Parent(L(edit), other.id(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(GetParent(edit), other.get());
    ASSERT_EQ(w->Set_Parent(0, other.id(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(WindowTest, KeysClicksAndRedrawLock) {
    TestWindow top(L"QM keys");
    HWND edit = top.child(L"EDIT", L"");
    ASSERT_EQ(w->SendKeys(L(edit), Bstr(L"Grüße €1").get()), S_OK);
    EXPECT_EQ(window_text_of(edit), L"Grüße €1");
    ASSERT_EQ(w->SendKeys(L(edit), Bstr(L"").get()), S_OK);
    EXPECT_EQ(window_text_of(edit), L"Grüße €1");

    ASSERT_EQ(w->Click(top.id()), S_OK);
    EXPECT_EQ(top.behaviour.downs, 1);
    EXPECT_EQ(top.behaviour.ups, 1);

    // True locks: the window stops redrawing (the system clears its visible bit meanwhile).
    VARIANT_BOOL lock = VARIANT_TRUE, unlock = VARIANT_FALSE;
    ASSERT_EQ(w->LockWindowUpdate(top.id(), &lock), S_OK);
    EXPECT_FALSE(GetWindowLongPtrW(top.get(), GWL_STYLE) & WS_VISIBLE);
    ASSERT_EQ(w->LockWindowUpdate(top.id(), &unlock), S_OK);
    EXPECT_TRUE(GetWindowLongPtrW(top.get(), GWL_STYLE) & WS_VISIBLE);

    long flashed = 0, count = 2;
    EXPECT_EQ(w->FlashWindow(top.id(), &count, &flashed), S_OK);
}

TEST_F(WindowTest, CloseAsksOnceAndReportsWhetherTheWindowWent) {
    TestWindow stubborn(L"QM stubborn"), willing(L"QM willing");
    stubborn.behaviour.refuse_close = true;
    VARIANT_BOOL closed = VARIANT_TRUE;
    ASSERT_EQ(w->CloseWindow(stubborn.id(), &closed), S_OK);
    pump();
    EXPECT_EQ(closed, VARIANT_FALSE);
    EXPECT_TRUE(IsWindow(stubborn.get()));
    EXPECT_EQ(stubborn.behaviour.closes, 1);

    ASSERT_EQ(w->CloseWindow(willing.id(), &closed), S_OK);
    EXPECT_EQ(closed, VARIANT_TRUE);
    EXPECT_FALSE(IsWindow(willing.get()));
    ASSERT_EQ(w->CloseWindow(0, &closed), S_OK);
    EXPECT_EQ(closed, VARIANT_FALSE);

    Helper helper(L"Close");
    ASSERT_TRUE(helper.main());
    ASSERT_EQ(w->CloseWindow(L(helper.main()), &closed), S_OK);
    EXPECT_EQ(closed, VARIANT_TRUE);
    EXPECT_EQ(helper.wait_exit(), 0u);
}

// Another program's window that runs a modal loop on the button-down (a menu)
// does not hold the caller: Click returns with the loop still open.
TEST_F(WindowTest, ClickReturnsWhileAnotherProgramsMenuLoopRuns) {
    Helper helper(L"Menu", L"menu");
    ASSERT_TRUE(helper.main());
    ASSERT_EQ(w->Click(L(helper.main())), S_OK);
    EXPECT_EQ(text(helper.main()), L"modal");
    PostMessageW(helper.main(), WM_APP + 2, 0, 0);
    for (int i = 0; i < 200 && text(helper.main()) != L"closed"; ++i) Sleep(10);
    EXPECT_EQ(text(helper.main()), L"closed");
}

TEST_F(WindowTest, AHungProgramDoesNotHoldTheCallerAndCanBeEnded) {
    Helper helper(L"Hung");
    ASSERT_TRUE(helper.main());
    const long main = L(helper.main());
    PostMessageW(helper.main(), WM_APP + 1, 0, 0);
    Sleep(200);
    EXPECT_EQ(text(helper.main()), L"");
    // Input and requests give up on it; it is still hung afterwards (Set_Text).
    VARIANT_BOOL ok = VARIANT_TRUE, lock = VARIANT_TRUE;
    EXPECT_EQ(w->Click(main), S_OK);
    EXPECT_EQ(w->SendKeys(main, Bstr(L"abc").get()), S_OK);
    EXPECT_EQ(w->LockWindowUpdate(main, &lock), S_OK);
    ASSERT_EQ(w->CloseWindow(main, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    // The system's own calls that change another thread's window wait for it:
    // the members leave a hung window alone.
    VARIANT_BOOL no = VARIANT_FALSE;
    struct Change {
        std::function<HRESULT(VARIANT_BOOL*)> call;
        VARIANT_BOOL result;  // True also for the members without one
    } changes[] = {
        {[&](VARIANT_BOOL* r) { return w->Set_Pos(main, 10, 10, r); }, VARIANT_FALSE},
        {[&](VARIANT_BOOL* r) { return w->StayOnTop(main, nullptr, r); }, VARIANT_FALSE},
        {[&](VARIANT_BOOL* r) { return w->Set_Parent(main, 0, r); }, VARIANT_FALSE},
        {[&](VARIANT_BOOL* r) { return w->VisibleWindow(main, &no, r); }, VARIANT_TRUE},
        {[&](VARIANT_BOOL* r) { return w->Childs_VisibleAll(main, &no, r); }, VARIANT_TRUE},
        {[&](VARIANT_BOOL* r) { return w->Childs_EnableAll(main, &no, r); }, VARIANT_TRUE},
        {[&](VARIANT_BOOL*) { return w->EnableWindow(main, &no); }, VARIANT_TRUE},
        {[&](VARIANT_BOOL*) { return w->Set_WindowState(main, SW_MINIMIZE); }, VARIANT_TRUE},
        {[&](VARIANT_BOOL*) { return w->Set_Transparenz(main, 100); }, VARIANT_TRUE},
    };
    for (const Change& c : changes) {
        ok = VARIANT_TRUE;
        EXPECT_EQ(c.call(&ok), S_OK);
        EXPECT_EQ(ok, c.result);
    }
    EXPECT_TRUE(IsWindowVisible(H(main)) && IsWindowEnabled(H(main)));
    EXPECT_FALSE(GetWindowLongPtrW(H(main), GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_LAYERED));
    ok = VARIANT_TRUE;
    ASSERT_EQ(w->Set_Text(main, Bstr(L"x").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);

    ASSERT_EQ(w->TerminateThread(main, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(helper.wait_exit(), 1u);

    // A process without windows (any more).
    long pid = static_cast<long>(helper.pid()), top = 0;
    SAFEARRAY* sa = nullptr;
    for (int i = 0; i < 100 && IsWindow(H(main)); ++i) Sleep(20);
    ASSERT_EQ(w->TaskIDtoHwnd(&pid, &top), S_OK);
    EXPECT_EQ(top, -1);
    ASSERT_EQ(w->PID_GetHwnds(pid, &sa), S_OK);
    EXPECT_EQ(sa, nullptr);
}

TEST_F(WindowTest, SnapShotCapturesTheWholeWindow) {
    TestWindow red(L"QM red", L"QmTestRed", WS_POPUP | WS_VISIBLE, nullptr, 100, 100, 64, 48);
    SetWindowPos(red.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    UpdateWindow(red.get());
    pump();
    long error = -1;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(w->SnapShot(red.id(), &error, picture.put()), S_OK);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(picture);
    ComPtr<IPicture> pic = picture.query<IPicture>();
    ASSERT_TRUE(pic);
    SHORT type = 0;
    pic->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    OLE_HANDLE handle = 0;
    pic->get_Handle(&handle);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 64);
    EXPECT_EQ(bm.bmHeight, 48);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
    EXPECT_EQ(GetPixel(dc, 32, 24) & 0xFFFFFF, RGB(255, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);

    // No window: no picture, and the error number says why.
    ASSERT_EQ(w->SnapShot(0x7ffffff0, &error, picture.put()), S_OK);
    EXPECT_FALSE(picture);
    EXPECT_EQ(error, 481);
}

TEST_F(WindowTest, CaptureFormSizesItsPictureBoxToTheWindow) {
    TestWindow red(L"QM red", L"QmTestRed", WS_POPUP | WS_VISIBLE, nullptr, 100, 100, 240, 90);
    pump();
    ComPtr<qm::FrmTMP> form = qm::forms::make<qm::FrmTMP>();
    form->load();
    EXPECT_FALSE(form->visible());
    EXPECT_EQ(form->get<qm::forms::Label>(L"lblDir").caption(), L"%Dir%");
    EXPECT_EQ(V_VT(form->field(L"DesktopText").get()), VT_BSTR);
    ComPtr<IPictureDisp> picture = form->GetWindowHwnd(red.id());
    ASSERT_TRUE(picture);
    auto& pic = form->get<qm::forms::PictureBox>(L"PicTMP");
    EXPECT_FLOAT_EQ(pic.left(), 0);
    EXPECT_FLOAT_EQ(pic.top(), 0);
    EXPECT_FLOAT_EQ(pic.width(), 240 * qm::forms::twips_per_pixel_x());
    EXPECT_FLOAT_EQ(pic.height(), 90 * qm::forms::twips_per_pixel_y());
    EXPECT_FLOAT_EQ(form->width(), pic.width());
    EXPECT_TRUE(pic.surface()->picture().get() == picture.get());
    EXPECT_THROW(form->GetWindowHwnd(0), qm::RuntimeError);
    form->unload();
}

TEST_F(WindowTest, TrayToolbarIsTheNotificationAreasToolbarOrNothing) {
    // This system's taskbar has no notification toolbar the library knows: 0.
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    HWND notify = tray ? FindWindowExW(tray, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
    long toolbar = qm::Get_TrayToolbarHwnd();
    if (!notify) {
        EXPECT_EQ(toolbar, 0);
    } else if (toolbar) {
        EXPECT_TRUE(IsChild(notify, H(toolbar)) || H(toolbar) == notify);
    }
    // The choice per system, on a taskbar of the test's own: notification
    // window, pager and toolbar (the version codes of System.Get_WinVer).
    TestWindow bar(L"QM tray", L"QmTestWin", WS_POPUP);
    for (const wchar_t* cls : {L"TrayNotifyWnd", L"SysPager", L"ToolbarWindow32"}) register_test_class(cls);
    HWND notify_own = bar.child(L"TrayNotifyWnd", L"");
    HWND pager = bar.child(L"SysPager", L"", notify_own);
    HWND icons = bar.child(L"ToolbarWindow32", L"", pager);
    const struct {
        long version;
        bool nt;
        HWND expected;
    } cases[] = {{osWindows98, false, notify_own}, {osUNKNOWN, false, notify_own}, {osWindowsMillenium, false, nullptr},
                 {osWindows2000, true, icons},     {osWindowsXP, true, icons},     {osWindows2003, true, icons},
                 {osWindowsNT40, true, nullptr},   {osWindows7, true, nullptr}};
    for (const auto& c : cases) EXPECT_EQ(qm::tray_toolbar(bar.get(), c.version, c.nt), c.expected) << c.version;
    EXPECT_EQ(qm::tray_toolbar(nullptr, osWindows98, false), nullptr);
    DestroyWindow(pager);  // no pager: nothing on NT 5.x
    EXPECT_EQ(qm::tray_toolbar(bar.get(), osWindowsXP, true), nullptr);
}

TEST_F(WindowTest, VisualStyleSwitch) {
    TestWindow top(L"QM style");
    long id = top.id();
    VARIANT_BOOL ok = VARIANT_FALSE, apply = VARIANT_FALSE;
    ASSERT_EQ(w->Set_XPstyle(&id, &apply, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);  // the system's theme library is there
    ASSERT_EQ(w->Set_XPstyle(&id, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
}

}  // namespace
