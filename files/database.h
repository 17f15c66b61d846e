// DataBase: databases through the client's connection and record set objects
// (reached late-bound by their members' names) and a catalog to create a file.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class DataBase : public Dispatch<_DataBase> {
public:
    // Connections and tables
    HRESULT STDMETHODCALLTYPE OpenDatabase(IDispatch** Connection, BSTR DataBasePath, BSTR* User, BSTR* Password,
                                           long* result) override;
    HRESULT STDMETHODCALLTYPE CloseDataBase(IDispatch** Connection, long* result) override;
    HRESULT STDMETHODCALLTYPE SelectTable(IDispatch** Connection, IDispatch** Recordset, BSTR Table, BSTR* SortBy,
                                          long* result) override;
    HRESULT STDMETHODCALLTYPE Sort(IDispatch** Connection, IDispatch** Recordset, BSTR Table, BSTR SortBy,
                                   long* result) override;
    HRESULT STDMETHODCALLTYPE CreateDatabase(BSTR Path, VARIANT_BOOL* DeleteExist, long* result) override;
    HRESULT STDMETHODCALLTYPE TableCreate(IDispatch** Connection, BSTR Table, long* result) override;
    HRESULT STDMETHODCALLTYPE TableDelete(IDispatch** Connection, BSTR Table, long* result) override;
    HRESULT STDMETHODCALLTYPE TableExist(IDispatch** Cn, BSTR Table, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TableCount(IDispatch** Cn, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE TableList(IDispatch** Cn, long* ErrorNumber, SAFEARRAY** result) override;

    // Records
    HRESULT STDMETHODCALLTYPE Find(IDispatch** Recordset, BSTR FindIn, BSTR* sFind, long* ErrorNumber,
                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Find_Multi(IDispatch** Recordset, SAFEARRAY** Find, BSTR* ErrorNumber,
                                         VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Exist(IDispatch** Recordset, BSTR sFind, VARIANT* FindIn, long* ErrorNumber,
                                    VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Export(IDispatch** Recordset, BSTR Path, long* result) override;
    HRESULT STDMETHODCALLTYPE ColumnExist(IDispatch** Recordset, BSTR Column, long* ErrorNumber,
                                          VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isEMPTY(IDispatch** Recordset, long* ErrorNumber, VARIANT_BOOL* result) override;
};

namespace database {

// The object behind a ByRef Object argument (91 for Nothing).
IDispatch* object_of(IDispatch** argument);
// The text of a value read from a record set (a field's default member followed).
std::wstring text_of_value(const VARIANT& value);

}  // namespace database

}  // namespace qm
