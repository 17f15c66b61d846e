// Forms: finding a loaded form by its name, caption or tag.
#include <string>

#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"
#include "windows/forms.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// collection(index): the collection's default member.
ComPtr<IDispatch> item_of(IDispatch* collection, long index) {
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = index;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    Variant value;
    EXCEPINFO ex{};
    HRESULT hr = collection->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                                    &params, value.put(), &ex, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        SysFreeString(ex.bstrSource);
        SysFreeString(ex.bstrHelpFile);
        Bstr description;
        *description.put() = ex.bstrDescription;
        long number = ex.wCode ? ex.wCode : error_number_from_hresult(ex.scode);
        raise(number, description.str());
    }
    if (FAILED(hr)) throw error_from_call(hr);
    return late::object(*value.get());
}

void set_object(IDispatch** out, IDispatch* value) {
    if (!out) return;
    if (value) value->AddRef();
    if (*out) (*out)->Release();
    *out = value;
}

}  // namespace

HRESULT Forms::Find_Form(IDispatch** pForms, BSTR Find, FormOption* FindIn, IDispatch** frm, VARIANT_BOOL* FindExact,
                         LONG* ErrorNumber, LONG* result) {
    HRESULT hr = trapped(Trap{Source::Forms, L"Find_Form", ErrorNumber}, result, -2L, [&] {
        IDispatch* forms = pForms ? *pForms : nullptr;
        if (!forms) raise(err::ObjectNotSet);
        const long in = FindIn ? static_cast<long>(*FindIn) : 0;
        const bool exact = flag_or(FindExact, true);
        std::wstring find(text_of(Find));
        if (!exact) find = LCase(find);

        struct Property {
            long bit;
            const wchar_t* name;
        };
        constexpr Property properties[] = {{ffFormName, L"Name"}, {ffFormCaption, L"Caption"}, {ffFormTag, L"Tag"}};
        int need = 0;
        for (const Property& p : properties) need += (in & p.bit) != 0;

        const long count = CLng(*late::get(forms, L"Count").get());
        for (long i = 0; i < count; ++i) {
            ComPtr<IDispatch> form = item_of(forms, i);
            int hits = 0;
            for (const Property& p : properties) {
                if (!(in & p.bit)) continue;
                std::wstring value = CStr(*late::get(form.get(), p.name).get());
                if (!exact) value = LCase(value);
                hits += value == find;
            }
            if (hits >= need) {
                set_object(frm, form.get());
                return i;
            }
        }
        set_object(frm, nullptr);
        return -1L;
    });
    if (result && *result == -2) set_object(frm, nullptr);
    return hr;
}

}  // namespace qm
