// The dispatch base of every automation class: IUnknown, IDispatch driven by the
// type library, ISupportErrorInfo, and live-object counting.
//
// Invoke is our own: it reads each member's signature from the type information,
// coerces every argument to its declared type (writing by-reference temporaries
// back into the caller's variables), supplies defaults for omitted optionals,
// passes records through IRecordInfo and calls the member through the vtable.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include "runtime/module.h"

namespace qm::dispatch {

// The type information clients see for an interface (the dispinterface of a
// dual interface), from the TYPELIB resources of this module.
ITypeInfo* type_info(REFIID iid) noexcept;

// The record type with this GUID from the same type libraries (not AddRef'd;
// it lives as long as the module).
IRecordInfo* record_info(REFGUID record) noexcept;

HRESULT get_ids_of_names(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

HRESULT invoke(REFIID iid, void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_err) noexcept;

}  // namespace qm::dispatch

namespace qm {

// Derived implements the members of the dual interface Itf.
template <class Itf>
class Dispatch : public Itf, public ISupportErrorInfo {
public:
    Dispatch() noexcept { object_created(); }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    virtual ~Dispatch() { object_destroyed(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, __uuidof(Itf)))
            *out = static_cast<Itf*>(this);
        else if (IsEqualIID(riid, IID_ISupportErrorInfo))
            *out = static_cast<ISupportErrorInfo*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* ti = dispatch::type_info(__uuidof(Itf));
        if (!ti) return TYPE_E_ELEMENTNOTFOUND;
        ti->AddRef();
        *out = ti;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatch::get_ids_of_names(__uuidof(Itf), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
        return dispatch::invoke(__uuidof(Itf), static_cast<Itf*>(this), member, lcid, flags, params, result, excep,
                                arg_err);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, __uuidof(Itf)) ? S_OK : S_FALSE;
    }

private:
    LONG refs_ = 1;
};

// A new object with one reference, handed out as its interface.
template <class T>
T* make_object() {
    return new T();
}

}  // namespace qm
