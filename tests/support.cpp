#include "support.h"

#include <vector>

namespace qmtest {

std::wstring scratch() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QM_SCRATCH", buf, MAX_PATH);
    std::wstring s = n ? std::wstring(buf, n) : std::wstring(L"C:\\qm-scratch\\");
    if (s.back() != L'\\') s += L'\\';
    CreateDirectoryW(s.c_str(), nullptr);
    return s;
}

qm::ComPtr<IDispatch> create(const wchar_t* progid) {
    CLSID clsid;
    qm::ComPtr<IDispatch> d;
    if (SUCCEEDED(CLSIDFromProgID(progid, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.put_void());
    return d;
}

HRESULT call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args, VARIANT* result,
             EXCEPINFO* excep, WORD flags) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> rev;
    for (auto it = args.end(); it != args.begin();) rev.push_back(**--it);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rev.data(), nullptr, static_cast<UINT>(rev.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        dp.rgdispidNamedArgs = &put;
        dp.cNamedArgs = 1;
    }
    EXCEPINFO local{};
    UINT arg_err = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, excep ? excep : &local, &arg_err);
    if (!excep) {
        SysFreeString(local.bstrSource);
        SysFreeString(local.bstrDescription);
        SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

qm::Variant v_long(long v) {
    qm::Variant r;
    V_VT(r.get()) = VT_I4;
    V_I4(r.get()) = v;
    return r;
}
qm::Variant v_str(const wchar_t* s) {
    qm::Variant r;
    V_VT(r.get()) = VT_BSTR;
    V_BSTR(r.get()) = SysAllocString(s);
    return r;
}
qm::Variant v_double(double d) {
    qm::Variant r;
    V_VT(r.get()) = VT_R8;
    V_R8(r.get()) = d;
    return r;
}
qm::Variant v_bool(bool b) {
    qm::Variant r;
    V_VT(r.get()) = VT_BOOL;
    V_BOOL(r.get()) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
VARIANT v_ref(qm::Variant& target) {
    VARIANT v{};
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target.get();
    return v;
}
VARIANT v_missing() {
    VARIANT v{};
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

}  // namespace qmtest
