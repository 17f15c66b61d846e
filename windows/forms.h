// Forms: the client's forms.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Forms : public Dispatch<_Forms> {
public:
    // Form placement
    HRESULT STDMETHODCALLTYPE Find_Form(IDispatch** pForms, BSTR Find, FormOption* FindIn, IDispatch** frm,
                                        VARIANT_BOOL* FindExact, LONG* ErrorNumber, LONG* result) override;
    HRESULT STDMETHODCALLTYPE StayOnTop(IDispatch** Form, LONG* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Center(IDispatch** Form, cCenterInfo* CenterWhere, LONG* result) override;
    // Form effects
    HRESULT STDMETHODCALLTYPE Tile(IDispatch** Form, IPictureDisp** Picture, LONG* result) override;
    // Form restrictions
    HRESULT STDMETHODCALLTYPE StandardButton(VARIANT* frm, STANDARDBUTTONINFO* result) override;
};

}  // namespace qm
