#include "runtime/wmi.h"

#include <objbase.h>

#include "runtime/bstr.h"
#include "runtime/errors.h"
#include "runtime/latebind.h"

namespace qm::wmi {

namespace {

DISPID id_of(IDispatch* object, std::wstring_view name) {
    if (!object) raise(err::ObjectNotSet);
    std::wstring n(name);
    LPOLESTR names[] = {n.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) raise(err::NotSupported);
    check(hr);
    return id;
}

Variant invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Variant> args) {
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();) reversed.push_back(*(--it)->get());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant result;
    EXCEPINFO excep{};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.put(), &excep, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        Bstr source = Bstr::attach(excep.bstrSource);
        Bstr description = Bstr::attach(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        hr = excep.scode ? excep.scode : E_FAIL;
        if (!description.empty()) throw RuntimeError(error_from_hresult(hr).number(), description.str());
    }
    if (hr == DISP_E_MEMBERNOTFOUND) raise(err::NotSupported);
    check(hr);
    return result;
}

}  // namespace

namespace {

std::wstring g_namespace_override;

bool is_winmgmts(const std::wstring& name) {
    return name.size() >= 9 && CompareStringOrdinal(name.c_str(), 9, L"winmgmts:", 9, TRUE) == CSTR_EQUAL;
}

}  // namespace

void set_namespace_override(std::wstring_view name_space) { g_namespace_override = name_space; }

ComPtr<IDispatch> bind(std::wstring_view moniker) {
    std::wstring name(moniker);
    const bool winmgmts = is_winmgmts(name);
    if (!g_namespace_override.empty() && winmgmts) name = L"winmgmts:\\\\.\\" + g_namespace_override;
    ComPtr<IBindCtx> ctx;
    check(CreateBindCtx(0, ctx.put()));
    ComPtr<IMoniker> mk;
    ULONG eaten = 0;
    // The moniker's class parses the name, made in this process. Asked through
    // MkParseDisplayName, the system first looks for a local server of the class
    // in the other registry view, and Wine keeps two keys of that view's classes
    // open for good at each look.
    CLSID clsid;
    ComPtr<IParseDisplayName> parser;
    if (winmgmts && SUCCEEDED(CLSIDFromProgID(L"winmgmts", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IParseDisplayName, parser.put_void())))
        check(parser->ParseDisplayName(ctx.get(), name.data(), &eaten, mk.put()));
    else
        check(MkParseDisplayName(ctx.get(), name.c_str(), &eaten, mk.put()));
    ComPtr<IDispatch> object;
    check(mk->BindToObject(ctx.get(), nullptr, IID_IDispatch, object.put_void()));
    if (!object) raise(err::CantCreateObject);
    return object;
}

std::vector<ComPtr<IDispatch>> items(IDispatch* collection) {
    if (!collection) raise(err::ObjectNotSet);
    Variant e = invoke(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
    ComPtr<IEnumVARIANT> it;
    if (e.vt() == VT_UNKNOWN || e.vt() == VT_DISPATCH)
        if (IUnknown* u = V_UNKNOWN(e.get())) u->QueryInterface(IID_IEnumVARIANT, it.put_void());
    if (!it) raise(err::NotSupported);
    std::vector<ComPtr<IDispatch>> out;
    for (;;) {
        Variant item;
        ULONG fetched = 0;
        HRESULT hr = it->Next(1, item.put(), &fetched);
        check(hr);
        if (hr != S_OK || fetched == 0) break;
        ComPtr<IDispatch> d;
        if (item.vt() == VT_DISPATCH || item.vt() == VT_UNKNOWN)
            if (IUnknown* u = V_UNKNOWN(item.get())) u->QueryInterface(IID_IDispatch, d.put_void());
        if (d) out.push_back(std::move(d));
    }
    return out;
}

namespace {
std::vector<ComPtr<IDispatch>> collection_items(Variant set) {
    if (set.vt() != VT_DISPATCH || !V_DISPATCH(set.get())) raise(err::ObjectRequired);
    return items(V_DISPATCH(set.get()));
}
Variant text_arg(std::wstring_view s) {
    Variant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = Bstr(s).detach();
    return v;
}
}  // namespace

std::vector<ComPtr<IDispatch>> instances_of(IDispatch* services, std::wstring_view cls) {
    return collection_items(call(services, L"InstancesOf", {text_arg(cls)}));
}

std::vector<ComPtr<IDispatch>> exec_query(IDispatch* services, std::wstring_view wql) {
    return collection_items(call(services, L"ExecQuery", {text_arg(wql)}));
}

Variant get(IDispatch* object, std::wstring_view name) {
    // Both flags, as script engines pass them: WMI's objects answer property
    // reads only so.
    return invoke(object, id_of(object, name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
}

Variant call(IDispatch* object, std::wstring_view method, std::initializer_list<Variant> args) {
    return invoke(object, id_of(object, method), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

ComPtr<IDispatch> exec_method(IDispatch* object, std::wstring_view method, std::initializer_list<Input> inputs) {
    Variant out;
    if (inputs.size() == 0) {
        out = call(object, L"ExecMethod_", {text_arg(method)});
    } else {
        Variant methods = get(object, L"Methods_");
        ComPtr<IDispatch> signature =
            late::object(*call(late::object(*methods.get()).get(), L"Item", {text_arg(method)}).get());
        ComPtr<IDispatch> parameters = late::object(*get(signature.get(), L"InParameters").get());
        // An instance of the input class; Wine cannot spawn one but takes the
        // class itself with its values set.
        Variant instance;
        if (late::skipping_errors([&] { instance = call(parameters.get(), L"SpawnInstance_"); }) &&
            instance.vt() == VT_DISPATCH && V_DISPATCH(instance.get()))
            parameters = late::object(*instance.get());
        for (const Input& in : inputs) late::put(parameters.get(), in.name, in.value);
        out = call(object, L"ExecMethod_", {text_arg(method), Variant(parameters.get())});
    }
    ComPtr<IDispatch> result;
    if ((out.vt() == VT_DISPATCH || out.vt() == VT_UNKNOWN) && V_UNKNOWN(out.get()))
        V_UNKNOWN(out.get())->QueryInterface(IID_IDispatch, result.put_void());
    return result;
}

std::wstring to_text(const VARIANT& v) {
    if (V_VT(&v) == VT_NULL || V_VT(&v) == VT_EMPTY) return {};
    if (V_VT(&v) == VT_BSTR) return std::wstring(Bstr::view_of(V_BSTR(&v)));
    Variant s;
    check(VariantChangeTypeEx(s.put(), const_cast<VARIANT*>(&v), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR));
    return std::wstring(Bstr::view_of(V_BSTR(s.get())));
}

std::wstring text(IDispatch* object, std::wstring_view name) { return to_text(*get(object, name).get()); }

Variant get_or_empty(IDispatch* object, std::wstring_view name) {
    if (!object) raise(err::ObjectNotSet);
    std::wstring n(name);
    LPOLESTR names[] = {n.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    // The class has no such property: WMI answers with an unknown name or its
    // own "not found".
    constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(0x80041002);
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND || hr == kWbemNotFound) return Variant();
    check(hr);
    try {
        return invoke(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
    } catch (const RuntimeError& e) {
        if (e.number() == err::NotSupported || e.number() == error_from_hresult(kWbemNotFound).number())
            return Variant();
        throw;
    }
}

std::wstring text_or_empty(IDispatch* object, std::wstring_view name) {
    return to_text(*get_or_empty(object, name).get());
}

}  // namespace qm::wmi
