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
    HRESULT STDMETHODCALLTYPE FormMove(IDispatch** Form, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Update(VARIANT* Form) override;
    HRESULT STDMETHODCALLTYPE IsModal(IDispatch** Form, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ShowSysMenu(IDispatch** Form, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ShowAnimatedCursor(IDispatch** Form, BSTR CursorFile, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Get_NonClientHeight(LONG* NormalWindow, LONG* ToolWindow) override;
    HRESULT STDMETHODCALLTYPE Set_XPstyle(IDispatch** Form, VARIANT_BOOL* ApplyStyle, LONG* result) override;
    // System buttons and position storage
    HRESULT STDMETHODCALLTYPE CloseBox_Deaktivate(VARIANT* Form, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Form(IDispatch* sForm, SystemButtons* But, VARIANT_BOOL* Enable, LONG* result) override;
    HRESULT STDMETHODCALLTYPE FormPos_Save(IDispatch** Form, BSTR* INIpath, LONG* result) override;
    HRESULT STDMETHODCALLTYPE FormPos_Load(IDispatch** Form, BSTR* INIpath, LONG* result) override;
    // Form effects
    HRESULT STDMETHODCALLTYPE Tile(IDispatch** Form, IPictureDisp** Picture, LONG* result) override;
    // Form restrictions
    HRESULT STDMETHODCALLTYPE StandardButton(VARIANT* frm, STANDARDBUTTONINFO* result) override;
};

}  // namespace qm
