// Arry: arrays.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Arry : public Dispatch<_Arry> {
public:
    // Changing arrays
    HRESULT STDMETHODCALLTYPE Add(VARIANT* TargetArray, VARIANT Value, arADDTO* AddTo, long* Index,
                                  VARIANT_BOOL* AllowDouble, long* result) override;
    HRESULT STDMETHODCALLTYPE AddArray(VARIANT* sArray1, VARIANT sArray2, arADDTO* AddTo, long Index,
                                       long* result) override;
};

}  // namespace qm
