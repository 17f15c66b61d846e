// RTF: helpers on the client's rich-text boxes (and, for the edit operations,
// line queries and tab stops, on plain multi-line text boxes), reached
// late-bound and through edit messages to the box's window.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class RTF : public Dispatch<_RTF> {
public:
    HRESULT STDMETHODCALLTYPE AddColoredText(IDispatch* RTF, BSTR Text, long Color, long* ErrorNumber,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE InsertPicture(IDispatch* RTF, IPictureDisp** pic, long POS, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_LineCount(IDispatch* RTF, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_CursorPos(IDispatch* RTF, long* ErrorNumber, QM_CURSORINFO* result) override;
    HRESULT STDMETHODCALLTYPE Get_Line(IDispatch* RTF, long Line, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_TextDimensions(IDispatch* RTF, long* ErrorNumber,
                                                 RTFCONTROLDIMENSIONS* result) override;
    HRESULT STDMETHODCALLTYPE RTF_Operation(IDispatch* RTF, TextBoxOperation* OPERATION, BSTR TextToReplace,
                                            long* result) override;
    HRESULT STDMETHODCALLTYPE SetSelForeColor(IDispatch* RTF, long Color, long* result) override;
    HRESULT STDMETHODCALLTYPE SetSelBackColor(IDispatch* RTF, long Color, long* result) override;
    HRESULT STDMETHODCALLTYPE ColorizeWords(IDispatch* RTF, BSTR ColorizeWord, long ForeColor, long BackColor,
                                            VARIANT_BOOL DoTextCompare, VARIANT_BOOL OnlyWholeWords,
                                            long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE sPrint(IDispatch* RTF, long RightSpaceMM, long LeftSpaceMM, long* result) override;
    HRESULT STDMETHODCALLTYPE Set_TabStopWidth(IDispatch* RTF, long* NewTabStopWidth, long* result) override;
};

namespace rtf {

// The box's window (its hWnd property); 91 for no object, 438 without hWnd.
HWND box_window(IDispatch* box);
// An automation colour as RGB: -1 when it is no valid colour.
long translate_color(long color) noexcept;

}  // namespace rtf

}  // namespace qm
