// Helpers shared by the Arry members: the variable behind a by-reference
// argument, optional arguments, element texts and a locked view of the elements
// of a one-dimensional array.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/safearray.h"
#include "runtime/variant.h"

namespace qm::arry {

// The variable behind a by-reference Variant argument (5 for a missing one).
VARIANT& variable(VARIANT* v);

// Optional by-reference arguments: the value, or the default when none was passed.
inline bool flag(const VARIANT_BOOL* v, bool fallback) noexcept { return v ? *v != VARIANT_FALSE : fallback; }
inline long number(const long* v, long fallback) noexcept { return v ? *v : fallback; }

// The text of a value as the members compare it: the runtime's conversion to a
// String; Null counts as the empty text; an object gives its default property.
std::wstring text_of_value(const VARIANT& v);
// The text used as a search key: lower-cased (locale rules) unless exact.
std::wstring key_of(std::wstring text, bool exact);

// Read access to the elements of the one-dimensional array a Variant holds,
// locked while the view lives. 13 when the Variant holds no array, 9 when the
// array is undimensioned or has more than one dimension.
class Elements {
public:
    explicit Elements(const VARIANT& v);
    ~Elements();
    Elements(const Elements&) = delete;
    Elements& operator=(const Elements&) = delete;

    long lbound() const noexcept { return lbound_; }
    long ubound() const noexcept { return ubound_; }
    // The indices from the lower to the upper bound, for a range-for.
    Indices indices() const noexcept { return qm::indices(lbound_, ubound_); }
    long count() const noexcept { return count_; }
    VARTYPE vartype() const noexcept { return vt_; }
    // One element as a VARIANT that borrows its contents (9 outside the bounds).
    VARIANT at(long index) const;
    std::wstring text(long index) const { return text_of_value(at(index)); }

private:
    SAFEARRAY* sa_;
    VARTYPE vt_ = VT_VARIANT;
    long lbound_ = 0, ubound_ = -1, count_ = 0;
};

// A 0-based array of Variants holding copies of the given elements of a view.
SafeArray variant_copy(const Elements& from, const std::vector<long>& indices);

// The order a sorted list box gives texts (each as the box keeps it, up to its
// first null character), worked out with the comparison such a box applies: the
// locale's, ignoring case. expected[k] is the text at place k once the texts
// have been added one by one in their order; handed over in the order `feed`
// instead, they leave the box in that same order, each landing at or near the
// end. False when the locale's sort keys and its comparison disagree.
struct BoxOrder {
    std::vector<uint32_t> feed, expected;
};
bool plan_box_order(const std::vector<std::wstring>& texts, LCID locale, BoxOrder& out);

// Whether the argument holds a dimensioned array.
bool dimensioned(const VARIANT& v) noexcept;

}  // namespace qm::arry
