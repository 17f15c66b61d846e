// LB_CB: a client's list boxes and combo boxes, reached late-bound and through
// their windows' messages.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class LB_CB : public Dispatch<_LB_CB> {
public:
    // Search (lb_cb_search.cpp)
    HRESULT STDMETHODCALLTYPE Find(IDispatch* LBCB, BSTR sFind, VARIANT_BOOL FindExact, long* ErrorNumber,
                                   long* result) override;
    HRESULT STDMETHODCALLTYPE LB_Find(IDispatch* ListBox, BSTR Find, VARIANT_BOOL FindExact, long* ErrorNumber,
                                      long* result) override;
    HRESULT STDMETHODCALLTYPE CB_Find(IDispatch* ComboBox, BSTR Find, VARIANT_BOOL FindExact, long* ErrorNumber,
                                      long* result) override;
    HRESULT STDMETHODCALLTYPE FindPhrase(IDispatch* LBCB, BSTR Find, long FindAtPosition, VARIANT_BOOL FindExact,
                                         long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE ItemExist(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* ErrorNumber,
                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CountItem(IDispatch* LBCB, BSTR Item, VARIANT_BOOL FindExact, long* ErrorNumber,
                                        long* result) override;

    // Items (lb_cb_items.cpp)
    HRESULT STDMETHODCALLTYPE Add(IDispatch* LBCB, BSTR StringToAdd, long ItemData, long Index,
                                  VARIANT_BOOL AllowDouble, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE AddArray(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* AllowDouble,
                                       VARIANT_BOOL* ClearBeforeAdding, long* result) override;
    HRESULT STDMETHODCALLTYPE ToArray(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* WriteSorted,
                                      long* result) override;
    HRESULT STDMETHODCALLTYPE RemoveItem(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* result) override;
    HRESULT STDMETHODCALLTYPE Kill_Empty(IDispatch* LBCB, long* result) override;
    HRESULT STDMETHODCALLTYPE Set_ListIndex(VARIANT LBCB, long Index, long* ErrorNumber,
                                            VARIANT_BOOL* result) override;

    // Boxes by window handle (lb_cb_handles.cpp)
    HRESULT STDMETHODCALLTYPE Get_BoxTypeByHwnd(long hwnd, BOXTYPE* result) override;
    HRESULT STDMETHODCALLTYPE apiItemCount(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE apiListIndex(long hwnd, long* result) override;
    HRESULT STDMETHODCALLTYPE apiList(long hwnd, long Index, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE apiReadInArray(long hwnd, VARIANT* sArray, long* result) override;
    HRESULT STDMETHODCALLTYPE apiRead(long hwnd, IDispatch* LBCB, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE apiAdd(long hwnd, BSTR StringToAdd, long Index, VARIANT_BOOL AllowDouble,
                                     long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE apiRemoveItem(long hwnd, long Index, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE apiClear(long hwnd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE apiFind(long hwnd, BSTR ToFind, VARIANT_BOOL FindExact, long* ErrorNumber,
                                      long* result) override;

    // Combo boxes as windows (lb_cb_combo.cpp)
    HRESULT STDMETHODCALLTYPE CB_SetDropDownState(VARIANT ComboBox, VARIANT_BOOL isDropped, long* ErrorNumber,
                                                  VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CB_GetDropDownState(VARIANT ComboBox, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CB_SetDropDownWidth(IDispatch* ComboBox, long NewWidth, long* ErrorNumber,
                                                  VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CB_SetDropDownHeight(IDispatch* ComboBox, long newHeight, long* result) override;
    HRESULT STDMETHODCALLTYPE CB_SetAlignment(IDispatch* ComboBox, cbALIGMENT Alignment, long* result) override;
    HRESULT STDMETHODCALLTYPE CB_DeniedF4(VARIANT ComboBox, VARIANT_BOOL DeniedF4, long* result) override;
    HRESULT STDMETHODCALLTYPE CB_GetEditHwnd(VARIANT ComboBox, long* result) override;
    HRESULT STDMETHODCALLTYPE CB_LimitEditText(VARIANT ComboBox, long Textlenght, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CB_MaxLength(IDispatch* ComboBox, long MaxLenght, long* result) override;
    HRESULT STDMETHODCALLTYPE CB_SetText(VARIANT ComboBox, BSTR Text, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CB_SetCheckBoxToEditBox(IDispatch* ComboBox, IDispatch* CheckBox, long* ErrorNumber,
                                                      VARIANT_BOOL* result) override;

    // List boxes as windows (lb_cb_listwin.cpp)
    HRESULT STDMETHODCALLTYPE LB_ScrollBarIsVisible(IDispatch* ListBox, VARIANT_BOOL ScrollBarIsVisible,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE LB_GetMaxItemLen(IDispatch* ListBox, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_HorizontalScrollbar(IDispatch* ListBox, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_SetTabStopWidth(IDispatch* ListBox, long TabStopWidth) override;
    HRESULT STDMETHODCALLTYPE LB_GetListItemHeight(VARIANT LB, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_ScreenRows(IDispatch* ListBox, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_AllowResize(IDispatch* ListBox, VARIANT_BOOL DeactivateResizing,
                                             long* result) override;
    HRESULT STDMETHODCALLTYPE LB_GetIndexUnderMouse(IDispatch* ListBox, float X, float Y, long* ErrorNumber,
                                                    long* result) override;
    HRESULT STDMETHODCALLTYPE LB_GetItemUnderMouse(IDispatch* ListBox, float X, float Y, long* ErrorNumber,
                                                   BSTR* result) override;
    HRESULT STDMETHODCALLTYPE LB_GetRightClickedItem(IDispatch* ListBox, float PosX, float PosY, BSTR* ItemText,
                                                     long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_DblClick(VARIANT ListBox, long Index) override;

    // Interactive behaviours (lb_cb_interactive.cpp)
    HRESULT STDMETHODCALLTYPE LB_ListEdit(IDispatch* ListBox, VARIANT_BOOL AddInputToLB, long MaxInputLength,
                                          VARIANT_BOOL AllowEmpty, VARIANT_BOOL CancelOnESC, long* ErrorNumber,
                                          BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CB_AutoComplete(IDispatch* ComboBox, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_MouseMove(IDispatch* ListBox, float X, float Y, VARIANT_BOOL SetMousePointer,
                                           VARIANT_BOOL SetToolTip, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_IndexBlink(IDispatch* ListBox, long Index, long BlinkTimes, long PauseInMS,
                                            long* result) override;
};

}  // namespace qm
