// What Misc's member files share.
#pragma once
#include "runtime/contract.h"

namespace qm::misc {

// A trapped Misc member whose failure value is minus the error number.
template <class Body>
HRESULT trapped_negative(const wchar_t* routine, long* result, Body&& body) noexcept {
    bool done = false;
    HRESULT hr = trapped(Trap{Source::Misc, routine}, result, ErrorNumberResult{}, [&] {
        long value = body();
        done = true;
        return value;
    });
    if (SUCCEEDED(hr) && result && !done) *result = -*result;
    return hr;
}

}  // namespace qm::misc
