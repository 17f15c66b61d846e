// The worker form's effects on the tests' own forms, driven as their callers
// drive them (the instance found by its Tag through Forms.Find_Form, loaded and
// tagged when there is none): blinking, hyperlink labels with the pointer on
// and off them, the caption marquee and rolling a form open. Controls are
// handed over as IDispatch; a spy between the worker and a control counts what
// the worker sets.
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
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

// The loaded worker form with this Tag, found as the library's callers find it.
MyControls* tagged(const wchar_t* tag) {
    IDispatch* all = &forms::forms_collection();
    IDispatch* found = nullptr;
    FormOption by = ffFormTag;
    long index = -1;
    shared<_Forms>()->Find_Form(&all, Bstr(tag).get(), &by, &found, nullptr, nullptr, &index);
    ComPtr<IDispatch> keep = ComPtr<IDispatch>::attach(found);
    return index >= 0 ? dynamic_cast<MyControls*>(forms::object_of(found)) : nullptr;
}

// ... or a new one, loaded and tagged.
MyControls& worker(const wchar_t* tag) {
    if (MyControls* w = tagged(tag)) return *w;
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->load();
    w->set_tag(tag);
    return *w.get();  // the Forms collection holds it while it is loaded
}

// Pumps messages until done() or a generous limit.
template <class F>
bool wait_for(F&& done) {
    for (int i = 0; i < 4000; ++i) {
        if (done()) return true;
        forms::do_events();
        Sleep(2);
    }
    return done();
}

// An IDispatch in front of a control: forwards everything and counts the
// values put into Visible.
class Spy final : public IDispatch {
public:
    explicit Spy(IDispatch* inner) : inner_(inner) {}
    long shown = 0, hidden = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* names, UINT n, LCID l, DISPID* ids) override {
        HRESULT hr = inner_->GetIDsOfNames(r, names, n, l, ids);
        if (SUCCEEDED(hr) && n && _wcsicmp(names[0], L"Visible") == 0) visible_id_ = ids[0];
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD flags, DISPPARAMS* p, VARIANT* result,
                                     EXCEPINFO* e, UINT* a) override {
        if (id == visible_id_ && (flags & DISPATCH_PROPERTYPUT) && p->cArgs) (CBool(p->rgvarg[0]) ? shown : hidden)++;
        return inner_->Invoke(id, r, l, flags, p, result, e, a);
    }

private:
    IDispatch* inner_;
    ULONG refs_ = 1;
    DISPID visible_id_ = DISPID_UNKNOWN;
};

long hwnd_number(const ComPtr<forms::Form>& f) { return static_cast<long>(reinterpret_cast<LONG_PTR>(f->hwnd())); }

// A shown form of the test's own, top-most at a place of its own.
ComPtr<forms::Form> host_form(int x_px, int y_px) {
    ComPtr<forms::Form> f = forms::make<forms::Form>();
    f->load();
    float x = x_px * forms::twips_per_pixel_x(), y = y_px * forms::twips_per_pixel_y(), w = 4800, h = 3000;
    f->move(x, &y, &w, &h);
    f->show();
    SetWindowPos(f->hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return f;
}

// --- blinking ----------------------------------------------------------------------------

TEST(WorkerBlink, CountsReappearancesEndsVisibleAndUnloads) {
    ComPtr<forms::Form> f = host_form(40, 420);
    auto& button = f->add<forms::Button>(L"Command1");
    auto& label = f->add<forms::Label>(L"Label1");
    Spy button_spy(&button), label_spy(&label);
    worker(L"Control_Blink").SetBlink(&button_spy, 3, 20, hwnd_number(f));
    worker(L"Control_Blink").SetBlink(&label_spy, 3, 25, hwnd_number(f));
    EXPECT_TRUE(wait_for([] { return tagged(L"Control_Blink") == nullptr; }));
    for (Spy* s : {&button_spy, &label_spy}) {
        EXPECT_EQ(s->shown, 3);
        EXPECT_EQ(s->hidden, 3);
    }
    EXPECT_TRUE(button.visible());
    EXPECT_TRUE(label.visible());
    f->unload();
}

TEST(WorkerBlink, ClosedFormEndsOnlyItsBlink) {
    ComPtr<forms::Form> a = host_form(40, 420), b = host_form(400, 420);
    auto& on_a = a->add<forms::Button>(L"Command1");
    auto& on_b = b->add<forms::Button>(L"Command1");
    Spy spy_a(&on_a), spy_b(&on_b);
    worker(L"Control_Blink").SetBlink(&spy_a, 0, 20, hwnd_number(a));  // until its window closes
    worker(L"Control_Blink").SetBlink(&spy_b, 40, 20, hwnd_number(b));
    ASSERT_TRUE(wait_for([&] { return spy_a.shown + spy_a.hidden >= 3; }));
    a->unload();
    const long seen = spy_a.shown + spy_a.hidden;
    EXPECT_LT(spy_b.shown, 40);
    EXPECT_NE(tagged(L"Control_Blink"), nullptr);
    EXPECT_TRUE(wait_for([] { return tagged(L"Control_Blink") == nullptr; }));
    EXPECT_EQ(spy_a.shown + spy_a.hidden, seen);
    EXPECT_FALSE(a->loaded());
    EXPECT_EQ(spy_b.shown, 40);
    EXPECT_TRUE(on_b.visible());
    b->unload();
}

TEST(WorkerBlink, IntervalsBeyondTheTimerAreRefusedBeforeAnythingLoads) {
    ComPtr<forms::Form> f = host_form(40, 420);
    auto& button = f->add<forms::Button>(L"Command1");
    ComPtr<MyControls> w = forms::make<MyControls>();
    for (long pause : {0L, -5L, 65536L})
        EXPECT_EQ(error_of([&] { w->SetBlink(&button, 3, pause, hwnd_number(f)); }), 380);
    EXPECT_FALSE(w->loaded());
    EXPECT_EQ(w->SetScrollCaption(f.get(), 1400), 380);  // 70,000 ms
    EXPECT_EQ(w->SetScrollCaption(f.get(), 0), 380);
    EXPECT_FALSE(w->loaded());
    f->unload();
}

// --- hyperlinks and the pointer over controls ------------------------------------------

// The screen pixel at the middle of a windowless control.
POINT middle_of(forms::Control& c) {
    RECT r = c.pixel_rect();
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(c.container_hwnd(), &p);
    return p;
}

bool over(IDispatch* control) {
    long error = -1;
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(shared<_Hardware>()->Mouse_isCursorOverControl(&control, &error, &result), S_OK);
    EXPECT_EQ(error, 0);
    return result != VARIANT_FALSE;
}

TEST(MouseOverControl, WindowedByTheWindowUnderThePointerWindowlessByItsRectangle) {
    for (int mode : {1, 3}) {
        SCOPED_TRACE(mode);
        ComPtr<forms::Form> f = host_form(300, 200);
        f->surface()->set_scale_mode(mode);
        const float unit = mode == 3 ? 1 : forms::twips_per_pixel_x();
        auto& label = f->add<forms::Label>(L"Label1");
        float left = 20 * unit, top = 30 * unit, width = 60 * unit, height = 20 * unit;
        label.move(left, &top, &width, &height);
        auto& button = f->add<forms::Button>(L"Command1");
        float bl = 120 * unit, bt = 30 * unit;
        button.move(bl, &bt, &width, &height);
        POINT origin{0, 0};
        ClientToScreen(f->hwnd(), &origin);
        struct Case {
            POINT at;
            bool on_label, on_button;
        } cases[] = {
            {{origin.x + 20, origin.y + 30}, true, false},   // the label's corners count
            {{origin.x + 80, origin.y + 50}, true, false},
            {{origin.x + 81, origin.y + 40}, false, false},
            {{origin.x + 50, origin.y + 29}, false, false},
            {{origin.x + 150, origin.y + 40}, false, true},
        };
        PinnedPointer pointer(origin);
        for (const Case& c : cases) {
            pointer.move(c.at);
            EXPECT_EQ(over(&label), c.on_label) << c.at.x - origin.x << "," << c.at.y - origin.y;
            EXPECT_EQ(over(&button), c.on_button) << c.at.x - origin.x << "," << c.at.y - origin.y;
        }
        f->unload();
    }
    // Nothing: 91, reported, False.
    long error = 0;
    VARIANT_BOOL result = VARIANT_TRUE;
    IDispatch* nothing = nullptr;
    EXPECT_EQ(shared<_Hardware>()->Mouse_isCursorOverControl(&nothing, &error, &result), S_OK);
    EXPECT_EQ(error, 91);
    EXPECT_EQ(result, VARIANT_FALSE);
}

TEST(WorkerHyperlink, HoverLookFollowsThePointerUntilTheFormCloses) {
    ComPtr<forms::Form> f = host_form(300, 200);
    auto place = [&](const wchar_t* name, float left) -> forms::Label& {
        auto& l = f->add<forms::Label>(name);
        float top = 300, w = 900, h = 300;
        l.move(left, &top, &w, &h);
        l.set_caption(name);
        return l;
    };
    forms::Label &one = place(L"Label1", 150), &two = place(L"Label2", 1500), &same = place(L"Label3", 2850);
    const long red = 0x0000FF, blue = 0xFF0000, green = 0x00FF00, grey = 0x808080;
    MyControls& w = worker(L"Hyperlink");
    ASSERT_TRUE(w.Create_Hyperlink(f.get(), &one, red, blue));
    ASSERT_TRUE(w.Create_Hyperlink(f.get(), &two, green, blue));
    ASSERT_TRUE(w.Create_Hyperlink(f.get(), &same, grey, grey));
    auto& timer = w.get<forms::Timer>(L"Timer_HyperLink");
    EXPECT_EQ(timer.interval(), 5);
    auto underlined = [](forms::Label& l) { return CBool(*late::get(&l, L"FontUnderline").get()); };
    auto plain = [&](forms::Label& l, long color) {
        EXPECT_EQ(static_cast<long>(l.fore_color()), color);
        EXPECT_FALSE(underlined(l));
        EXPECT_EQ(l.mouse_pointer(), 0);
    };

    PinnedPointer pointer({10, 10});
    timer.tick();
    plain(one, red), plain(two, green), plain(same, grey);

    pointer.move(middle_of(one));
    timer.tick();
    EXPECT_EQ(static_cast<long>(one.fore_color()), blue);
    EXPECT_TRUE(underlined(one));
    EXPECT_EQ(one.mouse_pointer(), 99);
    EXPECT_EQ(one.mouse_icon().get(), w.get<forms::Label>(L"ClickIcon").mouse_icon().get());
    EXPECT_NE(one.mouse_icon().get(), nullptr);
    plain(two, green);

    pointer.move(middle_of(same));
    // Equal colours: nothing to change.
    timer.tick();
    plain(same, grey);
    plain(one, red);

    pointer.move({10, 10});
    timer.tick();
    plain(one, red), plain(two, green), plain(same, grey);

    f->unload();
    timer.tick();
    EXPECT_EQ(tagged(L"Hyperlink"), nullptr);
    EXPECT_FALSE(w.loaded());
}

// --- caption scrolling -----------------------------------------------------------------------

std::wstring caption(const ComPtr<forms::Form>& f) { return f->caption(); }

TEST(WorkerScrollCaption, MarqueeStepsAndEntriesPerForm) {
    MyControls& w = myControls();
    if (!tagged(L"ScrollCaption")) {
        w.load();
        w.set_tag(L"ScrollCaption");
    }
    ComPtr<forms::Form> wide = host_form(40, 420);
    float width = 7800;
    wide->move(wide->left(), nullptr, &width);
    wide->set_caption(L"Laufschrift");
    ASSERT_EQ(w.SetScrollCaption(wide.get(), 2), 0);
    auto& first = w.get<forms::Timer>(L"Timer_ScrollCaption", 1);
    EXPECT_EQ(first.interval(), 100);
    EXPECT_TRUE(first.enabled());
    first.tick();
    EXPECT_EQ(caption(wide), std::wstring(100, L' ') + L"Laufschrift");
    first.tick();
    EXPECT_EQ(caption(wide), std::wstring(99, L' ') + L"Laufschrift");

    // A narrow form: one whole cycle as the steps say.
    ComPtr<forms::Form> narrow = host_form(400, 420);
    float small = 1500;
    narrow->move(narrow->left(), nullptr, &small);
    narrow->set_caption(L"Abc");
    ASSERT_EQ(w.SetScrollCaption(narrow.get(), 1), 0);
    auto& second = w.get<forms::Timer>(L"Timer_ScrollCaption", 2);
    EXPECT_EQ(second.interval(), 50);
    const long spaces = CLng(narrow->width() / 78.0);
    std::vector<std::wstring> want;
    for (long k = spaces; k >= 2; --k) want.push_back(std::wstring(static_cast<size_t>(k), L' ') + L"Abc");
    for (const wchar_t* t : {L" Abc", L"Abc", L"bc", L"c", L""}) want.push_back(t);
    want.push_back(std::wstring(static_cast<size_t>(spaces), L' ') + L"Abc");  // and again
    for (size_t k = 0; k < want.size(); ++k) {
        second.tick();
        EXPECT_EQ(caption(narrow), want[k]) << "step " << k;
    }

    // A second call for a form reuses its entry and scrolls what it shows now.
    ASSERT_EQ(w.SetScrollCaption(narrow.get(), 1), 0);
    EXPECT_EQ(w.control(L"Timer_ScrollCaption", 3), nullptr);
    const std::wstring shown = caption(narrow);
    second.tick();
    EXPECT_EQ(caption(narrow), std::wstring(static_cast<size_t>(spaces), L' ') + shown);

    // Closing one form retires only its entry.
    wide->unload();
    first.tick();
    EXPECT_FALSE(first.enabled());
    EXPECT_FALSE(wide->loaded());
    EXPECT_TRUE(second.enabled());
    EXPECT_TRUE(w.loaded());
    narrow->unload();
    second.tick();
    EXPECT_FALSE(w.loaded());
}

// --- rolling -------------------------------------------------------------------------------

MyControls& roller() {
    ComPtr<MyControls> w = forms::make<MyControls>();
    w->load();
    w->set_tag(L"Roll2");
    return *w.get();
}

TEST(WorkerRoll, GrowsToTheEndHeightMovingUpAndUnloads) {
    ComPtr<forms::Form> f = host_form(40, 420);
    float h = 1000;
    f->move(f->left(), nullptr, nullptr, &h);
    const float top = f->top();
    roller().Roll2(f.get(), 1500);
    EXPECT_TRUE(wait_for([] { return tagged(L"Roll2") == nullptr; }));
    EXPECT_NEAR(f->height(), 1500, forms::twips_per_pixel_y());
    EXPECT_LT(f->top(), top - 200);

    MyControls& taller = roller();
    taller.Roll2(f.get(), 900);
    taller.get<forms::Timer>(L"Timer_Roll2").tick();
    EXPECT_NEAR(f->height(), 900, forms::twips_per_pixel_y());
    EXPECT_EQ(tagged(L"Roll2"), nullptr);
    f->unload();
}

TEST(WorkerRoll, AnEndHeightBeyondAnyScreenArmsNothing) {
    ComPtr<forms::Form> f = host_form(40, 420);
    const float height = f->height();
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        MyControls& w = roller();
        EXPECT_EQ(error_of([&] { w.Roll2(f.get(), huge); }), 380) << huge;
        EXPECT_FALSE(w.get<forms::Timer>(L"Timer_Roll2").enabled()) << huge;
        w.unload();
    }
    EXPECT_EQ(f->height(), height);
    f->unload();
}

TEST(WorkerRoll, FormClosedMidRollStaysClosed) {
    ComPtr<forms::Form> f = host_form(40, 420);
    MyControls& w = roller();
    w.Roll2(f.get(), 6000);
    auto& timer = w.get<forms::Timer>(L"Timer_Roll2");
    ComPtr<forms::Timer> keep(&timer);
    timer.tick();
    f->unload();
    timer.tick();
    EXPECT_FALSE(f->loaded());
    EXPECT_EQ(tagged(L"Roll2"), nullptr);
}

}  // namespace
