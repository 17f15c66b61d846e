// A recording automation object for the tests: the properties and methods it
// is given, each assignment and call logged in order.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/variant.h"

namespace qmtest {

using qm::Variant;

// An automation object with the properties and methods it is given; logs each
// assignment as "Name=value" and each call as "Name()". Unknown names: 438.
class Recorder final : public IDispatch {
public:
    Recorder(std::map<std::wstring, Variant> props, std::vector<std::wstring> methods = {L"Refresh"})
        : props_(std::move(props)), methods_(std::move(methods)) {}
    std::vector<std::wstring> log;
    std::function<void(const std::wstring&)> on_put;
    std::vector<std::vector<Variant>> calls;  // the arguments of each call, in order

    Variant& operator[](const std::wstring& name) { return props_[name]; }
    // The logged values of one property, in order.
    std::vector<long> puts(const std::wstring& name) const {
        std::vector<long> out;
        for (const auto& entry : log)
            if (entry.rfind(name + L"=", 0) == 0) out.push_back(std::stol(entry.substr(name.size() + 1)));
        return out;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override {
        for (UINT i = 0; i < n; ++i) ids[i] = DISPID_UNKNOWN;
        std::wstring name = names[0];
        int id = 1;
        for (const auto& [key, value] : props_) {
            if (_wcsicmp(key.c_str(), name.c_str()) == 0) return ids[0] = id, S_OK;
            ++id;
        }
        for (const auto& method : methods_) {
            if (_wcsicmp(method.c_str(), name.c_str()) == 0) return ids[0] = id, S_OK;
            ++id;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        int n = 1;
        for (auto& [key, value] : props_) {
            if (n++ != id) continue;
            if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
                value = Variant(p->rgvarg[0]);
                const VARIANT& v = *value.get();
                log.push_back(key + L"=" + (V_VT(&v) == VT_BOOL ? (V_BOOL(&v) ? L"True" : L"False") : qm::CStr(v)));
                if (on_put) on_put(key);
            } else if (result) {
                VariantCopy(result, value.get());
            }
            return S_OK;
        }
        for (const auto& method : methods_) {
            if (n++ != id) continue;
            log.push_back(method + L"()");
            std::vector<Variant> args;
            for (UINT i = p->cArgs; i-- > 0;) args.emplace_back(p->rgvarg[i]);
            calls.push_back(std::move(args));
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::map<std::wstring, Variant> props_;
    std::vector<std::wstring> methods_;
    ULONG refs_ = 1;
};

}  // namespace qmtest
