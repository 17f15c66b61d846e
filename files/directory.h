// Directory: folders.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Directory : public Dispatch<_Directory> {
public:
    // Creation
    HRESULT STDMETHODCALLTYPE CreatePath(BSTR Path, VARIANT_BOOL* result) override;
};

}  // namespace qm
