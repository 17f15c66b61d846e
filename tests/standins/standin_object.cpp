#include "standin.h"

#include <cwctype>

namespace standin {

LONG g_objects = 0;

namespace {
// Answers QueryInterface with the object itself, for Object::of.
// {99A4D41C-488E-4AD4-915B-6BA7962F6804}
constexpr IID IID_StandinObject = {0x99a4d41c, 0x488e, 0x4ad4, {0x91, 0x5b, 0x6b, 0xa7, 0x96, 0x2f, 0x68, 0x04}};
}  // namespace

void fail(long number, std::wstring text) { throw Fail{MAKE_HRESULT(1, FACILITY_CONTROL, number), std::move(text)}; }
void fail_hr(HRESULT code, std::wstring text) { throw Fail{code, std::move(text)}; }

std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

const VARIANT& deref(const VARIANT& v) {
    const VARIANT* p = &v;
    while (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
    return *p;
}

bool is_omitted(const VARIANT& v) {
    const VARIANT& d = deref(v);
    return V_VT(&d) == VT_ERROR && V_ERROR(&d) == DISP_E_PARAMNOTFOUND;
}

std::wstring text_of(const VARIANT& v) {
    const VARIANT& d = deref(v);
    if (V_VT(&d) == VT_NULL || V_VT(&d) == VT_EMPTY) return {};
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&d), VARIANT_ALPHABOOL, VT_BSTR))) fail(13, L"Type mismatch");
    std::wstring s(V_BSTR(&t), SysStringLen(V_BSTR(&t)));
    VariantClear(&t);
    return s;
}

long long_of(const VARIANT& v) {
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&deref(v)), 0, VT_I4))) fail(13, L"Type mismatch");
    return V_I4(&t);
}

const VARIANT& Call::arg(size_t i) const {
    if (i >= args.size() || is_omitted(*args[i])) fail(449, L"Argument not optional");
    return *args[i];
}

const VARIANT& Call::set_value() const {
    if (!value) fail(450, L"Wrong number of arguments or invalid property assignment");
    return *value;
}

void ret_long(VARIANT* result, long v) {
    if (result) V_VT(result) = VT_I4, V_I4(result) = v;
}
void ret_bool(VARIANT* result, bool v) {
    if (result) V_VT(result) = VT_BOOL, V_BOOL(result) = v ? VARIANT_TRUE : VARIANT_FALSE;
}
void ret_text(VARIANT* result, const std::wstring& v) {
    if (result) V_VT(result) = VT_BSTR, V_BSTR(result) = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
}
void ret_object(VARIANT* result, IDispatch* owned) {
    if (result)
        V_VT(result) = VT_DISPATCH, V_DISPATCH(result) = owned;
    else if (owned)
        owned->Release();
}
void ret_copy(VARIANT* result, const VARIANT& v) {
    if (result) VariantCopy(result, const_cast<VARIANT*>(&v));
}

Object::Object(std::initializer_list<const wchar_t*> names, DISPID default_member)
    : names_(names), default_(default_member) {
    InterlockedIncrement(&g_objects);
}

Object::~Object() { InterlockedDecrement(&g_objects); }

HRESULT Object::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_StandinObject)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG Object::AddRef() { return InterlockedIncrement(&refs_); }

ULONG Object::Release() {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

HRESULT Object::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT Object::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (out) *out = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT Object::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (size_t i = 0; i < names_.size(); ++i)
        if (_wcsicmp(names_[i], names[0]) == 0) {
            ids[0] = static_cast<DISPID>(i + 1);
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    return DISP_E_UNKNOWNNAME;
}

HRESULT Object::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                       UINT*) {
    if (id == DISPID_VALUE) id = default_;
    if (id < 1 || id > static_cast<DISPID>(names_.size())) return DISP_E_MEMBERNOTFOUND;
    Call call;
    call.flags = flags;
    UINT positional = params ? params->cArgs : 0;
    if (params && params->cNamedArgs) {
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_NONAMEDARGS;
        call.value = &deref(params->rgvarg[0]);
        --positional;
    }
    for (UINT i = positional; i > 0; --i) call.args.push_back(&deref(params->rgvarg[i - 1 + (call.value ? 1 : 0)]));
    if (result) VariantInit(result);
    AddRef();  // the object outlives its own call even when the call drops the last outside reference
    HRESULT hr = S_OK;
    try {
        invoke(id, call, result);
    } catch (const Fail& f) {
        if (result) VariantClear(result);
        if (excep) {
            *excep = EXCEPINFO{};
            excep->bstrSource = SysAllocString(L"QuillmarkTest");
            excep->bstrDescription = f.text.empty() ? nullptr : SysAllocString(f.text.c_str());
            excep->scode = f.code;
        }
        hr = DISP_E_EXCEPTION;
    } catch (const Refusal& r) {
        if (result) VariantClear(result);
        hr = r.code;
    } catch (...) {
        if (result) VariantClear(result);
        hr = E_UNEXPECTED;
    }
    Release();
    return hr;
}

Object* Object::of(IUnknown* unknown) {
    IDispatch* d = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_StandinObject, reinterpret_cast<void**>(&d)))) return nullptr;
    d->Release();  // the caller holds its own reference
    return static_cast<Object*>(d);
}

}  // namespace standin
