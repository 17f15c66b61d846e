// SafeArray: an owned automation array, and the runtime's array operations.
//
// A SafeArray is either undimensioned (no SAFEARRAY at all: the runtime's
// `Dim a() As String` before any ReDim; LBound/UBound raise 9) or dimensioned,
// possibly without elements (Split("") has LBound 0 and UBound -1). It keeps its
// element type even while undimensioned, so a later redim makes the right array.
// Elements are reached typed (at<long>(i), text(i)) or as Variants (get/set).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/strings.h"
#include "runtime/variant.h"

namespace qm {

class SafeArray {
public:
    SafeArray() noexcept = default;  // undimensioned Variant()
    // An undimensioned array of this element type.
    explicit SafeArray(VARTYPE vt) noexcept : vt_(vt) {}
    // One dimension of count elements from lbound (count 0: dimensioned, no elements).
    SafeArray(VARTYPE vt, long count, long lbound = 0);
    // An array of records of the type library's record type with this GUID.
    static SafeArray records(REFGUID record, long count, long lbound = 0);
    static SafeArray records(IRecordInfo* info, long count, long lbound = 0);
    // Takes ownership of an array (vt for a null one).
    static SafeArray attach(SAFEARRAY* sa, VARTYPE vt = VT_VARIANT) noexcept;
    // A deep copy of an array the caller keeps.
    static SafeArray copy(const SAFEARRAY* sa, VARTYPE vt = VT_VARIANT);

    SafeArray(const SafeArray& other);
    SafeArray(SafeArray&& other) noexcept;
    SafeArray& operator=(SafeArray other) noexcept;
    ~SafeArray();

    SAFEARRAY* get() const noexcept { return sa_; }
    SAFEARRAY* detach() noexcept;
    // Frees the current array and returns the address for an out-parameter.
    SAFEARRAY** put() noexcept;

    bool dimensioned() const noexcept { return sa_ != nullptr; }
    VARTYPE vartype() const noexcept { return vt_; }  // element type (VT_RECORD for records)
    UINT dims() const noexcept;
    long lbound(UINT dim = 1) const;  // 9 when undimensioned or no such dimension
    long ubound(UINT dim = 1) const;
    long count() const noexcept;  // elements of the first dimension; 0 when undimensioned

    // ReDim: a new one-dimensional array of the same element type; contents dropped.
    void redim(long count, long lbound = 0);
    // ReDim Preserve: the last dimension's upper bound changes, contents kept (an
    // undimensioned array is dimensioned from lbound 0); 10 while the array is locked.
    void redim_preserve(long ubound);
    // Erase: the array becomes undimensioned (its elements are freed); 10 while locked.
    void erase();

    // Element index of a one-dimensional array; 9 outside the bounds.
    Variant get(long index) const;                // any element type, as a Variant
    void set(long index, const VARIANT& value);   // converted to the element type (13, 6)
    std::wstring_view text(long index) const;     // a String element
    void set_text(long index, std::wstring_view text);
    // The typed element (T matching the element type: long, short, BYTE, float,
    // double, CY, VARIANT, BSTR, VARIANT_BOOL, a record struct; 13 otherwise).
    template <class T>
    T& at(long index) {
        return *static_cast<T*>(element(index, sizeof(T), element_vt<T>()));
    }
    template <class T>
    const T& at(long index) const {
        return *static_cast<const T*>(element(index, sizeof(T), element_vt<T>()));
    }

    // The element type that T stands for (VT_RECORD for any other struct).
    template <class T>
    static constexpr VARTYPE element_vt() {
        if constexpr (std::is_same_v<T, long>) return VT_I4;
        else if constexpr (std::is_same_v<T, short>) return VT_I2;  // also VARIANT_BOOL
        else if constexpr (std::is_same_v<T, BYTE>) return VT_UI1;
        else if constexpr (std::is_same_v<T, float>) return VT_R4;
        else if constexpr (std::is_same_v<T, double>) return VT_R8;  // also DATE
        else if constexpr (std::is_same_v<T, CY>) return VT_CY;
        else if constexpr (std::is_same_v<T, BSTR>) return VT_BSTR;
        else if constexpr (std::is_same_v<T, VARIANT>) return VT_VARIANT;
        else if constexpr (std::is_same_v<T, IDispatch*>) return VT_DISPATCH;
        else if constexpr (std::is_same_v<T, IUnknown*>) return VT_UNKNOWN;
        else return VT_RECORD;
    }

    // The array in a Variant (VT_ARRAY | element type; an undimensioned one has a null array).
    Variant to_variant() &&;

private:
    void* element(long index, size_t size, VARTYPE vt) const;
    SafeArray make(long count, long lbound) const;

    SAFEARRAY* sa_ = nullptr;
    VARTYPE vt_ = VT_VARIANT;
    ComPtr<IRecordInfo> record_;  // the record type of a record array
};

// --- index arithmetic on callers' arrays --------------------------------------------
// Bounds and indices are Longs, but their differences are not: an index near 2^31
// less a negative lower bound wraps a Long. Offsets, counts and walks over a
// caller's array are therefore worked out in 64 bits.

// The offset of index in a dimension of count elements from lbound; 9 outside it.
size_t element_offset(long index, long lbound, unsigned long count);
// The upper bound of a dimension; 9 when it is no Long (a client may describe one).
long upper_bound(long lbound, unsigned long count);
// A bound or count worked out from others: 6 (overflow) when it is no Long.
long to_long(long long value);

// The indices first to last (inclusive), ascending, for a range-for. Counted in
// 64 bits, so that a walk up to 2^31 - 1 ends there instead of wrapping round.
class Indices {
public:
    class iterator {
    public:
        explicit iterator(long long i) noexcept : i_(i) {}
        long operator*() const noexcept { return static_cast<long>(i_); }
        iterator& operator++() noexcept { return ++i_, *this; }
        bool operator!=(const iterator& other) const noexcept { return i_ != other.i_; }

    private:
        long long i_;
    };
    Indices(long long first, long long last) noexcept : first_(first), end_(last < first ? first : last + 1) {}
    iterator begin() const noexcept { return iterator(first_); }
    iterator end() const noexcept { return iterator(end_); }

private:
    long long first_, end_;
};
inline Indices indices(long long first, long long last) noexcept { return Indices(first, last); }

// --- building arrays (0-based; an empty list gives a dimensioned array without elements)
// A 0-based array of records, each filled by fill(record, index); null (an
// undimensioned array) when there are none. A fill that throws frees the array.
template <class Record, class Fill>
SAFEARRAY* record_array(REFGUID type, size_t count, Fill fill) {
    if (count == 0) return nullptr;
    SafeArray a = SafeArray::records(type, static_cast<long>(count));
    auto* data = static_cast<Record*>(a.get()->pvData);
    for (size_t i = 0; i < count; ++i) fill(data[i], i);
    return a.detach();
}
SafeArray string_array(const std::vector<std::wstring>& items);
// Split (strings.h) straight into a String array, each part made once as a BSTR.
SafeArray split_array(std::wstring_view s, std::wstring_view delimiter = L" ", long limit = -1,
                      CompareMode mode = CompareMode::Binary);
SafeArray long_array(const std::vector<long>& items);
SafeArray byte_array(std::string_view bytes);
SafeArray variant_array(const std::vector<Variant>& items);

// --- reading arrays ---------------------------------------------------------------
// Every element of a one-dimensional array, from the lower to the upper bound.
std::vector<Variant> elements_of(const SAFEARRAY* sa);
// Every element's text (CStr), from the lower to the upper bound.
std::vector<std::wstring> texts_of(const SAFEARRAY* sa);
// A copy with every element converted to another type (13/6 as the conversions).
SafeArray convert_array(const SAFEARRAY* sa, VARTYPE to);

// --- arrays in Variant arguments (by value or by reference) -----------------------
// The array a Variant holds; null when it holds none or an undimensioned one.
SAFEARRAY* array_of(const VARIANT& v) noexcept;
// The element type of the array a Variant holds (VT_EMPTY when it holds no array).
VARTYPE array_type(const VARIANT& v) noexcept;
// A copy of the array a Variant holds (undimensioned when none); 13 for a non-array.
SafeArray array_copy(const VARIANT& v);
// Stores an array into the variable behind a ByRef Variant argument: a typed array
// variable (String(), Long(), ...) keeps its element type, so the elements are
// converted (13 when they cannot be); a Variant variable takes the array as it is.
void assign_array(VARIANT& target, SafeArray value);

}  // namespace qm
