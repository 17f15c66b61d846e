// Controls: controls of the client's forms.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Controls : public Dispatch<_Controls> {
public:
    // Path compaction
    HRESULT STDMETHODCALLTYPE Control_CompactPath(IDispatch** Control, BSTR Path, long* ErrorNumber,
                                                  BSTR* result) override;
};

}  // namespace qm
