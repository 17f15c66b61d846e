// Misc: dates, diagnostics and small helpers.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Misc : public Dispatch<_Misc> {
public:
    // Diagnostics
    HRESULT STDMETHODCALLTYPE Verison(BSTR* result) override;
    // Dates and calendar
    HRESULT STDMETHODCALLTYPE isValidDate(BSTR sInput, VARIANT_BOOL* result) override;
    // Random numbers
    HRESULT STDMETHODCALLTYPE Get_Randomize(long Min, long Max, long* result) override;
};

}  // namespace qm
