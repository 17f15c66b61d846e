// Office: finding, starting and opening the office applications, and printing
// a document through the word processor's automation object.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Office : public Dispatch<_Office> {
public:
    HRESULT STDMETHODCALLTYPE OfficeApp(OfficeApplication* App, OfficeCommand* Command, BSTR* DocumentPath,
                                        BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Word_PrintDocument(BSTR DocPath, long* result) override;
};

}  // namespace qm
