// Hardware: keyboard, mouse and devices on the tests' own windows. The pointer,
// its clip rectangle and the button swap are put back by the fixture, also when
// an assertion fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "hardware_fixture.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"
#include "system/hardware.h"

using namespace qm;
using namespace qmtest;

namespace {

// Pumps the thread's messages for a moment so that input reaches the windows.
void settle(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
}

// Places the pointer and waits until it stays there: on a busy display a late
// report of the old position can move it back once.
bool place(POINT p) {
    const auto there = [&] {
        POINT at{};
        return GetCursorPos(&at) && at.x == p.x && at.y == p.y;
    };
    for (int attempt = 0; attempt < 20; ++attempt) {
        SetCursorPos(p.x, p.y);
        settle(1);
        if (!there()) continue;
        settle(3);
        if (there()) return true;
    }
    return false;
}

// A red top-level test window (with an optional child) that counts clicks and
// records the keys pressed on it and the monitor-power requests it gets without
// passing them on.
struct Recorder {
    static inline int left_clicks = 0, right_clicks = 0;
    static inline std::vector<LPARAM> power;
    static inline std::vector<WPARAM> keys;
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        switch (m) {
        case WM_KEYDOWN: keys.push_back(wp); return 0;
        case WM_LBUTTONDOWN: ++left_clicks; return 0;
        case WM_LBUTTONDBLCLK: ++left_clicks; return 0;
        case WM_RBUTTONDOWN: ++right_clicks; return 0;
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == SC_MONITORPOWER) {
                power.push_back(lp);
                return 0;
            }
            break;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(w, &r);
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            FillRect(reinterpret_cast<HDC>(wp), &r, red);
            DeleteObject(red);
            return 1;
        }
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window = nullptr;
    Recorder(int x, int y, int w, int h) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmHardwareTest";
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        RegisterClassW(&wc);
        window = CreateWindowExW(WS_EX_TOPMOST, L"QmHardwareTest", L"Red test window", WS_POPUP | WS_VISIBLE, x, y,
                                 w, h, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(window);
        UpdateWindow(window);
        settle();
        left_clicks = right_clicks = 0;
        power.clear();
        keys.clear();
    }
    ~Recorder() { DestroyWindow(window); }
    long handle() const { return static_cast<long>(reinterpret_cast<LONG_PTR>(window)); }
    POINT middle() const {
        RECT r;
        GetWindowRect(window, &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

class HardwareTest : public testing::Test {
protected:
    void SetUp() override { GetCursorPos(&saved_); }
    void TearDown() override {
        ClipCursor(nullptr);
        SwapMouseButton(FALSE);
        BlockInput(FALSE);
        SetCursorPos(saved_.x, saved_.y);
    }
    ComPtr<_Hardware> hw = hardware();
    POINT saved_{};
};

void key(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    settle(2);
}

long pressed(_Hardware* hw) {
    long code = -1;
    EXPECT_EQ(hw->Keyboard_GetPressedKey(&code), S_OK);
    return code;
}

bool is_pressed(_Hardware* hw, const Variant& k) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(hw->Keyboard_KeyIsPressed(*k.get(), &result), S_OK);
    return result != VARIANT_FALSE;
}

// Presses the key (releasing it first) until the test's focused window gets it:
// false when the system never delivered it in three tries.
bool delivered(_Hardware* hw, WORD vk) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        key(vk, false);
        while (pressed(hw) != 0) {
        }
        Recorder::keys.clear();
        key(vk, true);
        if (std::find(Recorder::keys.begin(), Recorder::keys.end(), vk) != Recorder::keys.end()) return true;
    }
    key(vk, false);
    return false;
}

}  // namespace

// Each of the 48 members sits at its slot of the interface.
TEST(HardwareSlots, MembersSitAtTheirSlots) {
    const wchar_t* const slots[] = {
        L"Printer_SetCommand", L"Printer_Default", L"Printer_List", L"Printer_Select",
        L"Printer_DeleteDocsFromQueue", L"Printer_isAvaible", L"COMport_Exist", L"COMport_ConfigureDialog",
        L"COMport_GetInstalledCOMPorts", L"Keyboard_CAPSisEnabled", L"Keyboard_NUMisEnabled",
        L"Keyboard_GetPressedKey", L"Keyboard_KeyIsPressed", L"CPU_Speed", L"CPU_Info", L"CPU_Load", L"CPU_Count",
        L"Joystick_isPresent", L"Joystick_Count", L"Joystick_GetInfo", L"Monitor_PowerDown", L"Mouse_Click",
        L"Mouse_SetPos", L"Mouse_Show", L"Mouse_hWndUnderCursor", L"Mouse_GetColorUnderCursor", L"Mouse_GetPos",
        L"Mouse_GetTextUnderCursor", L"Mouse_GetClassUnderCursor", L"Mouse_isCursorOverHwnd", L"Mouse_isUserClick",
        L"Mouse_isCursorOverControl", L"Mouse_BlockUserInput", L"Mouse_ButtonCount", L"Mouse_Button",
        L"Mouse_Center", L"Mouse_ClipCursor", L"Mouse_isMoving", L"Printer_ShowPageSetup",
        L"Printer_ShowPrinterDialog", L"Soundcard_Installed", L"PCspeaker", L"Monitor_StandBy",
        L"Mainboard_GetInfo", L"VideoAdapter_GetInfo", L"Printer_GetInfo", L"HD_GetTemperature",
        L"Mouse_SwapButton"};
    static_assert(std::size(slots) == 48);
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(registered_dll().c_str(), REGKIND_NONE, lib.put()), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__Hardware, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    const UINT count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    size_t own = 0;  // the members after those of IDispatch
    for (UINT f = 0; f < count; ++f) {
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(info->GetFuncDesc(f, &fd), S_OK);
        Bstr name;
        info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
        const int vtable = fd->oVft / static_cast<int>(sizeof(void*)) - 7;
        info->ReleaseFuncDesc(fd);
        if (vtable < 0) continue;
        ++own;
        ASSERT_LT(vtable, 48) << name.get();
        EXPECT_STREQ(name.get(), slots[vtable]) << "slot " << vtable;
    }
    EXPECT_EQ(own, std::size(slots));
}

TEST_F(HardwareTest, KeyboardReportsTheKeyPressedSinceTheLastQuery) {
    Recorder focus(100, 100, 50, 50);  // the keys go to a window of the test's own
    while (pressed(hw.get()) != 0) {
    }
    EXPECT_TRUE(is_pressed(hw.get(), Variant(0L)));  // nothing pressed: code 0
    EXPECT_FALSE(is_pressed(hw.get(), Variant(L"")));
    // Each press is judged once the window got it: a synthetic press that the
    // system never delivered is no verdict.
    const struct {
        WORD vk;
        const wchar_t* key;
    } cases[] = {{'A', L"A"}, {VK_RETURN, L"13"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vk);
        if (!delivered(hw.get(), c.vk)) GTEST_SKIP() << "no verdict: the window never got key " << c.vk;
        EXPECT_EQ(pressed(hw.get()), c.vk);
        EXPECT_EQ(pressed(hw.get()), 0);  // still held, no longer new
        if (!delivered(hw.get(), c.vk)) GTEST_SKIP() << "no verdict: the window never got key " << c.vk;
        EXPECT_TRUE(is_pressed(hw.get(), Variant(c.key)));
        EXPECT_FALSE(is_pressed(hw.get(), Variant(c.key)));  // reported once
        key(c.vk, false);
    }
}

TEST_F(HardwareTest, LockKeysCountOnlyWhileNotHeld) {
    struct Lock {
        WORD vk;
        HRESULT (STDMETHODCALLTYPE _Hardware::*member)(VARIANT_BOOL*);
    } locks[] = {{VK_CAPITAL, &_Hardware::Keyboard_CAPSisEnabled}, {VK_NUMLOCK, &_Hardware::Keyboard_NUMisEnabled}};
    for (const Lock& lock : locks) {
        SCOPED_TRACE(lock.vk);
        auto enabled = [&] {
            VARIANT_BOOL result = VARIANT_TRUE;
            EXPECT_EQ((hw.get()->*lock.member)(&result), S_OK);
            return result != VARIANT_FALSE;
        };
        const bool was_on = GetKeyState(lock.vk) & 1;
        if (!was_on) {
            key(lock.vk, true);
            key(lock.vk, false);
        }
        if (!(GetKeyState(lock.vk) & 1)) GTEST_SKIP() << "the lock key does not toggle here";
        key(lock.vk, true);
        EXPECT_FALSE(enabled());  // toggled but held down
        key(lock.vk, false);
        EXPECT_EQ(enabled(), (GetKeyState(lock.vk) & 1) != 0);
        if ((GetKeyState(lock.vk) & 1) != was_on) {  // back as it was
            key(lock.vk, true);
            key(lock.vk, false);
        }
    }
}

TEST_F(HardwareTest, WhatLiesUnderThePointer) {
    Recorder red(100, 100, 200, 150);
    HWND child = CreateWindowExW(0, L"BUTTON", L"child", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, red.window, nullptr,
                                 nullptr, nullptr);
    settle();
    ASSERT_TRUE(place(red.middle()));
    long handle = 0, colour = 0;
    EXPECT_EQ(hw->Mouse_hWndUnderCursor(&handle), S_OK);
    EXPECT_EQ(handle, red.handle());
    EXPECT_EQ(hw->Mouse_GetColorUnderCursor(&colour), S_OK);
    EXPECT_EQ(colour, 0x0000FF);
    Bstr text, name;
    EXPECT_EQ(hw->Mouse_GetTextUnderCursor(text.put()), S_OK);
    EXPECT_STREQ(text.get(), L"Red test window");
    EXPECT_EQ(hw->Mouse_GetClassUnderCursor(name.put()), S_OK);
    EXPECT_STREQ(name.get(), L"QmHardwareTest");
    Position at{};
    EXPECT_EQ(hw->Mouse_GetPos(&at), S_OK);
    EXPECT_EQ(at.X, red.middle().x);
    EXPECT_EQ(at.Y, red.middle().y);
    VARIANT_BOOL over = VARIANT_FALSE;
    EXPECT_EQ(hw->Mouse_isCursorOverHwnd(red.handle(), &over), S_OK);
    EXPECT_EQ(over, VARIANT_TRUE);
    ASSERT_TRUE(place({101, 101}));  // on the child: not its parent
    EXPECT_EQ(hw->Mouse_isCursorOverHwnd(red.handle(), &over), S_OK);
    EXPECT_EQ(over, VARIANT_FALSE);
    DestroyWindow(child);
}

TEST_F(HardwareTest, ClicksGoWhereThePointerStands) {
    Recorder red(100, 100, 200, 150);
    ASSERT_TRUE(place(red.middle()));
    struct Case {
        bool right, twice;
        int left_clicks, right_clicks;
    } cases[] = {{false, false, 1, 0}, {false, true, 2, 0}, {true, true, 0, 1}};
    for (const Case& c : cases) {
        Recorder::left_clicks = Recorder::right_clicks = 0;
        VARIANT_BOOL right = c.right ? VARIANT_TRUE : VARIANT_FALSE, twice = c.twice ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(hw->Mouse_Click(&right, &twice), S_OK);
        settle(10);
        EXPECT_EQ(Recorder::left_clicks, c.left_clicks) << c.right << c.twice;
        EXPECT_EQ(Recorder::right_clicks, c.right_clicks) << c.right << c.twice;
        Sleep(600);  // no double click across cases
    }
}

TEST_F(HardwareTest, MovingIsTrackedPerInstance) {
    ComPtr<_Hardware> other = hardware();
    ASSERT_TRUE(place({200, 200}));
    auto moving = [](_Hardware* h) {
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(h->Mouse_isMoving(&result), S_OK);
        return result != VARIANT_FALSE;
    };
    EXPECT_FALSE(moving(hw.get()));
    EXPECT_FALSE(moving(other.get()));
    ASSERT_TRUE(place({210, 205}));
    EXPECT_TRUE(moving(hw.get()));
    EXPECT_FALSE(moving(hw.get()));
    EXPECT_TRUE(moving(other.get()));  // its own last position
}

TEST_F(HardwareTest, ClipSwapAndCentre) {
    Recorder red(100, 100, 200, 150);
    long handle = red.handle();
    VARIANT_BOOL unclip = VARIANT_FALSE, ok = VARIANT_FALSE;
    EXPECT_EQ(hw->Mouse_ClipCursor(&handle, &unclip, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    RECT clip{}, window{};
    GetClipCursor(&clip);
    GetWindowRect(red.window, &window);
    EXPECT_TRUE(EqualRect(&clip, &window)) << clip.left << "," << clip.top << "," << clip.right << "," << clip.bottom
                                           << " against " << window.left << "," << window.top << "," << window.right
                                           << "," << window.bottom;
    unclip = VARIANT_TRUE;
    EXPECT_EQ(hw->Mouse_ClipCursor(&handle, &unclip, &ok), S_OK);
    GetClipCursor(&clip);
    EXPECT_EQ(clip.right - clip.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));

    long button = 0, count = -1;
    EXPECT_EQ(hw->Mouse_SwapButton(VARIANT_TRUE), S_OK);
    EXPECT_EQ(hw->Mouse_Button(&button), S_OK);
    EXPECT_EQ(button, 1);
    EXPECT_EQ(hw->Mouse_SwapButton(VARIANT_FALSE), S_OK);
    EXPECT_EQ(hw->Mouse_Button(&button), S_OK);
    EXPECT_EQ(button, 2);
    EXPECT_EQ(hw->Mouse_ButtonCount(&count), S_OK);
    EXPECT_EQ(count, GetSystemMetrics(SM_CMOUSEBUTTONS));

    // Halves round to even: 101 wide from 0 gives 50, 103 gives 52.
    for (auto [width, x] : {std::pair{101, 50}, std::pair{103, 52}}) {
        SetWindowPos(red.window, nullptr, 0, 0, width, width, SWP_NOZORDER | SWP_NOACTIVATE);
        long error = -1;
        EXPECT_EQ(hw->Mouse_Center(red.handle(), nullptr, &error, &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_TRUE);
        EXPECT_EQ(error, 0);
        // The display may report the pointer's earlier place for a moment.
        POINT at{};
        for (int i = 0; i < 50 && GetCursorPos(&at) && (at.x != x || at.y != x); ++i) settle(1);
        EXPECT_EQ(at.x, x);
        EXPECT_EQ(at.y, x);
    }
    long error = 0;
    IDispatch* none = nullptr;
    EXPECT_EQ(hw->Mouse_Center(0, &none, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_NE(error, 0);
    // An object with neither hWnd nor Parent: False, with the error.
    IDispatch* plain = hw.get();
    error = 0;
    ok = VARIANT_TRUE;
    EXPECT_EQ(hw->Mouse_isCursorOverControl(&plain, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(error, 438);

    // Wine's answer to BlockInput, pinned (it fails both ways); input is
    // unblocked again at once.
    VARIANT_BOOL block = VARIANT_TRUE, blocked = VARIANT_FALSE, unblocked = VARIANT_FALSE;
    EXPECT_EQ(hw->Mouse_BlockUserInput(&block, &blocked), S_OK);
    EXPECT_EQ(hw->Mouse_BlockUserInput(nullptr, &unblocked), S_OK);
    EXPECT_EQ(blocked, VARIANT_FALSE);
    EXPECT_EQ(unblocked, VARIANT_FALSE);
}

TEST_F(HardwareTest, PointerPlacedShownAndClickedByTheUser) {
    Recorder red(100, 100, 200, 150);
    VARIANT_BOOL ok = VARIANT_FALSE;
    for (POINT p : {POINT{150, 120}, POINT{260, 230}}) {
        EXPECT_EQ(hw->Mouse_SetPos(p.x, p.y, &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_TRUE);
        POINT at{};
        for (int i = 0; i < 50 && GetCursorPos(&at) && (at.x != p.x || at.y != p.y); ++i) settle(1);
        EXPECT_EQ(at.x, p.x);
        EXPECT_EQ(at.y, p.y);
    }

    // The display counter goes down by one by default and up by one with True.
    const auto counter = [] {
        const int c = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        return c;
    };
    const int shown = counter();
    VARIANT_BOOL yes = VARIANT_TRUE;
    EXPECT_EQ(hw->Mouse_Show(nullptr), S_OK);
    EXPECT_EQ(counter(), shown - 1);
    EXPECT_EQ(hw->Mouse_Show(&yes), S_OK);
    EXPECT_EQ(counter(), shown);

    // A press since the last query counts once, and over the window asked about only.
    ASSERT_TRUE(place(red.middle()));
    const auto user_click = [&](long hwnd) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(hw->Mouse_isUserClick(hwnd, &r), S_OK);
        return r != VARIANT_FALSE;
    };
    for (int i = 0; i < 5 && user_click(red.handle()); ++i) {
    }
    const long desktop = static_cast<long>(reinterpret_cast<LONG_PTR>(GetDesktopWindow()));
    const struct {
        bool click;
        long hwnd;
        bool counted;
    } cases[] = {{true, red.handle(), true}, {false, red.handle(), false}, {true, desktop, false}};
    for (const auto& c : cases) {
        if (c.click) mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        settle(3);
        EXPECT_EQ(user_click(c.hwnd), c.counted) << c.click << c.hwnd;
        Sleep(600);  // no double click across cases
    }
}

TEST_F(HardwareTest, MonitorPowerAndStandBy) {
    Recorder red(100, 100, 50, 50);
    for (long command : {0L, 1L, 5L}) {
        MonitorCommand c = static_cast<MonitorCommand>(command);
        EXPECT_EQ(hw->Monitor_PowerDown(red.handle(), &c), S_OK);
    }
    EXPECT_EQ(Recorder::power, (std::vector<LPARAM>{2, -1, 0}));
    MonitorCommand hold = mcDeactivate, release = mcActivate;
    EXPECT_EQ(hw->Monitor_StandBy(&hold), S_OK);
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), static_cast<EXECUTION_STATE>(0x80000002));
    EXPECT_EQ(hw->Monitor_StandBy(&release), S_OK);
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), static_cast<EXECUTION_STATE>(0x80000000));
}

// The installed ports as a probe of the test's own answers: the host's ports are never opened.
std::vector<long> g_present, g_probed;

TEST(HardwareDevices, InstalledPortsAreThoseOfOneToSixteenThatAnswer) {
    _Hardware* shared_hardware = shared<_Hardware>();
    struct Restore {
        hw::PortProbe real = hw::port_probe();
        ~Restore() { hw::port_probe() = real; }
    } restore;
    hw::port_probe() = [](long port) {
        g_probed.push_back(port);
        return std::find(g_present.begin(), g_present.end(), port) != g_present.end();
    };
    std::vector<long> all(16);
    for (long i = 0; i < 16; ++i) all[i] = i + 1;
    const struct {
        std::vector<long> present;
        std::vector<std::wstring> listed;
    } cases[] = {{{16, 2, 5, 17}, {L"2", L"5", L"16"}}, {{}, {}}};
    for (const auto& c : cases) {
        g_present = c.present;
        g_probed.clear();
        SafeArray list(VT_BSTR);
        EXPECT_EQ(shared_hardware->COMport_GetInstalledCOMPorts(list.put()), S_OK);
        ASSERT_TRUE(list.dimensioned());
        EXPECT_EQ(list.lbound(), 0);
        EXPECT_EQ(texts_of(list.get()), c.listed);
        EXPECT_EQ(g_probed, all);
    }
}

// The serial-port members on ports that cannot exist: the host's ports are never opened.
TEST(HardwareDevices, MissingPortsJoystickAndSoundCard) {
    ComPtr<_Hardware> hw = hardware();
    VARIANT_BOOL exists = VARIANT_TRUE;
    for (long port : {0L, -3L, 255L}) {
        EXPECT_EQ(hw->COMport_Exist(port, &exists), S_OK);
        EXPECT_EQ(exists, VARIANT_FALSE) << port;
    }
    long result = -1, owner = 0;
    EXPECT_EQ(hw->COMport_ConfigureDialog(255, &owner, &result), S_OK);
    EXPECT_EQ(result, 0);

    long count = -1;
    VARIANT_BOOL present = VARIANT_TRUE, sound = VARIANT_FALSE;
    EXPECT_EQ(hw->Joystick_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hw->Joystick_isPresent(&present), S_OK);
    EXPECT_EQ(present, VARIANT_FALSE);
    JOYSTICKINFO info{};
    info.Buttons = 7;
    EXPECT_EQ(hw->Joystick_GetInfo(*Variant(0L).get(), &info), S_OK);
    const JOYSTICKINFO zero{};
    EXPECT_EQ(memcmp(&info, &zero, sizeof info), 0);
    EXPECT_EQ(hw->Soundcard_Installed(&sound), S_OK);
    EXPECT_EQ(sound, VARIANT_TRUE);
}

// The extended sounds in the prefix's HKCU, put back as they were.
TEST(HardwareDevices, SpeakerSettingReadsAndWritesExtendedSounds) {
    ComPtr<_Hardware> hw = hardware();
    const wchar_t* key = L"Control Panel\\Sound";
    wchar_t saved[64] = L"";
    DWORD size = sizeof saved;
    const bool had = RegGetValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds", RRF_RT_REG_SZ, nullptr, saved, &size) ==
                     ERROR_SUCCESS;
    auto info = [&](long value) {
        SPEAKERINFO i = static_cast<SPEAKERINFO>(value);
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(hw->PCspeaker(&i, &result), S_OK);
        return result != VARIANT_FALSE;
    };
    auto stored = [&] {
        wchar_t text[64] = L"";
        DWORD n = sizeof text;
        return RegGetValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds", RRF_RT_REG_SZ, nullptr, text, &n) ==
                       ERROR_SUCCESS
                   ? std::wstring(text)
                   : std::wstring(L"<missing>");
    };
    const struct {
        const wchar_t* text;
        bool on;
    } cases[] = {{L"Yes", true}, {L"JA", true}, {L"1", true}, {L"true", true}, {L"no", false}, {L"0", false}};
    for (auto [text, on] : cases) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds", REG_SZ, text,
                        static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
        EXPECT_EQ(info(spISENABLED), on) << text;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds");
    EXPECT_FALSE(info(spISENABLED));
    EXPECT_FALSE(info(3));
    EXPECT_EQ(stored(), L"<missing>");
    EXPECT_TRUE(info(spENABLE));
    EXPECT_EQ(stored(), L"Yes");
    EXPECT_TRUE(info(spDISABLE));
    EXPECT_EQ(stored(), L"No");
    if (had)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds", REG_SZ, saved,
                        static_cast<DWORD>((wcslen(saved) + 1) * sizeof(wchar_t)));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"ExtendedSounds");
}
