#include "runtime/forms/object.h"

#include <map>
#include <mutex>

#include "runtime/com_object.h"
#include "runtime/convert.h"
#include "runtime/module.h"

namespace qm::forms {

// --- arguments ------------------------------------------------------------------

Args::Args(DISPPARAMS* params) noexcept : p_(params) {
    count_ = params ? params->cArgs - params->cNamedArgs : 0;
}

bool Args::has(size_t i) const noexcept {
    if (i >= count_) return false;
    const VARIANT& v = deref(p_->rgvarg[p_->cArgs - 1 - i]);
    return !(V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND);
}

const VARIANT& Args::at(size_t i) const {
    if (!has(i)) raise(449);  // argument not optional
    return deref(p_->rgvarg[p_->cArgs - 1 - i]);
}

long Args::lng(size_t i) const { return CLng(at(i)); }
float Args::sng(size_t i) const { return CSng(at(i)); }
bool Args::boolean(size_t i) const { return CBool(at(i)); }
std::wstring Args::str(size_t i) const { return CStr(at(i)); }

IDispatch* Args::obj(size_t i) const {
    const VARIANT& v = at(i);
    if (V_VT(&v) == VT_DISPATCH) return V_DISPATCH(&v);
    if (V_VT(&v) == (VT_DISPATCH | VT_BYREF)) return *V_DISPATCHREF(&v);
    if (V_VT(&v) == VT_UNKNOWN || V_VT(&v) == VT_EMPTY) return nullptr;
    raise(err::TypeMismatch);
}

// --- member tables --------------------------------------------------------------

Table::Table(std::vector<const Table*> bases, std::vector<Member> own, const wchar_t* default_member) {
    flat_ = std::move(own);
    for (const Table* base : bases)
        for (const Member& m : base->flat_) {
            DISPID ignored;
            if (!find(m.name, &ignored)) flat_.push_back(m);
        }
    if (default_member) find(default_member, &default_);
    else
        for (const Table* base : bases)
            if (base->default_ != DISPID_UNKNOWN && default_ == DISPID_UNKNOWN)
                find(base->flat_[base->default_ - 1].name, &default_);
}

const Member* Table::find(std::wstring_view name, DISPID* id) const noexcept {
    for (size_t i = 0; i < flat_.size(); ++i) {
        const wchar_t* n = flat_[i].name;
        if (wcslen(n) == name.size() &&
            CompareStringOrdinal(n, -1, name.data(), static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
            *id = static_cast<DISPID>(i + 1);
            return &flat_[i];
        }
    }
    return nullptr;
}

const Member* Table::at(DISPID id) const noexcept {
    if (id < 1 || static_cast<size_t>(id) > flat_.size()) return nullptr;
    return &flat_[id - 1];
}

// --- the object -----------------------------------------------------------------

Object::Object() { object_created(); }
Object::~Object() { object_destroyed(); }

HRESULT STDMETHODCALLTYPE Object::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_FormsObject)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Object::AddRef() { return InterlockedIncrement(&refs_); }

ULONG STDMETHODCALLTYPE Object::Release() {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE Object::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

namespace {

// An empty dispinterface named after the object's type, so that a client's
// TypeName reads "ListBox", "Form", ...; made once per name in memory.
ITypeInfo* named_type_info(const wchar_t* name) {
    static std::mutex lock;
    static std::map<std::wstring, ComPtr<ITypeInfo>> cache;
    std::lock_guard hold(lock);
    auto it = cache.find(name);
    if (it != cache.end()) return it->second.get();
    ComPtr<ITypeInfo> info;
    ComPtr<ICreateTypeLib2> lib;
    if (SUCCEEDED(CreateTypeLib2(SYS_WIN32, L"QmFormsTypes.tlb", lib.put()))) {
        ComPtr<ICreateTypeInfo> ti;
        if (SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, ti.put()))) {
            ti->LayOut();
            ti->QueryInterface(IID_ITypeInfo, info.put_void());
        }
    }
    return cache.emplace(name, info).first->second.get();
}

HRESULT fill_exception(const RuntimeError& e, EXCEPINFO* excep) {
    HRESULT hr = e.report();
    if (!excep) return hr;
    *excep = EXCEPINFO{};
    excep->bstrSource = SysAllocString(L"Quillmark");
    excep->bstrDescription = SysAllocString(e.description().c_str());
    excep->scode = hr;
    return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT STDMETHODCALLTYPE Object::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* info = named_type_info(type_name());
    if (!info) return E_NOTIMPL;
    info->AddRef();
    *out = info;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Object::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    std::wstring_view name(names[0] ? names[0] : L"");
    HRESULT hr = S_OK;
    if (!table().find(name, &ids[0])) {
        try {
            ids[0] = dynamic_id(name);
        } catch (...) {
            ids[0] = DISPID_UNKNOWN;
        }
        if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    for (UINT i = 1; i < count; ++i) {  // named arguments are not supported
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

Variant Object::invoke(DISPID id, WORD flags, DISPPARAMS* params) {
    touched();
    Args args(params);
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put && (!params || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        raise(450);
    const VARIANT* value = put ? &deref(params->rgvarg[0]) : nullptr;

    if (id == DISPID_NEWENUM) {
        ComPtr<IEnumVARIANT> e = enumerate();
        Variant r;
        V_VT(r.get()) = VT_UNKNOWN;
        V_UNKNOWN(r.get()) = e.detach();
        return r;
    }
    if (id == DISPID_VALUE) {
        id = table().default_id();
        // No value of its own: a caller that asks for one (a conversion to a
        // text or a number) is refused, as it would be given the object again.
        if (id == DISPID_UNKNOWN) raise(err::NotSupported);
    }
    if (id >= kDynamic) {
        if (put) {
            dynamic_put(id, args, *value);
            return {};
        }
        return dynamic_get(id, args);
    }
    const Member* m = table().at(id);
    if (!m) raise(err::NotSupported);
    if (put) {
        if (!m->put) raise(ferr::ReadOnly, L"Property is read-only");
        m->put(*this, args, *value);
        return {};
    }
    if (!m->get) raise(err::NotSupported);
    return m->get(*this, args);
}

HRESULT STDMETHODCALLTYPE Object::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                         EXCEPINFO* excep, UINT* arg_err) {
    if (result) VariantInit(result);
    ComPtr<Object> keep(this);  // the call may unload the form that holds this object
    try {
        Variant r = invoke(id, flags, params);
        if (result) r.detach(result);
        return S_OK;
    } catch (const RuntimeError& e) {
        return fill_exception(e, excep);
    } catch (const std::bad_alloc&) {
        return fill_exception(RuntimeError(err::OutOfMemory), excep);
    } catch (...) {
        return fill_exception(RuntimeError(err::InternalError), excep);
    }
}

Variant Object::get(std::wstring_view name) {
    DISPID id;
    std::wstring n(name);
    LPOLESTR p = n.data();
    if (FAILED(GetIDsOfNames(IID_NULL, &p, 1, 0, &id))) raise(err::NotSupported);
    return invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr);
}

void Object::put(std::wstring_view name, const VARIANT& value) {
    DISPID id;
    std::wstring n(name);
    LPOLESTR p = n.data();
    if (FAILED(GetIDsOfNames(IID_NULL, &p, 1, 0, &id))) raise(err::NotSupported);
    VARIANT arg = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    invoke(id, DISPATCH_PROPERTYPUT, &params);
}

Object* object_of(IUnknown* unknown) noexcept {
    if (!unknown) return nullptr;
    void* p = nullptr;
    if (FAILED(unknown->QueryInterface(IID_FormsObject, &p)) || !p) return nullptr;
    auto* o = static_cast<Object*>(static_cast<IDispatch*>(p));
    o->Release();
    return o;
}

Variant var(IDispatch* object) {
    Variant r;
    V_VT(r.get()) = VT_DISPATCH;
    V_DISPATCH(r.get()) = object;
    if (object) object->AddRef();
    return r;
}

// --- enumerator -----------------------------------------------------------------

namespace {

class Enum final : public SingleInterface<IEnumVARIANT> {
public:
    explicit Enum(std::vector<Variant> items) : items_(std::move(items)) { object_created(); }
    ~Enum() override { object_destroyed(); }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            VariantInit(&out[n]);
            VariantCopy(&out[n], items_[pos_].get());
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        pos_ += count;
        if (pos_ > items_.size()) {
            pos_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        auto* e = new (std::nothrow) Enum(items_);
        if (!e) return E_OUTOFMEMORY;
        e->pos_ = pos_;
        *out = e;
        return S_OK;
    }

private:
    std::vector<Variant> items_;
    size_t pos_ = 0;
};

}  // namespace

ComPtr<IEnumVARIANT> make_enum(std::vector<Variant> items) {
    ComPtr<IEnumVARIANT> e;
    *e.put() = new Enum(std::move(items));
    return e;
}

}  // namespace qm::forms
