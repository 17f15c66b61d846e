// Controls: the web browser helpers, on a test-only stand-in for a browser
// control whose document answers like a loaded page (it renders nothing; it
// records what the members send and read), and on a form's real browser control.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;

namespace {

// An automation object made of named members (the empty name is the default
// member). A member gets the call's arguments (a property's new value last) and
// raises by throwing a RuntimeError.
class StandIn final : public IDispatch {
public:
    using Member = std::function<Variant(const std::vector<Variant>& args)>;
    explicit StandIn(std::vector<std::pair<std::wstring, Member>> members) : members_(std::move(members)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        return AddRef(), S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        for (size_t i = 0; i < members_.size(); ++i)
            if (_wcsicmp(members_[i].first.c_str(), names[0]) == 0) return ids[0] = static_cast<DISPID>(i + 1), S_OK;
        return ids[0] = DISPID_UNKNOWN, DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* result, EXCEPINFO* ex,
                                     UINT*) override {
        size_t i = static_cast<size_t>(id) - 1;
        if (id == DISPID_VALUE)
            for (i = 0; i < members_.size() && !members_[i].first.empty();) ++i;
        if (i >= members_.size()) return DISP_E_MEMBERNOTFOUND;
        std::vector<Variant> args;
        for (UINT a = p->cArgs; a-- > 0;) args.emplace_back(p->rgvarg[a]);
        try {
            Variant r = members_[i].second(args);
            if (result) r.detach(result);
            return S_OK;
        } catch (const RuntimeError& e) {
            if (ex) *ex = EXCEPINFO{}, ex->wCode = static_cast<WORD>(e.number());
            return DISP_E_EXCEPTION;
        }
    }

private:
    std::vector<std::pair<std::wstring, Member>> members_;
    ULONG refs_ = 1;
};

Variant object(StandIn* made) {
    Variant v(static_cast<IDispatch*>(made));
    made->Release();
    return v;
}

// The browser, its document, body and elements. An element without a value raises 5.
struct Page {
    std::vector<std::optional<std::wstring>> elements;
    std::vector<std::wstring> sent;  // what reached the body
    std::wstring read;               // the element indexes asked for
    bool has_document = true;
    std::function<bool()> busy = [] { return false; };

    StandIn* browser() {
        auto* body = new StandIn({
            {L"insertAdjacentHTML",
             [this](auto& a) { return sent.push_back(CStr(a[0]) + L"|" + CStr(a[1])), Variant(); }},
            {L"innerHTML", [this](auto& a) { return sent.push_back(L"innerHTML=" + CStr(a.back())), Variant(); }},
        });
        auto* all = new StandIn({
            {L"Length", [this](auto&) { return Variant(static_cast<long>(elements.size())); }},
            {L"", [this](auto& a) {
                 const long i = CLng(a[0]);
                 read += std::to_wstring(i) + L" ";
                 if (i >= static_cast<long>(elements.size()) || !elements[i]) qm::raise(5);
                 std::wstring html = *elements[i];
                 return object(new StandIn({{L"outerHTML", [html](auto&) { return Variant(html); }}}));
             }},
        });
        auto* document = new StandIn({{L"Body", [v = object(body)](auto&) { return v; }},
                                      {L"All", [v = object(all)](auto&) { return v; }}});
        Variant doc = object(document);
        return new StandIn({
            {L"Document", [this, doc](auto&) { return has_document ? doc : Variant(static_cast<IDispatch*>(nullptr)); }},
            {L"Busy", [this](auto&) { return Variant(busy()); }},
        });
    }
};

class BrowserTest : public testing::Test {
protected:
    struct Source {
        std::wstring text;
        long index, error;
    };
    Source source(IDispatch* browser, bool wait, long index = 7) {
        Source s{L"?", index, -1};
        Bstr text;
        EXPECT_EQ(ctl->WebBrowser_GetSource(&browser, wait ? VARIANT_TRUE : VARIANT_FALSE, &s.index, &s.error,
                                            text.put()),
                  S_OK);
        s.text = text.str();
        return s;
    }
    _Controls* ctl = shared<_Controls>();
    qmtest::ErrorLog errors{qmtest::ErrorLog::linked};
};

}  // namespace

TEST_F(BrowserTest, InsertAndClearReachTheBody) {
    Page page;
    ComPtr<IDispatch> browser = ComPtr<IDispatch>::attach(page.browser());
    IDispatch* b = browser.get();
    long r = -1;
    const std::wstring markup = L"<b>x</b> & \"ä\"";
    ASSERT_EQ(ctl->WebBrowser_InsertText(&b, Bstr(markup).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(ctl->WebBrowser_Clear(&b, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(page.sent, (std::vector<std::wstring>{L"BeforeEnd|" + markup, L"innerHTML="}));

    // Without a document nothing is sent; the error is the result and logged.
    page.has_document = false;
    EXPECT_EQ((ctl->WebBrowser_InsertText(&b, Bstr(L"y").get(), &r), r), 91);
    EXPECT_EQ((ctl->WebBrowser_Clear(&b, &r), r), 91);
    EXPECT_EQ(page.sent.size(), 2u);
    EXPECT_TRUE(errors.has("WebBrowser_InsertText", 91));
    EXPECT_TRUE(errors.has("WebBrowser_Clear", 91));
}

TEST_F(BrowserTest, SourceIsTheFirstElementWithMarkup) {
    struct Case {
        std::vector<std::optional<std::wstring>> elements;
        std::wstring text;
        long index;
        std::wstring read;
    } cases[] = {
        {{L"", L"<html>a</html>", L"<head></head>"}, L"<html>a</html>", 1, L"0 1 "},
        {{std::nullopt, L"", L"<body>b</body>"}, L"<body>b</body>", 2, L"0 1 2 "},  // a failing element is passed over
        {{L"", L""}, L"", 7, L"0 1 2 "},  // none: DocumentIndex untouched; one past the end is read too
        {{}, L"", 7, L"0 "},
    };
    for (const auto& c : cases) {
        Page page;
        page.elements = c.elements;
        ComPtr<IDispatch> browser = ComPtr<IDispatch>::attach(page.browser());
        const Source s = source(browser.get(), false);
        EXPECT_EQ(s.text, c.text) << c.read;
        EXPECT_EQ(s.index, c.index) << c.read;
        EXPECT_EQ(s.error, 0) << c.read;
        EXPECT_EQ(page.read, c.read);
    }
}

TEST_F(BrowserTest, SourceWaitsWhileBusyYieldingUntilBusyFails) {
    static long ticks = 0;
    ticks = 0;
    long reads = 0;
    Page page;
    page.elements = {L"<html></html>"};
    // Busy for five reads and until the test's timer has ticked inside the wait.
    page.busy = [&] { return ++reads <= 5 || (ticks == 0 && reads < 1000000); };
    ComPtr<IDispatch> browser = ComPtr<IDispatch>::attach(page.browser());
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { ++ticks; });
    const Source s = source(browser.get(), true);
    KillTimer(nullptr, timer);
    EXPECT_GT(ticks, 0);
    EXPECT_GT(reads, 5);
    EXPECT_EQ(s.text, L"<html></html>");
    EXPECT_EQ(s.index, 0);

    // A control that can no longer say whether it is busy ends the wait.
    page.busy = []() -> bool { qm::raise(424); };
    const Source gone = source(browser.get(), true);
    EXPECT_EQ(gone.text, L"");
    EXPECT_EQ(gone.index, 7);
    EXPECT_EQ(gone.error, 424);
    EXPECT_TRUE(errors.has("WebBrowser_GetSource", 424));
}

TEST_F(BrowserTest, TheRealControlHasNoDocumentHere) {
    struct Host : forms::Form {
        Host() { set_name(L"frmBrowser"); }
    };
    ComPtr<Host> form = forms::make<Host>();
    form->show();
    ComPtr<forms::Control> web = forms::new_control(L"WebBrowser");
    ASSERT_TRUE(web);
    form->add_control(web, L"Web1");
    IDispatch* b = static_cast<IDispatch*>(web.get());
    long r = -1;
    EXPECT_EQ((ctl->WebBrowser_InsertText(&b, Bstr(L"<b>x</b>").get(), &r), r), 91);
    EXPECT_EQ((ctl->WebBrowser_Clear(&b, &r), r), 91);
    EXPECT_TRUE(errors.has("WebBrowser_InsertText", 91));
    const Source s = source(b, true);
    EXPECT_EQ(s.text, L"");
    EXPECT_EQ(s.index, 7);
    EXPECT_EQ(s.error, 0);
    form->unload();
}
