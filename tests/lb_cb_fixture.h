// The fixture of the LB_CB tests that go through the registered class: the class,
// and a form of the forms engine with the test's boxes, loaded (or shown) for each
// test and unloaded after it.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

namespace qmtest {

using Texts = std::vector<std::wstring>;
using Data = std::vector<long>;

// The data fill() gives items when the test gives none: 0, or 1, 2, 3, ...
enum class ItemData { zero, counted };

template <class BoxForm, ItemData kItemData = ItemData::zero, bool kShown = false>
class LbCbFixture : public testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.LB_CB");
        ASSERT_TRUE(disp);
        lb = disp.template query<_LB_CB>();
        ASSERT_TRUE(lb);
        form = qm::forms::make<BoxForm>();
        if (kShown)
            form->show();
        else
            form->load();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* box(const wchar_t* name) { return &form->template get<qm::forms::Control>(name); }
    IDispatch* list() { return box(L"List1"); }
    IDispatch* combo() { return box(L"Combo1"); }
    IDispatch* text_box() { return box(L"Text1"); }
    HWND window(const wchar_t* name) { return form->template get<qm::forms::Control>(name).hwnd(); }
    // The box's window handle as its hwnd property gives it.
    long handle(const wchar_t* name) { return qm::CLng(qm::late::get(box(name), L"hwnd")); }

    void fill(IDispatch* b, const Texts& texts, const Data& data = {}) {
        qm::late::call(b, L"Clear");
        for (size_t i = 0; i < texts.size(); ++i) {
            qm::late::call(b, L"AddItem", {qm::Variant(texts[i])});
            if (data.empty() && kItemData == ItemData::zero) continue;
            const long d = data.empty() ? static_cast<long>(i + 1) : data[i];
            qm::late::put(b, L"ItemData", qm::Variant(d), {qm::late::get(b, L"NewIndex")});
        }
    }
    void fill(const wchar_t* name, const Texts& texts, const Data& data = {}) { fill(box(name), texts, data); }
    Texts texts(IDispatch* b) {
        Texts out;
        for (long i = 0, n = qm::CLng(qm::late::get(b, L"ListCount")); i < n; ++i)
            out.push_back(qm::CStr(qm::late::get(b, L"List", {v_long(i)})));
        return out;
    }
    Texts texts(const wchar_t* name) { return texts(box(name)); }
    Data data(IDispatch* b) {
        Data out;
        for (long i = 0, n = qm::CLng(qm::late::get(b, L"ListCount")); i < n; ++i)
            out.push_back(qm::CLng(qm::late::get(b, L"ItemData", {v_long(i)})));
        return out;
    }

    qm::ComPtr<IDispatch> disp;
    qm::ComPtr<_LB_CB> lb;
    qm::ComPtr<BoxForm> form;
};

}  // namespace qmtest
