// Forms: size limits and the pass-through procedure on the test's own forms and
// windows, title-bar style bits and the system menu.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <climits>

#include "frame/classes.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/module.h"
#include "support.h"
#include "windows/subclass.h"

using namespace qm;
using namespace qm::forms;
using namespace qmtest;

namespace {

// Counts WM_GETMINMAXINFO reaching it and any message of a window other than its own.
struct Probe {
    HWND own = nullptr;
    int minmax = 0, strangers = 0;
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        auto* p = reinterpret_cast<Probe*>(data);
        if (h != p->own) ++p->strangers;
        if (msg == WM_GETMINMAXINFO) ++p->minmax;
        return DefSubclassProc(h, msg, wp, lp);
    }
    void attach(HWND h) { own = h, SetWindowSubclass(h, proc, 77, reinterpret_cast<DWORD_PTR>(this)); }
};

LRESULT CALLBACK plain_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return msg == WM_APP + 7 ? 4711 : DefWindowProcW(h, msg, wp, lp);
}

HWND plain_window() {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = plain_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmRestrictPlain";
        return RegisterClassW(&wc);
    }();
    return CreateWindowExW(0, MAKEINTATOM(cls), L"Plain", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

MINMAXINFO ask(HWND h) {
    MINMAXINFO info{};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {9999, 9999};
    SendMessageW(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

class FormsRestrict : public testing::Test {
protected:
    void SetUp() override {
        find_class_by_interface(IID__Forms)->create(IID__Forms, forms.put_void());
        ASSERT_TRUE(forms);
        for (auto& f : frm) {
            f = make<Form>();
            f->set_name(L"Haupt");
            f->show();
        }
        pump_messages();
    }
    void TearDown() override {
        for (auto& f : frm)
            if (f->loaded()) f->unload();
        pump_messages();
    }
    void limit(Form* f, SIZEPAR sp) {
        IDispatch* d = f;
        ASSERT_EQ(forms->Form_LimitSize(&d, &sp), S_OK);
    }
    Variant handle(HWND h) { return Variant(static_cast<long>(reinterpret_cast<LONG_PTR>(h))); }
    ComPtr<_Forms> forms;
    ComPtr<Form> frm[2];
};

TEST_F(FormsRestrict, LimitsAnswerPerWindowAndOnlyInTheNormalState) {
    const long before = subclass::records(), locks = module_locks();
    Probe under[2];
    under[0].attach(frm[0]->hwnd()), under[1].attach(frm[1]->hwnd());
    limit(frm[0].get(), {200, 150, 800, 600});
    limit(frm[1].get(), {100, 100, 400, 300});
    limit(frm[0].get(), {210, 160, 810, 610});  // the same form again: new limits, no second record
    EXPECT_EQ(subclass::records(), before + 2);
    EXPECT_EQ(module_locks(), locks + 2);

    MINMAXINFO a = ask(frm[0]->hwnd()), b = ask(frm[1]->hwnd());
    EXPECT_EQ(a.ptMinTrackSize.x, 210);
    EXPECT_EQ(a.ptMinTrackSize.y, 160);
    EXPECT_EQ(a.ptMaxTrackSize.x, 810);
    EXPECT_EQ(a.ptMaxTrackSize.y, 610);
    EXPECT_EQ(a.ptMaxSize.x, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(a.ptMaxSize.y, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(a.ptMaxPosition.x, 0);
    EXPECT_EQ(a.ptMaxPosition.y, 0);
    EXPECT_EQ(b.ptMinTrackSize.x, 100);
    EXPECT_EQ(b.ptMaxTrackSize.y, 300);
    EXPECT_EQ(under[0].minmax, 0);  // answered by the limits, not passed on

    ShowWindow(frm[0]->hwnd(), SW_MAXIMIZE);
    pump_messages();
    under[0].minmax = 0;
    a = ask(frm[0]->hwnd());
    EXPECT_EQ(under[0].minmax, 1);  // passed on once: one hook
    EXPECT_NE(a.ptMaxTrackSize.x, 810);
    EXPECT_EQ(under[0].strangers + under[1].strangers, 0);

    // The windows' end takes the records and locks away, whether or not the client
    // still holds the form.
    IDispatch* held = frm[1].get();
    held->AddRef();
    frm[0]->unload();
    frm[1]->unload();
    pump_messages();
    EXPECT_EQ(subclass::records(), before);
    EXPECT_EQ(module_locks(), locks);
    held->Release();
}

// Limits no window can have reach the caller as 380; nothing is installed.
TEST_F(FormsRestrict, LimitsBeyondAnyScreenAreRefused) {
    const long before = subclass::records();
    for (long beyond : {1000000L, LONG_MAX, -LONG_MAX})
        for (SIZEPAR sp : {SIZEPAR{beyond, 100, 800, 600}, SIZEPAR{100, 100, 800, beyond}}) {
            IDispatch* d = frm[0].get();
            EXPECT_EQ(HRESULT_CODE(forms->Form_LimitSize(&d, &sp)), 380) << beyond;
        }
    EXPECT_EQ(subclass::records(), before);
}

TEST_F(FormsRestrict, PassThroughLeavesTheAnswersAndGoesWithTheWindow) {
    const long before = subclass::records();
    HWND plain = plain_window();
    Variant h = handle(plain);
    ASSERT_EQ(forms->MinMaxDeaktivat(h.get()), S_OK);
    Variant f = var(static_cast<IDispatch*>(frm[0].get()));
    ASSERT_EQ(forms->MinMaxDeaktivat(f.get()), S_OK);
    EXPECT_EQ(subclass::records(), before + 2);
    HMENU sys = GetSystemMenu(frm[0]->hwnd(), FALSE);
    EXPECT_EQ(GetMenuState(sys, SC_MINIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(sys, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(SendMessageW(plain, WM_APP + 7, 0, 0), 4711);
    Probe above;
    above.attach(plain);  // a later subclass than ours
    DestroyWindow(plain);
    frm[0]->unload();
    pump_messages();
    EXPECT_EQ(subclass::records(), before);
    // Another thread's window is left alone.
    HWND desktop = GetDesktopWindow();
    Variant d = handle(desktop);
    ASSERT_EQ(forms->MinMaxDeaktivat(d.get()), S_OK);
    EXPECT_EQ(subclass::records(), before);
}

TEST_F(FormsRestrict, StyleBitsAndSystemMenu) {
    HWND w = frm[0]->hwnd();
    Variant f = var(static_cast<IDispatch*>(frm[0].get()));
    auto style = [&] { return GetWindowLongPtrW(w, GWL_STYLE); };
    for (int round = 0; round < 2; ++round) {  // twice gives the same style
        ASSERT_EQ(forms->MinMaxShow(f.get(), VARIANT_FALSE), S_OK);
        ASSERT_EQ(forms->CloseBox_Show(f.get(), VARIANT_FALSE), S_OK);
        ASSERT_EQ(forms->TitleBar_Show(f.get(), VARIANT_FALSE), S_OK);
        EXPECT_EQ(style() & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU | WS_CAPTION), WS_DLGFRAME);
    }
    STANDARDBUTTONINFO info{-1, -1, -1};
    ASSERT_EQ(forms->StandardButton(f.get(), &info), S_OK);
    EXPECT_FALSE(info.sbiCLOSEBUTTONISVISIBLE || info.sbiMAXBUTTONISENABLED || info.sbiMINBUTTONISENABLED);
    ASSERT_EQ(forms->MinMaxShow(f.get(), VARIANT_TRUE), S_OK);
    ASSERT_EQ(forms->CloseBox_Show(f.get(), VARIANT_TRUE), S_OK);
    ASSERT_EQ(forms->TitleBar_Show(f.get(), VARIANT_TRUE), S_OK);
    EXPECT_EQ(style() & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU | WS_CAPTION),
              WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU | WS_CAPTION);

    long r = 99;
    ASSERT_EQ(forms->RemoveSystemmenu(f.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(GetMenuItemCount(GetSystemMenu(w, FALSE)), 0);
    ASSERT_EQ(forms->RemoveSystemmenu(f.get(), &r), S_OK);
    EXPECT_EQ(r, -2);
    Variant none(0L);
    ASSERT_EQ(forms->RemoveSystemmenu(none.get(), &r), S_OK);
    EXPECT_EQ(r, -1);
}

// A plain window given by handle keeps the library loaded until it is gone.
TEST(FormsRestrictDll, StaysLoadedWhileAWindowIsSubclassed) {
    HMODULE dll = LoadLibraryW(registered_dll().c_str());
    ASSERT_TRUE(dll);
    auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll, "DllCanUnloadNow"));
    auto get_class = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(GetProcAddress(dll, "DllGetClassObject"));
    ASSERT_TRUE(can_unload && get_class);
    HWND plain = plain_window();
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(get_class(CLSID_Forms, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<_Forms> forms;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID__Forms, forms.put_void()), S_OK);
        Variant h(static_cast<long>(reinterpret_cast<LONG_PTR>(plain)));
        ASSERT_EQ(forms->MinMaxDeaktivat(h.get()), S_OK);
    }
    EXPECT_EQ(can_unload(), S_FALSE);
    DestroyWindow(plain);
    EXPECT_EQ(can_unload(), S_OK);
    FreeLibrary(dll);
}

}  // namespace
