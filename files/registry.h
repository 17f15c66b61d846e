// Registry: the registry.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Registry : public Dispatch<_Registry> {
public:
    // Keys
    HRESULT STDMETHODCALLTYPE KeyExist(RegRoot Root, BSTR Key, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE KeyCreate(RegRoot Root, BSTR NewKey, VARIANT* KeyValue, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE KeyDelete(RegRoot Root, BSTR Key, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ExportKey(RegRoot* Root, BSTR Key, BSTR File, VARIANT_BOOL* result) override;

    // Values
    HRESULT STDMETHODCALLTYPE FieldDelete(RegRoot Root, BSTR Key, BSTR Field, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ValueSet(RegRoot Root, BSTR Key, BSTR Field, VARIANT Value,
                                       VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ValueGet(RegRoot Root, BSTR Key, BSTR Field, BSTR* ReturnedData,
                                       VARIANT* result) override;

    // Lists
    HRESULT STDMETHODCALLTYPE EnumKey(RegRoot Root, BSTR Key, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE EnumValue(RegRoot Root, BSTR Key, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE RegEnum(RegRoot Root, BSTR Key, SAFEARRAY** REGKEYLIST, SAFEARRAY** result) override;
};

}  // namespace qm
