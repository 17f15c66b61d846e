// Controls: animations checked step by step on a recording object, blinking and
// moving on forms of the forms engine, and the step-by-step move of Forms.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "recorder.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

Variant object(IDispatch* d) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    return Variant(v);
}
long handle(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

// Loaded worker forms with this Tag.
int tagged(const wchar_t* tag) {
    int n = 0;
    for (long i = 0; i < forms::forms_collection().count(); ++i)
        if (forms::forms_collection().item(i).tag() == tag) ++n;
    return n;
}

template <class F>
bool wait_for(F&& done) {
    for (int i = 0; i < 4000; ++i) {
        if (done()) return true;
        forms::do_events();
        Sleep(2);
    }
    return done();
}

class ControlsAnimate : public testing::Test {
protected:
    void SetUp() override {
        ctl = shared<_Controls>();
        form = forms::make<forms::Form>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    _Controls* ctl = nullptr;
    ErrorLog errors{ErrorLog::linked};
    ComPtr<forms::Form> form;
};

TEST_F(ControlsAnimate, RollSetsEachSizeOnItsAxis) {
    // A step yields to the message loop; with no step the thread's message stays.
    struct Case {
        long from, to, direction;
        const wchar_t* property;
        std::vector<long> expected;
        bool via_forms = false;
    } cases[] = {
        {50, 50, cdHorizontal, L"Width", {50}},
        {100, 95, cdVertical, L"Height", {100, 99, 98, 97, 96, 95}},
        {100, 95, 2, L"Width", {}},
        {0, 100000, -1, L"Height", {}, true},
    };
    for (const auto& c : cases) {
        Recorder control({{L"Width", Variant(0L)}, {L"Height", Variant(0L)}});
        IDispatch* d = &control;
        long from = c.from, to = c.to, speed = 0, result = -1;
        auto direction = static_cast<ControlDirection>(c.direction);
        PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
        if (c.via_forms)
            ASSERT_EQ(shared<_Forms>()->Roll(&d, &from, &to, &direction, &speed, &result), S_OK);
        else
            ASSERT_EQ(ctl->Control_Roll(&d, &from, &to, &direction, &speed, &result), S_OK);
        MSG m;
        EXPECT_EQ(PeekMessageW(&m, nullptr, WM_APP, WM_APP, PM_REMOVE) != FALSE, c.expected.empty()) << c.from;
        EXPECT_EQ(result, 0);
        EXPECT_EQ(control.puts(c.property), c.expected) << c.from << " " << c.direction;
        EXPECT_EQ(control.log.size(), c.expected.size());
    }
}

TEST_F(ControlsAnimate, AnimatePaths) {
    Recorder parent({{L"Width", Variant(400L)}, {L"Height", Variant(1000L)}});
    auto control_on = [&](bool visible) {
        return std::make_unique<Recorder>(std::map<std::wstring, Variant>{{L"Left", Variant(7L)},
                                                                          {L"Top", Variant(7L)},
                                                                          {L"Width", Variant(100L)},
                                                                          {L"Height", Variant(100L)},
                                                                          {L"Visible", Variant(visible)},
                                                                          {L"Parent", object(&parent)}});
    };
    // Diagonal until Left reaches MidX (150), then straight down to MidY (450);
    // the hidden control is shown before the first step.
    auto c = control_on(false);
    IDispatch* d = c.get();
    ControlAnimatePosition from = caLeftTop, to = caMiddleMiddle;
    long result = -1;
    ASSERT_EQ(ctl->Control_Animate(&d, &from, &to, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_GE(c->log.size(), 3u);
    EXPECT_EQ(c->log[2], L"Visible=True");
    const auto lefts = c->puts(L"Left"), tops = c->puts(L"Top");
    ASSERT_EQ(lefts.size(), 451u);
    ASSERT_EQ(tops.size(), 451u);
    for (long i = 0; i <= 450; ++i) {
        EXPECT_EQ(lefts[i], std::min(i, 150L));
        EXPECT_EQ(tops[i], i);
    }
    // The same start and end: placed, one step that stays; halves round to even
    // (401 / 2 - 50 = 150.5 gives 150). An unknown value counts as 0, 0.
    parent[L"Width"] = Variant(401L);
    struct Case {
        long from, to;
        std::vector<long> left, top;
    } cases[] = {{caMiddleTop, caMiddleTop, {150, 150}, {0, 0}},
                 {3, caLeftTop, {0, 0}, {0, 0}}};
    for (const auto& k : cases) {
        auto e = control_on(true);
        d = e.get();
        from = static_cast<ControlAnimatePosition>(k.from);
        to = static_cast<ControlAnimatePosition>(k.to);
        ASSERT_EQ(ctl->Control_Animate(&d, &from, &to, &result), S_OK);
        EXPECT_EQ(result, 0);
        const auto l = e->puts(L"Left"), t = e->puts(L"Top");
        EXPECT_EQ(std::vector<long>(l.begin(), l.begin() + std::min<size_t>(2, l.size())), k.left) << k.from;
        EXPECT_EQ(std::vector<long>(t.begin(), t.begin() + std::min<size_t>(2, t.size())), k.top) << k.from;
        EXPECT_EQ(e->puts(L"Visible").size(), 0u);
    }
}

TEST_F(ControlsAnimate, FontGrowStepsAndStopsWhenTheFormGoes) {
    Recorder parent({{L"hWnd", Variant(handle(form->hwnd()))}});
    struct Case {
        long size, target;
        std::vector<long> expected;
    } cases[] = {{8, 14, {8, 9, 10, 11, 12, 13, 14}}, {3, 0, {3, 2, 1}}, {3, -2, {3, 2, 1}}};
    for (const auto& c : cases) {
        Recorder font({{L"Size", Variant(c.size)}});
        Recorder control({{L"Parent", object(&parent)}, {L"Font", object(&font)}});
        IDispatch* d = &control;
        long speed = 0, result = -1;
        ASSERT_EQ(ctl->Control_FontGrow(&d, c.target, &speed, &result), S_OK);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(font.puts(L"Size"), c.expected) << c.target;
    }
    // The form unloaded meanwhile (here by the third step): no step after it.
    Recorder font({{L"Size", Variant(8L)}});
    Recorder control({{L"Parent", object(&parent)}, {L"Font", object(&font)}});
    font.on_put = [&](const std::wstring&) {
        if (font.log.size() == 3) form->unload();
    };
    IDispatch* d = &control;
    long speed = 0, result = -1;
    ASSERT_EQ(ctl->Control_FontGrow(&d, 20, &speed, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(font.puts(L"Size"), (std::vector<long>{8, 9, 10}));
}

TEST_F(ControlsAnimate, FormsMoveWalksOneTwipPerStep) {
    Recorder target({{L"Left", Variant(100L)}, {L"Top", Variant(100L)}});
    IDispatch* d = &target;
    long speed = -2, result = -1;
    ASSERT_EQ(shared<_Forms>()->Move(&d, 103, 98, &speed, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(speed, 2);
    EXPECT_EQ(target.log, (std::vector<std::wstring>{L"Left=100", L"Refresh()", L"Left=101", L"Refresh()",
                                                      L"Left=102", L"Refresh()", L"Left=103", L"Refresh()",
                                                      L"Top=100", L"Refresh()", L"Top=99", L"Refresh()", L"Top=98",
                                                      L"Refresh()"}));
    // Speed 0 jumps; where it already is, one round each.
    target.log.clear();
    speed = 0;
    ASSERT_EQ(shared<_Forms>()->Move(&d, 500, 20, &speed, &result), S_OK);
    EXPECT_EQ(target.log, (std::vector<std::wstring>{L"Left=500", L"Top=20"}));
    target.log.clear();
    speed = 1;
    ASSERT_EQ(shared<_Forms>()->Move(&d, 500, 20, &speed, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(target.log, (std::vector<std::wstring>{L"Left=500", L"Refresh()", L"Top=20", L"Refresh()"}));
    // Control_Move on a button of a form: a copy of Speed, ending at the point.
    auto& button = form->add<forms::Button>(L"Command1");
    d = &button;
    ASSERT_EQ(ctl->Control_Move(&d, 240, 120, 0, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(button.left(), 240);
    EXPECT_EQ(button.top(), 120);
}

// A target beyond any screen is refused before the first step: 380, reported,
// and the control where and as large as it was.
TEST_F(ControlsAnimate, TargetsBeyondAnyScreenAreRefusedBeforeTheFirstStep) {
    auto& button = form->add<forms::Button>(L"Command1");
    IDispatch* d = &button;
    ComPtr<IDispatch> font = late::object(late::get(d, L"Font"));
    const float size = CSng(late::get(font.get(), L"Size"));
    const RECT place = button.twips_rect();
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        long result = -1, zero = 0;
        for (const ControlDirection axis : {cdHorizontal, cdVertical}) {
            long from = 600, to = huge;
            auto direction = axis;
            ASSERT_EQ(ctl->Control_Roll(&d, &from, &to, &direction, &zero, &result), S_OK);
            EXPECT_EQ(result, 380) << huge << " " << axis;
        }
        ASSERT_EQ(ctl->Control_Move(&d, huge, 0, 1, &result), S_OK);
        EXPECT_EQ(result, 380) << huge;
        ASSERT_EQ(ctl->Control_Move(&d, 0, huge, 1, &result), S_OK);
        EXPECT_EQ(result, 380) << huge;
        ASSERT_EQ(ctl->Control_FontGrow(&d, huge, &zero, &result), S_OK);
        EXPECT_EQ(result, 380) << huge;
        const RECT now = button.twips_rect();
        EXPECT_TRUE(EqualRect(&now, &place)) << huge;
        EXPECT_EQ(CSng(late::get(font.get(), L"Size")), size) << huge;
    }
    EXPECT_TRUE(errors.has("Control_Roll", 380));
    EXPECT_TRUE(errors.has("Control_FontGrow", 380));
    EXPECT_TRUE(errors.has("Move", 380));
}

TEST_F(ControlsAnimate, BlinkSharesOneWorkerAndRefusesBadInput) {
    auto& a = form->add<forms::Button>(L"Command1");
    auto& b = form->add<forms::Button>(L"Command2");
    a.set_visible(false);
    IDispatch* da = &a;
    IDispatch* db = &b;
    long count = 2, pause = 20, result = -1;
    ASSERT_EQ(ctl->Control_Blink(&da, &count, &pause, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(ctl->Control_Blink(&db, &count, &pause, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(tagged(L"Control_Blink"), 1);
    EXPECT_TRUE(wait_for([] { return tagged(L"Control_Blink") == 0; }));
    EXPECT_TRUE(a.visible());
    EXPECT_TRUE(b.visible());

    // A pause of 0 arms nothing; a label has no window.
    pause = 0;
    ASSERT_EQ(ctl->Control_Blink(&db, &count, &pause, &result), S_OK);
    EXPECT_EQ(result, 380);
    EXPECT_EQ(tagged(L"Control_Blink"), 0);
    pause = 20;
    IDispatch* label = &form->add<forms::Label>(L"Label1");
    ASSERT_EQ(ctl->Control_Blink(&label, &count, &pause, &result), S_OK);
    EXPECT_EQ(result, 438);
    EXPECT_TRUE(errors.has("Control_Blink", 438));
    EXPECT_EQ(tagged(L"Control_Blink"), 0);
}

}  // namespace
