// Hardware: hardware information.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Hardware : public Dispatch<_Hardware> {
public:
    // Mouse and keyboard
    HRESULT STDMETHODCALLTYPE Mouse_isCursorOverControl(IDispatch** Control, LONG* ErrorNumber,
                                                        VARIANT_BOOL* result) override;
    // Speaker and sound card
    HRESULT STDMETHODCALLTYPE Soundcard_Installed(VARIANT_BOOL* result) override;
};

}  // namespace qm
