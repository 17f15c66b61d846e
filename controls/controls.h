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

    // Saved control states, tree-view search and files, list-view sort
    HRESULT STDMETHODCALLTYPE TreeView_Exist(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn,
                                             VARIANT_BOOL* FindExact, long* ErrorNumber,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TreeView_Find(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn,
                                            VARIANT_BOOL* FindExact, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Treeview_Save(IDispatch** Treeview, BSTR Filename, long* result) override;
    HRESULT STDMETHODCALLTYPE Treeview_Load(IDispatch** Treeview, BSTR Filename, long* result) override;
    HRESULT STDMETHODCALLTYPE Control_Save(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) override;
    HRESULT STDMETHODCALLTYPE Control_Load(IDispatch** Control, IDispatch** Parent, BSTR* INIpath) override;
    HRESULT STDMETHODCALLTYPE ListVew_Sort(IDispatch** ListView, long* Column, ListViewSort* SortBy,
                                           long* result) override;
};

}  // namespace qm
