// INI: INI files.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class INI : public Dispatch<_INI> {
public:
    // Single entries
    HRESULT STDMETHODCALLTYPE Read_INI(BSTR INIpath, BSTR Section, BSTR Key, BSTR* ReplacevbCrlf,
                                       BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Write_INI(BSTR INIpath, BSTR Section, BSTR Abschnitt, BSTR Value, BSTR* ReplacevbCrlf,
                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RemoveSection(BSTR INIpath, BSTR Section) override;
    HRESULT STDMETHODCALLTYPE DeleteKey(BSTR INIpath, BSTR Section, BSTR Key) override;

    // Whole sections
    HRESULT STDMETHODCALLTYPE ReadSection(BSTR INIpath, BSTR Section, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE ReadArray(BSTR INIpath, BSTR Section, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE WriteArray(BSTR INIpath, BSTR Section, VARIANT* sArray, LONG* ErrorNumber,
                                         VARIANT_BOOL* result) override;
};

}  // namespace qm
