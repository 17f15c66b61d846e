#include "runtime/latebind.h"

#include "runtime/latebind_bound.h"

#include <dispex.h>
#include <olectl.h>

#include <utility>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"

namespace qm::late {

namespace {

// A standard font's properties have fixed DISPIDs. The system's font answers a
// name by loading its type library, and Wine registers that library anew at each
// load, keeping three keys of the other registry view's classes open for good.
bool font_id(IDispatch* object, std::wstring_view name, DISPID& id) noexcept {
    static constexpr std::pair<std::wstring_view, DISPID> kFont[] = {
        {L"Name", DISPID_FONT_NAME},     {L"Size", DISPID_FONT_SIZE},    {L"Bold", DISPID_FONT_BOLD},
        {L"Italic", DISPID_FONT_ITALIC}, {L"Underline", DISPID_FONT_UNDER}, {L"Strikethrough", DISPID_FONT_STRIKE},
        {L"Weight", DISPID_FONT_WEIGHT}, {L"Charset", DISPID_FONT_CHARSET}};
    for (const auto& [n, d] : kFont) {
        if (CompareStringOrdinal(n.data(), static_cast<int>(n.size()), name.data(), static_cast<int>(name.size()),
                                 TRUE) != CSTR_EQUAL)
            continue;
        ComPtr<IFont> font;
        if (FAILED(object->QueryInterface(IID_IFont, font.put_void()))) return false;
        id = d;
        return true;
    }
    return false;
}

// A member's DISPID by name. A script's own object (a VBScript class instance)
// answers GetIDsOfNames with E_NOTIMPL; its IDispatchEx finds the name instead.
HRESULT find_id(IDispatch* object, std::wstring_view name, DISPID& id) noexcept {
    if (font_id(object, name, id)) return S_OK;
    std::wstring n(name);
    LPOLESTR p = n.data();
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &p, 1, LOCALE_USER_DEFAULT, &id);
    if (hr != E_NOTIMPL) return hr;
    ComPtr<IDispatchEx> ex;
    if (FAILED(object->QueryInterface(__uuidof(IDispatchEx), ex.put_void()))) return hr;
    BSTR b = SysAllocStringLen(n.data(), static_cast<UINT>(n.size()));
    if (!b) return E_OUTOFMEMORY;
    hr = ex->GetDispID(b, fdexNameCaseInsensitive, &id);
    SysFreeString(b);
    return hr;
}

DISPID id_of(IDispatch* object, std::wstring_view name) {
    if (!object) raise(err::ObjectNotSet);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = find_id(object, name, id);
    if (FAILED(hr)) throw error_from_call(hr);
    return id;
}

// The run-time error behind a failed Invoke.
[[noreturn]] void raise_invoke(HRESULT hr, EXCEPINFO& ex) {
    if (hr == DISP_E_EXCEPTION) {
        if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
        std::wstring description = ex.bstrDescription ? std::wstring(ex.bstrDescription, SysStringLen(ex.bstrDescription))
                                                      : std::wstring();
        long number = ex.wCode ? ex.wCode : error_number_from_hresult(ex.scode);
        SysFreeString(ex.bstrSource);
        SysFreeString(ex.bstrDescription);
        SysFreeString(ex.bstrHelpFile);
        if (description.empty()) raise(number);
        raise(number, std::move(description));
    }
    throw error_from_call(hr);
}

Variant invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<Variant> args, const VARIANT* value) {
    // Arguments go in reverse order; the put value (named DISPID_PROPERTYPUT) first.
    std::vector<VARIANT> list;
    if (value) list.push_back(*value);
    for (auto it = args.end(); it != args.begin();) {
        --it;
        list.push_back(*it->get());
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{list.data(), value ? &named : nullptr, static_cast<UINT>(list.size()), value ? 1u : 0u};
    Variant result;
    EXCEPINFO ex{};
    UINT arg_err = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, value ? nullptr : result.put(), &ex,
                                &arg_err);
    if (FAILED(hr)) raise_invoke(hr, ex);
    return result;
}

Variant invoke(IDispatch* object, std::wstring_view name, WORD flags, std::initializer_list<Variant> args,
               const VARIANT* value) {
    return invoke(object, id_of(object, name), flags, args, value);
}

}  // namespace

Variant get(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args) {
    return invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr);
}

void put(IDispatch* object, std::wstring_view name, const Variant& value, std::initializer_list<Variant> args) {
    invoke(object, name, DISPATCH_PROPERTYPUT, args, value.get());
}

void put_ref(IDispatch* object, std::wstring_view name, IDispatch* value) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = value;  // borrowed for the call
    invoke(object, name, DISPATCH_PROPERTYPUTREF, {}, &v);
}

Variant call(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args) {
    return invoke(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, nullptr);
}

ComPtr<IDispatch> create(std::wstring_view progid) {
    std::wstring name(progid);
    CLSID clsid;
    ComPtr<IDispatch> d;
    if (FAILED(CLSIDFromProgID(name.c_str(), &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                d.put_void())) ||
        !d)
        raise(err::CantCreateObject);
    return d;
}

ComPtr<IDispatch> object(const VARIANT& value) {
    const VARIANT& v = deref(value);
    IUnknown* unknown = nullptr;
    if (V_VT(&v) == VT_DISPATCH || V_VT(&v) == VT_UNKNOWN) unknown = V_UNKNOWN(&v);
    else if (V_VT(&v) == (VT_DISPATCH | VT_BYREF) || V_VT(&v) == (VT_UNKNOWN | VT_BYREF)) unknown = *V_UNKNOWNREF(&v);
    else raise(err::ObjectRequired);
    if (!unknown) raise(err::ObjectNotSet);
    ComPtr<IDispatch> d;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, d.put_void()))) raise(err::ObjectRequired);
    return d;
}

Variant value_of(const VARIANT& value) {
    Variant v(deref(value));
    for (int depth = 0; depth < 8 && (v.vt() == VT_DISPATCH || v.vt() == VT_UNKNOWN); ++depth) {
        ComPtr<IDispatch> d = object(*v.get());
        DISPPARAMS none{};
        Variant next;
        EXCEPINFO ex{};
        HRESULT hr = d->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                               &none, next.put(), &ex, nullptr);
        if (FAILED(hr)) raise_invoke(hr, ex);
        if (next.vt() == VT_DISPATCH && V_DISPATCH(next.get()) == d.get()) raise(err::NotSupported);
        v = std::move(next);
    }
    return v;
}

bool try_get(IDispatch* object, std::wstring_view name, Variant& value) noexcept {
    return skipping_errors([&] { value = get(object, name); });
}

bool try_put(IDispatch* object, std::wstring_view name, const Variant& value) noexcept {
    return skipping_errors([&] { put(object, name, value); });
}

bool has_member(IDispatch* object, std::wstring_view name) noexcept {
    if (!object) return false;
    DISPID id;
    return SUCCEEDED(find_id(object, name, id));
}

std::wstring type_name(IDispatch* object) {
    if (!object) return L"Nothing";
    if (forms::Object* o = forms::object_of(object)) return o->type_name();
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return {};
    BSTR name = nullptr;
    if (FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) return {};
    std::wstring n = Bstr::attach(name).str();
    if (!n.empty() && n[0] == L'_') n.erase(0, 1);  // the runtime strips a class interface's underscore
    return n;
}

bool is_type(IDispatch* object, std::wstring_view type) {
    std::wstring n = type_name(object);
    return n.size() == type.size() &&
           CompareStringOrdinal(n.data(), static_cast<int>(n.size()), type.data(), static_cast<int>(type.size()),
                                TRUE) == CSTR_EQUAL;
}

namespace {
bool window_class_ends_with(IDispatch* object, std::wstring_view suffix) {
    Variant h;
    if (!try_get(object, L"hWnd", h)) return false;
    HWND hwnd = nullptr;
    try {
        hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(*h.get())));
    } catch (...) {
        return false;
    }
    wchar_t cls[256] = {};
    if (!hwnd || !GetClassNameW(hwnd, cls, 256)) return false;
    std::wstring_view c(cls);
    return c.size() >= suffix.size() &&
           CompareStringOrdinal(c.data() + c.size() - suffix.size(), static_cast<int>(suffix.size()), suffix.data(),
                                static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL;
}
}  // namespace

bool is_list_box(IDispatch* object) {
    if (!object) return false;
    if (is_type(object, L"ListBox")) return true;
    if (forms::object_of(object)) return false;
    // A runtime's drive and file list boxes carry "ListBox" in their class names but are neither.
    return window_class_ends_with(object, L"ListBox") && !window_class_ends_with(object, L"DriveListBox") &&
           !window_class_ends_with(object, L"FileListBox");
}

bool is_combo_box(IDispatch* object) {
    if (!object) return false;
    if (is_type(object, L"ComboBox")) return true;
    if (forms::object_of(object)) return false;
    return window_class_ends_with(object, L"ComboBox");
}

Bound::Bound(IDispatch* object, std::wstring_view name)
    : object_(object), id_(name.empty() ? DISPID_VALUE : id_of(object, name)) {
    if (!object) raise(err::ObjectNotSet);
}

Variant Bound::get() const {
    DISPPARAMS none{};
    Variant result;
    EXCEPINFO ex{};
    HRESULT hr = object_->Invoke(id_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none,
                                 result.put(), &ex, nullptr);
    if (FAILED(hr)) raise_invoke(hr, ex);
    return result;
}

Variant Bound::get(std::initializer_list<Variant> args) const {
    return invoke(object_.get(), id_, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr);
}

void Bound::put(const Variant& value, std::initializer_list<Variant> args) const {
    invoke(object_.get(), id_, DISPATCH_PROPERTYPUT, args, value.get());
}

Variant Bound::call(std::initializer_list<Variant> args) const {
    return invoke(object_.get(), id_, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, nullptr);
}

bool is_form(IDispatch* object) { return dynamic_cast<forms::Form*>(forms::object_of(object)) != nullptr; }

}  // namespace qm::late
