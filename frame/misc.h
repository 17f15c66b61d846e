// Misc: dates, diagnostics and small helpers.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Misc : public Dispatch<_Misc> {
public:
    // Diagnostics
    HRESULT STDMETHODCALLTYPE Verison(BSTR* result) override;
};

}  // namespace qm
