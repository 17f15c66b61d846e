// MyControls.TaskBarFade and GetTaskbarHeight on the throw-away prefix's shell
// taskbar, with a work area the test sets 40 pixels short of the screen. The
// taskbar's extended style, its layered alpha and the work area are put back
// after every test, whatever happens in it.
#include <gtest/gtest.h>

#include "frame/mycontrols.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "support.h"

using namespace qm;

namespace {

class TaskbarFade : public ::testing::Test {
protected:
    void SetUp() override {
        taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
        ASSERT_NE(taskbar, nullptr) << "the shell desktop shows no taskbar";
        style = GetWindowLongW(taskbar, GWL_EXSTYLE);
        layered = GetLayeredWindowAttributes(taskbar, &key, &alpha, &flags) != FALSE;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        RECT shorter{0, 0, screen.cx, screen.cy - 40};
        ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &shorter, 0));
    }
    void TearDown() override {
        if (!taskbar) return;
        if (layered) SetLayeredWindowAttributes(taskbar, key, alpha, flags);
        SetWindowLongW(taskbar, GWL_EXSTYLE, style);
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, 0);
        EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style);
    }
    BYTE alpha_now() {
        BYTE a = 0;
        DWORD f = 0;
        return GetLayeredWindowAttributes(taskbar, nullptr, &a, &f) ? a : 0;
    }
    HWND taskbar = nullptr;
    LONG style = 0;
    bool layered = false;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    RECT work{};
    SIZE screen{};
    // The pointer as the worker reads it: mid-screen, above the taskbar, unless a
    // test moves it.
    qmtest::PinnedPointer pointer{{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}};
};

TEST_F(TaskbarFade, HeightOfTheBandBelowTheWorkArea) {
    ComPtr<MyControls> w = forms::make<MyControls>();
    EXPECT_EQ(w->GetTaskbarHeight(), 40 * forms::screen_twips_per_pixel_x());
    EXPECT_EQ(w->GetTaskbarHeight(), 600);
    w->unload();
}

TEST_F(TaskbarFade, FadesByThePointerKeepingTheTaskbarsOwnStyle) {
    const POINT away{screen.cx / 2, screen.cy / 2}, band{screen.cx / 2, screen.cy - 10};
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->load();
    w->set_tag(L"TaskBarFade");
    w->TaskBarFade(true);
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style | WS_EX_LAYERED);
    EXPECT_EQ(alpha_now(), 95);
    auto& timer = w->get<forms::Timer>(L"Timer_TaskBarFade");
    EXPECT_EQ(timer.interval(), 100);
    timer.tick();  // still away: nothing changes
    EXPECT_EQ(alpha_now(), 95);

    pointer.move(band);
    timer.tick();
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style);

    pointer.move(away);
    timer.tick();
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style | WS_EX_LAYERED);
    EXPECT_EQ(alpha_now(), 103);

    w->TaskBarFade(false);
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style);
    EXPECT_FALSE(w->loaded());
}

TEST_F(TaskbarFade, UnloadingTheWorkerGivesTheTaskbarBack) {
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->TaskBarFade(false);  // nothing running: nothing to do
    EXPECT_FALSE(w->loaded());
    w->TaskBarFade(true);
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style | WS_EX_LAYERED);
    w->unload();
    EXPECT_EQ(GetWindowLongW(taskbar, GWL_EXSTYLE), style);
}

}  // namespace
