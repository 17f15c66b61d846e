// Controls: ListVew_Sort on a hosted list view, through the registered class,
// under the German locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms.h"
#include "runtime/forms_hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

Variant M() { return Variant(qmtest::v_missing()); }
ComPtr<IDispatch> obj(const Variant& v) { return late::object(*v.get()); }

// Hands every call on to a list view without owning up to being the engine's
// object: the sort then takes the late-bound way of any other list view.
class Stranger final : public IDispatch {
public:
    explicit Stranger(IDispatch* inner) : inner_(inner) { inner_->AddRef(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return *out = this, S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs_) return refs_;
        inner_->Release();
        delete this;
        return 0;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                     UINT* a) override {
        return inner_->Invoke(id, r, l, f, p, v, e, a);
    }

private:
    ~Stranger() = default;
    IDispatch* inner_;
    ULONG refs_ = 1;
};

class ListViewSortTest : public testing::Test {
protected:
    void SetUp() override {
        ComPtr<IDispatch> d = qmtest::create(L"Quillmark.Controls");
        ASSERT_TRUE(d);
        controls = d.query<_Controls>();
        form = forms::make<forms::Form>();
        form->load();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    // Items named n1, n2, ... with the values in the second column.
    // On a new list view with the columns Name and Wert.
    void fill(std::initializer_list<const wchar_t*> values) {
        ComPtr<forms::Control> c = forms::new_control(L"ListView");
        form->add_control(c, L"List" + std::to_wstring(++lists));
        view = static_cast<IDispatch*>(c.get());
        if (late_bound) {
            ComPtr<IDispatch> proxy;
            *proxy.put() = new Stranger(view);
            stranger = proxy;
            view = stranger.get();
        }
        columns = obj(late::get(view, L"ColumnHeaders"));
        items = obj(late::get(view, L"ListItems"));
        for (const wchar_t* t : {L"Name", L"Wert"}) late::call(columns.get(), L"Add", {M(), M(), v_str(t), v_long(900)});
        int i = 0;
        for (const wchar_t* v : values) {
            std::wstring name = L"n" + std::to_wstring(++i);
            ComPtr<IDispatch> item = obj(late::call(items.get(), L"Add", {M(), M(), v_str(name.c_str())}));
            late::put(item.get(), L"SubItems", v_str(v), {v_long(1)});
        }
    }
    long sort(long column, long by) {
        long r = -1;
        ListViewSort s = static_cast<ListViewSort>(by);
        EXPECT_EQ(controls->ListVew_Sort(&view, &column, &s, &r), S_OK);
        EXPECT_EQ(CLng(*late::get(columns.get(), L"Count").get()), 2);  // the sort column is gone
        return r;
    }
    std::wstring column(long c) {
        std::wstring out;
        for (long i = 1, n = CLng(*late::get(items.get(), L"Count").get()); i <= n; ++i) {
            ComPtr<IDispatch> item = obj(late::get(items.get(), L"Item", {v_long(i)}));
            out += CStr(*(c == 1 ? late::get(item.get(), L"Text") : late::get(item.get(), L"SubItems", {v_long(c - 1)})).get()) + L" ";
        }
        return out;
    }
    ComPtr<_Controls> controls;
    ComPtr<forms::Form> form;
    IDispatch* view = nullptr;
    int lists = 0;
    bool late_bound = false;  // sort through a stranger to the engine
    ComPtr<IDispatch> columns, items, stranger;
};

TEST_F(ListViewSortTest, NumbersDatesAndTexts) {
    struct Case {
        std::initializer_list<const wchar_t*> values;
        long by;
        const wchar_t* expected;
    } cases[] = {
        {{L"10", L"9", L"100"}, lsSortByNumASCending, L"9 10 100 "},
        {{L"10", L"9", L"100"}, lsSortByNumDEScending, L"100 10 9 "},
        {{L"3", L"-5", L"2,5", L"x", L"-0,25", L"12345678901234567890123"}, lsSortByNumASCending,
         L"-5 -0,25 2,5 3 12345678901234567890123 x "},
        {{L"01.02.2024", L"31.12.2023 23:59", L"1.2.2024 08:00"}, lsSortByDateASCending,
         L"31.12.2023 23:59 01.02.2024 1.2.2024 08:00 "},
        {{L"01.02.2024", L"31.12.2023 23:59", L"1.2.2024 08:00"}, lsSortByDateDEScending,
         L"1.2.2024 08:00 01.02.2024 31.12.2023 23:59 "},
        {{L"b", L"C", L"a"}, lsSortASCending, L"a b C "},
        {{L"b", L"C", L"a"}, lsSortDEScending, L"C b a "},
    };
    for (bool through_late_binding : {false, true}) {
        SCOPED_TRACE(through_late_binding ? "late-bound" : "engine");
        late_bound = through_late_binding;
        for (const Case& c : cases) {
            fill(c.values);
            EXPECT_EQ(sort(2, c.by), 0);
            EXPECT_EQ(column(2), c.expected);
            EXPECT_EQ(CLng(*late::get(view, L"SortKey").get()), c.by == lsSortASCending || c.by == lsSortDEScending ? 1 : 2);
        }
        fill({L"b", L"c", L"a"});  // names n1 n2 n3, by the item text
        EXPECT_EQ(sort(1, lsSortDEScending), 0);
        EXPECT_EQ(column(1), L"n3 n2 n1 ");
        fill({L"2", L"x", L"1"});  // a column past the last: empty cells, order kept
        EXPECT_EQ(sort(3, lsSortByNumASCending), 0);
        EXPECT_EQ(column(2), L"2 x 1 ");
    }
}

TEST_F(ListViewSortTest, FailuresLeaveTheColumnsAsTheyWere) {
    for (bool through_late_binding : {false, true}) {
        SCOPED_TRACE(through_late_binding ? "late-bound" : "engine");
        late_bound = through_late_binding;
        fill({L"01.02.2024", L"kein Datum"});
        EXPECT_EQ(sort(2, lsSortByDateASCending), 13);
        EXPECT_EQ(column(2), L"01.02.2024 kein Datum ");
        EXPECT_EQ(sort(2, 3), 0);
        EXPECT_EQ(sort(0, lsSortASCending), 380);
        EXPECT_EQ(sort(4, lsSortByNumASCending), 380);
    }
}

}  // namespace
