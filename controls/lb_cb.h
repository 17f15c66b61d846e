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
    HRESULT STDMETHODCALLTYPE apiRemoveItem(long hwnd, long Index, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE apiClear(long hwnd, VARIANT_BOOL* result) override;
};

}  // namespace qm
