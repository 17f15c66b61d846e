// The forms engine's hosted controls and the members forms and controls share
// with them (ScaleX/ScaleY, ToolTipText), on real windows, driven late-bound.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;
using qmtest::error_of;

namespace {

IDispatch* disp(Object& o) { return static_cast<IDispatch*>(&o); }
Variant V(int v) { return Variant(static_cast<long>(v)); }
Variant V(const wchar_t* s) { return Variant(s); }
std::wstring str(const Variant& v) { return CStr(*v.get()); }

class HostForm : public Form {
public:
    HostForm() {
        set_name(L"frmHost");
        w_ = 7200;
        h_ = 5400;
    }
};

class HostedTest : public testing::Test {
protected:
    void SetUp() override {
        form = make<HostForm>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    ComPtr<HostForm> form;
};

HWND tips_of(HWND form) {
    struct Find {
        HWND owner, found;
    } f{form, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (std::wstring(cls) == L"tooltips_class32" && GetWindow(w, GW_OWNER) == f->owner) f->found = w;
            return !f->found;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

}  // namespace

TEST_F(HostedTest, ScaleXAndScaleYConvertBetweenModes) {
    IDispatch* f = disp(*form.get());
    struct Case {
        const wchar_t* member;
        float value;
        long from, to;
        float expected;
    } cases[] = {
        {L"ScaleX", 2540, 8, 1, 1440},  {L"ScaleY", 1440, 1, 5, 1},     {L"ScaleX", 1, 5, 2, 72},
        {L"ScaleY", 10, 7, 6, 100},     {L"ScaleX", 240, 1, 4, 2},      {L"ScaleY", 240, 1, 4, 1},
        {L"ScaleX", 3 * twips_per_pixel_x(), 1, 3, 3},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(CSng(*late::get(f, c.member, {Variant(c.value), V(c.from), V(c.to)}).get()), c.expected, 0.01f)
            << c.value;
    // From HiMetric to the form's ScaleMode by default.
    late::put(f, L"ScaleMode", V(3));
    EXPECT_NEAR(CSng(*late::get(f, L"ScaleX", {Variant(2540.0f)}).get()), 1440 / twips_per_pixel_x(), 0.01f);
    // Mode 0 is the object's own user scale.
    auto& pic = form->add<PictureBox>(L"Picture1");
    pic.set_border_style(0);
    pic.move(0, nullptr, nullptr, nullptr);
    IDispatch* pb = disp(pic);
    late::put(pb, L"ScaleWidth", V(100));
    float client = static_cast<float>(pic.surface()->scale_x(100, 0, 1));
    EXPECT_NEAR(CSng(*late::get(pb, L"ScaleX", {V(50), V(0), V(1)}).get()), client / 2, 0.01f);
    EXPECT_EQ(error_of([&] { late::get(f, L"ScaleX", {V(1), V(9), V(1)}); }), 5);
}

TEST_F(HostedTest, ToolTipTextGoesToOneTooltipWindowOfTheForm) {
    auto& text = form->add<TextBox>(L"Text1");
    auto& label = form->add<Label>(L"Label1");
    EXPECT_FALSE(late::has_member(disp(form->add<Shape>(L"Shape1")), L"ToolTipText"));
    late::put(disp(text), L"ToolTipText", V(L"Enter a name"));
    late::put(disp(label), L"ToolTipText", V(L"Label tip"));
    HWND tips = tips_of(form->hwnd());
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    wchar_t buf[256] = {};
    TOOLINFOW ti{sizeof(ti), TTF_IDISHWND, form->hwnd(), reinterpret_cast<UINT_PTR>(text.hwnd())};
    ti.lpszText = buf;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buf, L"Enter a name");
    EXPECT_EQ(str(late::get(disp(text), L"ToolTipText")), L"Enter a name");

    // A second tip updates the tool; "" removes it; a recreated window keeps its tip.
    late::put(disp(text), L"ToolTipText", V(L"Second"));
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    late::put(disp(label), L"ToolTipText", V(L""));
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    text.set_multi_line(true);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    ti.uId = reinterpret_cast<UINT_PTR>(text.hwnd());
    buf[0] = 0;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(buf, L"Second");
    EXPECT_EQ(tips_of(form->hwnd()), tips);
}
