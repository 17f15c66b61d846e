// LB_CB: a client's list boxes and combo boxes, reached late-bound and through
// their windows' messages.
#pragma once
#include <vector>

#include "controls/lb_cb_internal.h"
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

    // Whole lists (lb_cb_transform.cpp)
    HRESULT STDMETHODCALLTYPE Kill_DoubleItem(IDispatch* LBCB, BSTR Value, VARIANT_BOOL FindExact, long* result) override;
    HRESULT STDMETHODCALLTYPE Kill_DoubleItems(IDispatch* LBCB, VARIANT_BOOL FindExact, long* result) override;
    HRESULT STDMETHODCALLTYPE Replace(IDispatch* LBCB, BSTR SearchFor, BSTR ReplaceWith, VARIANT_BOOL FindExact,
                                      long* result) override;
    HRESULT STDMETHODCALLTYPE Copy(IDispatch* LBCBsource, IDispatch* LBCBtarget, VARIANT_BOOL ClearBeforCopy,
                                   long* result) override;
    HRESULT STDMETHODCALLTYPE Move(IDispatch* LBCBsource, IDispatch* LBCBtarget, long* result) override;
    HRESULT STDMETHODCALLTYPE Swap(IDispatch* LBCB1, IDispatch* LBCB2, long* result) override;
    HRESULT STDMETHODCALLTYPE Invert(IDispatch* LBCB, long* result) override;
    HRESULT STDMETHODCALLTYPE Shuffle(IDispatch* LBCB, long* result) override;
    HRESULT STDMETHODCALLTYPE Sort(IDispatch* LBCB, SORTNFO sSort, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_MaxValue(IDispatch* LBCB, BSTR* MaxStr, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_MinValue(IDispatch* LBCB, BSTR* MinStr, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Compare(IDispatch* LBCB1, IDispatch* LBCB2, VARIANT_BOOL CompareExact, long* ErrorNumber,
                                      VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ToString(IDispatch* LBCB, long* ErrorNumber, BSTR* result) override;

    // Multi-selection and item data (lb_cb_selection.cpp)
    HRESULT STDMETHODCALLTYPE LB_GetSelectedItems(IDispatch* ListBox, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE LB_GetSelectedItemsText(IDispatch* ListBox, long* ErrorNumber,
                                                      SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE LB_RemoveSelectedItems(IDispatch* ListBox, long* result) override;
    HRESULT STDMETHODCALLTYPE LB_SelectAll(IDispatch* LB, lbSELECTALLINFO lbSelect, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE LB_CopySelectedToLBCB(IDispatch* LB, IDispatch* LBCB, VARIANT_BOOL RemoveSelected,
                                                    long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE LB_CopySelectedToArray(IDispatch* LB, VARIANT_BOOL RemoveSelected,
                                                     SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE ItemData_Find(IDispatch* LBCB, long ItemData, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_Exist(IDispatch* LBCB, long ItemData, long* ErrorNumber,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_Count(IDispatch* LBCB, long ItemData, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_GetMaxValue(IDispatch* LBCB, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_GetMinValue(IDispatch* LBCB, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_ToArray(IDispatch* LBCB, long* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE ItemData_Fill(IDispatch* LBCB, long ItemData, long StartIndex, long EndIndex,
                                            long* result) override;

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

    // Saved lists and list files (lb_cb_saved.cpp)
    HRESULT STDMETHODCALLTYPE vListBox(IDispatch* LBCB, vlbCommand Command, long Index, long* ErrorNumber,
                                       long* result) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(IDispatch* LBCB, BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE LoadFromFile(IDispatch* LBCB, BSTR File, rsCommand ReadAs, long* result) override;

    // List sources (lb_cb_sources.cpp)
    HRESULT STDMETHODCALLTYPE List(LISTINFO What, IDispatch* LBCB, long* result) override;
    HRESULT STDMETHODCALLTYPE ReadDatabase(IDispatch* LBCB, IDispatch* Recordset, VARIANT Field,
                                           VARIANT_BOOL AllowDouble, VARIANT_BOOL AllowEmpty, long* result) override;
    HRESULT STDMETHODCALLTYPE AddFromPath(IDispatch* LBCB, BSTR Path, AddInfo Add, VARIANT_BOOL ClearBeforAdding,
                                          long* result) override;

private:
    // The saved lists of vListBox: slot 0 is never used; a slot holds one box's
    // window handle and its items.
    struct Slot {
        long hwnd = 0;
        std::vector<lbcb::Entry> items;
    };
    std::vector<Slot> slots_;  // empty until the first use
};

}  // namespace qm
