// Mathematics: numbers.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Mathematics : public Dispatch<_Mathematics> {
public:
    // Number bases and words
    HRESULT STDMETHODCALLTYPE DecToBin(LONG Dec, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE HexToDec(BSTR Hex, LONG* result) override;
    HRESULT STDMETHODCALLTYPE DecToHex(LONG Dec, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE isPrime(LONG n, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE BinToDec(LONG Bin, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Fakultaet(LONG Zahl, LONG* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Quersumme(LONG Zahl, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Pythag(VARIANT* A, VARIANT* B, VARIANT* Hyp, LONG* ErrorNumber, double* result) override;
    HRESULT STDMETHODCALLTYPE LOWORD(LONG nDWord, LONG* result) override;
    HRESULT STDMETHODCALLTYPE HiWord(LONG nDWord, LONG* result) override;
    HRESULT STDMETHODCALLTYPE DWord(short nLow, short nHigh, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Incr(LONG* Var, LONG* Value) override;
    HRESULT STDMETHODCALLTYPE Decr(LONG* Var, LONG* Value) override;
    // Byte units and number texts
    HRESULT STDMETHODCALLTYPE BYTEINFO(VARIANT Bytes, BYTEISINFO* ByteIs, LONG* ErrorNumber, BYTEINFOS* result) override;
    HRESULT STDMETHODCALLTYPE Get_Num(VARIANT sNum, LONG DigitsForDecimal, LONG DigitsAfterDecimal,
                                      VARIANT_BOOL* SeperateNum, LONG* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE PI(double* result) override;
    // Divisors and primes
    HRESULT STDMETHODCALLTYPE LowestCommonDivisor(VARIANT Num, LONG* ErrorNumber, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ListPrimeFactors(LONG* Num, LONG* StartIndex, VARIANT_BOOL* ShowProgress,
                                               SAFEARRAY** result) override;
};

}  // namespace qm
