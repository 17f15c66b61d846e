// Arry: operations on one-dimensional arrays held in Variants.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Arry : public Dispatch<_Arry> {
public:
    // Bounds and tests (arry_bounds.cpp)
    HRESULT STDMETHODCALLTYPE isArray(VARIANT* Var, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isDIM(VARIANT* sArray, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_LBound(VARIANT* sArray, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_UBound(VARIANT* sArray, long* ErrorNumber, long* result) override;

    // Search and counting (arry_search.cpp)
    HRESULT STDMETHODCALLTYPE Find(VARIANT sArray, VARIANT ToFind, VARIANT* StartIndex, long* EndIndex,
                                   VARIANT_BOOL* FindExact, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE FindPhrase(VARIANT* sArray, BSTR Find, long* StartIndex, long* EndIndex,
                                         VARIANT_BOOL* FindAtStart, VARIANT_BOOL* FindExact, long* ErrorNumber,
                                         long* result) override;
    HRESULT STDMETHODCALLTYPE Exist(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* ErrorNumber,
                                    VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CountItem(VARIANT* sArray, BSTR Item, VARIANT_BOOL* FindExact, long* ErrorNumber,
                                        long* result) override;
    HRESULT STDMETHODCALLTYPE IsDouble(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* ErrorNumber,
                                       VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Compare(VARIANT* sArray1, VARIANT* sArray2, long* ErrorNumber,
                                      VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_MaxValue(VARIANT* sArray, BSTR* Value, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_MinValue(VARIANT* sArray, BSTR* Value, long* ErrorNumber, long* result) override;

    // Changing arrays (arry_changes.cpp, arry_remove.cpp)
    HRESULT STDMETHODCALLTYPE Add(VARIANT* TargetArray, VARIANT Value, arADDTO* AddTo, long* Index,
                                  VARIANT_BOOL* AllowDouble, long* result) override;
    HRESULT STDMETHODCALLTYPE AddArray(VARIANT* sArray1, VARIANT sArray2, arADDTO* AddTo, long Index,
                                       long* result) override;
    HRESULT STDMETHODCALLTYPE DeleteIndex(VARIANT* sArray, long Index, long* result) override;
    HRESULT STDMETHODCALLTYPE RemoveIndex(VARIANT* sArray, long Index, long* result) override;
    HRESULT STDMETHODCALLTYPE DeleteValue(VARIANT* sArray, VARIANT Value, VARIANT_BOOL* DeleteAll,
                                          long* result) override;
    HRESULT STDMETHODCALLTYPE RemoveValue(VARIANT* sArray, BSTR Value, VARIANT_BOOL* FindExact, long* result) override;
    HRESULT STDMETHODCALLTYPE RemoveEmpty(VARIANT* sArray, long* result) override;
    HRESULT STDMETHODCALLTYPE RemoveDouble(VARIANT* sArray, VARIANT_BOOL* FindExact, long* result) override;
    HRESULT STDMETHODCALLTYPE Replace(VARIANT* sArray, BSTR* Found, BSTR* ReplaceWith, long* result) override;
    HRESULT STDMETHODCALLTYPE Fill(VARIANT* sArray, VARIANT Value, long* sStart, long* sEnd, long* result) override;
    HRESULT STDMETHODCALLTYPE Copy(VARIANT* sArray1, VARIANT* sArray2, long* result) override;
    HRESULT STDMETHODCALLTYPE Array_Swap(VARIANT* Array1, VARIANT* Array2, long* result) override;

    // Building new values (arry_build.cpp, arry_sort.cpp)
    HRESULT STDMETHODCALLTYPE ToString(VARIANT* sArray, long* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Array_Invert(VARIANT* sArray, long* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Convert(VARIANT* sArray, ConvertType* TypeOutput, long* ErrorNumber,
                                      VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Sort(VARIANT* sArray, VARIANT_BOOL* sBubbleSort, long* result) override;
    HRESULT STDMETHODCALLTYPE Shuffle(VARIANT* sArray, long* result) override;

    // Array files and list transfer (arry_files.cpp)
    HRESULT STDMETHODCALLTYPE Array_WriteToFile(VARIANT* sArray, BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Array_ReadFromFile(BSTR File, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Array_SaveBinary(VARIANT* sArray, BSTR File, VARIANT_BOOL* DeleteExistingFile,
                                               long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Array_ReadBinary(BSTR File, long* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE AddFromLBCB(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* Preserv,
                                          long* result) override;
    HRESULT STDMETHODCALLTYPE AddToLBCB(VARIANT* sArray, IDispatch** LBCB, VARIANT_BOOL* AllowDouble,
                                        VARIANT_BOOL* ClearBeforeAdding, long* result) override;
};

}  // namespace qm
