// mString: text operations (conversions, searching and counting, cutting and
// wrapping, the password cipher, checksum and SHA-1 digest, random texts and
// character-class tests).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class mString : public Dispatch<_mString> {
public:
    HRESULT STDMETHODCALLTYPE Text_EnCrypt(BSTR Text, BSTR Password, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Text_DeCrypt(BSTR Text, BSTR Password, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Str_ToHex(BSTR Str, BYTEINFO* StrTo, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Str_toANSI(BSTR Str, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Str_toASCII(BSTR Str, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Str_Reverse(BSTR Str, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Str_toCHR(BSTR Str, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE LineCount(BSTR Str, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_Line(BSTR Str, long Line, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE StringCount(BSTR Text, BSTR SearchFor, VARIANT_BOOL SearchExact,
                                          VARIANT_BOOL WholeWordsOnly, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE Str_toASC(BSTR Str, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Str_Cut(BSTR Str, VARIANT StrToCut, VARIANT_BOOL CutFromRight, VARIANT_BOOL CutAll,
                                      long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_RandomString(long strLenght, VARIANT_BOOL inclNum, VARIANT_BOOL inclLAlpha,
                                               VARIANT_BOOL inclUAlpha, VARIANT_BOOL Space, VARIANT_BOOL Other,
                                               BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CheckSum(BSTR* Str, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE InStrRev(BSTR Str, BSTR Find, InStrPosition POS, VARIANT_BOOL FindExact,
                                       long* result) override;
    HRESULT STDMETHODCALLTYPE InStr(BSTR Str, BSTR* Find, InStrPosition POS, VARIANT_BOOL FindExact,
                                    long* result) override;
    HRESULT STDMETHODCALLTYPE isValidType(BSTR Var, DATATYPE* Typ, VARIANT_BOOL inclSpace, long* ErrorNumber,
                                          VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE StringToBin(BSTR Str, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE StringToByte(BSTR Str, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE sSplit(BSTR Str, long Position, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE StringToSHA1(BSTR Str, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ToArray(BSTR Text, BSTR StlitAt, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE IsAlphaOnly(BSTR Str, BSTR AllowedCharacter, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsNumOnly(BSTR Str, BSTR AllowedCharacter, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Compare(BSTR Text1, BSTR Text2, VARIANT_BOOL* result) override;
};

// The procedures behind the members.

// The password cipher: each character's ANSI code moved by the password's key
// and the square of its position, kept in 1 to 255.
std::wstring Crypt_Text(std::wstring_view text, std::wstring_view password, bool encrypt);
// The ANSI codes of a text in upper-case hexadecimal, space-separated, the text
// padded with blanks to a multiple of width.
std::wstring Get_HexBlock(int width, std::wstring_view text);
// The SHA-1 of a text's ANSI codes as 40 upper-case hexadecimal digits.
std::wstring SHA1_Digest(std::wstring_view text);
// The ANSI code of each character, as the runtime's Asc gives it.
std::vector<long> char_codes(std::wstring_view text);
// The sum of the low bytes of a text's UTF-16 units, modulo 256.
unsigned text_checksum(std::wstring_view text) noexcept;

// The character sets of the character-class tests.
inline constexpr std::wstring_view kDigits = L"1234567890";
inline constexpr std::wstring_view kLowerLetters = L"abcdefghijklmnopqrstuvwxyz\u00E4\u00F6\u00FC";
inline constexpr std::wstring_view kUpperLetters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00C4\u00D6\u00DC";

}  // namespace qm
