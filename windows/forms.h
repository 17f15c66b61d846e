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
    // Form shapes (forms_shape.cpp)
    HRESULT STDMETHODCALLTYPE CreateFormFromPicture(IDispatch** Form, IDispatch** Picture, BSTR* PictureFile,
                                                    LONG* result) override;
    HRESULT STDMETHODCALLTYPE ShowControlsOnly(IDispatch** Form, LONG* ErrorNumber, VARIANT_BOOL* result) override;
    // Form effects (forms_move.cpp, forms_fade.cpp, forms_effects.cpp)
    HRESULT STDMETHODCALLTYPE Roll(IDispatch** Form, LONG* xStart, LONG* xEnd, ControlDirection* Direction,
                                   LONG* RollSpeed, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Fade(IDispatch** Form, LONG FadeFromColor, LONG FadeToColor, short* Alpha,
                                   ControlDirection* Direction, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Fade_Ranomized(IDispatch** Form, ControlDirection* Direction, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Move(IDispatch** Form, LONG XPos, LONG YPos, LONG* Speed, LONG* result) override;
    HRESULT STDMETHODCALLTYPE tFade(IDispatch** Form, BYTE FadeStart, BYTE FadeStop,
                                    VARIANT_BOOL* StartAtCurrentTransparenz, short* FadeStep, short* Speed,
                                    LONG* result) override;
    HRESULT STDMETHODCALLTYPE Tile(IDispatch** Form, IPictureDisp** Picture, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ScrollCaption(IDispatch** Form, LONG* Speed, LONG* result) override;
    // Form restrictions
    HRESULT STDMETHODCALLTYPE Form_LimitSize(IDispatch** frm, SIZEPAR* SP) override;
    HRESULT STDMETHODCALLTYPE RemoveSystemmenu(VARIANT* frm, LONG* result) override;
    HRESULT STDMETHODCALLTYPE MinMaxDeaktivat(VARIANT* frm) override;
    HRESULT STDMETHODCALLTYPE MinMaxShow(VARIANT* frm, VARIANT_BOOL ShowMinMax) override;
    HRESULT STDMETHODCALLTYPE CloseBox_Show(VARIANT* frm, VARIANT_BOOL ShowCloseBox) override;
    HRESULT STDMETHODCALLTYPE TitleBar_Show(VARIANT* frm, VARIANT_BOOL ShowTitleBar) override;
    HRESULT STDMETHODCALLTYPE StandardButton(VARIANT* frm, STANDARDBUTTONINFO* result) override;
    // Form state
    HRESULT STDMETHODCALLTYPE Form_Save(IDispatch** Form, BSTR INIpath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Form_Load(IDispatch** Form, BSTR INIpath, VARIANT_BOOL* result) override;
    // Form animation, shaking, transparency and taskbar presence (forms_animate.cpp)
    HRESULT STDMETHODCALLTYPE Animate(IDispatch** Form, ANIMETNFO* AniTyp, LONG* Speed, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ShakeForm(IDispatch** frm, LONG Amplitude, LONG MilliSeconds, LONG* ErrorNumber,
                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Roll2(IDispatch** frm, LONG FormEndHeight) override;
    HRESULT STDMETHODCALLTYPE Get_Transparenz(IDispatch** Form, LONG* ErrorNumber, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Set_Transparenz(IDispatch** Form, BYTE* Transparenz, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Set_AllTransparent(VARIANT frm, BYTE* Transparenz, LONG* result) override;
    HRESULT STDMETHODCALLTYPE MakeAllControlsTransparent(IDispatch** frm, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ShowInTaskBar(VARIANT* frm, VARIANT_BOOL* ShowForm) override;
    HRESULT STDMETHODCALLTYPE Set_WindowShadow(IDispatch* Form, LONG* result) override;

private:
    void set_style_bits(long handle, bool show, LONG_PTR bits);
};

}  // namespace qm
