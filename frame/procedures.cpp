#include "frame/procedures.h"

#include <cstring>
#include <utility>

#include "frame/shared.h"
#include "runtime/compare.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// Holds an array locked while its elements are reached directly.
class ArrayLock {
public:
    explicit ArrayLock(SAFEARRAY* sa) : sa_(sa) { check(SafeArrayLock(sa_)); }
    ~ArrayLock() { SafeArrayUnlock(sa_); }
    ArrayLock(const ArrayLock&) = delete;
    ArrayLock& operator=(const ArrayLock&) = delete;

private:
    SAFEARRAY* sa_;
};

// A VARIANT that shows one element of a typed array without owning it.
VARIANT view_of(void* element, VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    if (vt == VT_VARIANT) return *static_cast<VARIANT*>(element);
    if (vt == VT_DECIMAL) {
        V_DECIMAL(&v) = *static_cast<DECIMAL*>(element);
    } else {
        std::memcpy(&V_I8(&v), element, vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN ? sizeof(void*)
                                        : vt == VT_I8 || vt == VT_UI8 || vt == VT_R8 || vt == VT_CY || vt == VT_DATE
                                            ? 8
                                        : vt == VT_I2 || vt == VT_UI2 || vt == VT_BOOL ? 2
                                        : vt == VT_I1 || vt == VT_UI1                  ? 1
                                                                                       : 4);
    }
    V_VT(&v) = vt;
    return v;
}

}  // namespace

long Get_hWnd(const VARIANT& obj, bool& is_object) noexcept {
    try {
        ComPtr<IDispatch> object = late::object(obj);
        long handle = CLng(*late::get(object.get(), L"hwnd").get());
        is_object = true;
        return handle;
    } catch (...) {
    }
    try {
        return CLng(obj);  // a handle as a number or as a number's text
    } catch (...) {
        return 0;
    }
}

long ProcessFind(const SAFEARRAY* list, std::wstring_view name, long pid) noexcept {
    long found = -1;
    trapped(Trap{Source::basPModule, L"ProcessFind"}, &found, -1L, [&]() -> long {
        auto* sa = const_cast<SAFEARRAY*>(list);
        if (!sa || SafeArrayGetDim(sa) != 1) raise(err::SubscriptOutOfRange);
        VARTYPE vt = VT_EMPTY;
        SafeArrayGetVartype(sa, &vt);
        if (vt != VT_RECORD || SafeArrayGetElemsize(sa) != sizeof(PROCESSINFO)) raise(err::TypeMismatch);
        long lbound = 0, ubound = -1;
        SafeArrayGetLBound(sa, 1, &lbound);
        SafeArrayGetUBound(sa, 1, &ubound);
        if (ubound < 0) return -1;
        if (lbound > 0) raise(err::SubscriptOutOfRange);  // the walk starts at index 0
        ArrayLock lock(sa);
        const auto* entries = static_cast<const PROCESSINFO*>(sa->pvData) - lbound;
        const std::wstring key = LCase(name);
        for (long i : indices(0, ubound)) {
            if (key.empty() ? entries[i].PROCESSID == pid : LCase(text_of(entries[i].EXENAME)) == key) return i;
        }
        return -1;
    });
    return found;
}

bool BubbleSort(VARIANT& list) noexcept {
    VARIANT_BOOL sorted = VARIANT_FALSE;
    trapped(Trap{Source::basPModule, L"BubbleSort"}, &sorted, false, [&] {
        VARIANT* v = V_VT(&list) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&list) : &list;
        if (!(V_VT(v) & VT_ARRAY)) raise(err::TypeMismatch);
        SAFEARRAY* sa = (V_VT(v) & VT_BYREF) ? *V_ARRAYREF(v) : V_ARRAY(v);
        if (!sa) raise(err::SubscriptOutOfRange);
        if (SafeArrayGetDim(sa) != 1) raise(err::SubscriptOutOfRange);
        VARTYPE vt = VT_EMPTY;
        check(SafeArrayGetVartype(sa, &vt));
        if (vt == VT_RECORD) raise(err::TypeMismatch);
        const size_t size = SafeArrayGetElemsize(sa);
        long lo = 0, hi = -1;
        SafeArrayGetLBound(sa, 1, &lo);
        SafeArrayGetUBound(sa, 1, &hi);
        ArrayLock lock(sa);
        auto* data = static_cast<unsigned char*>(sa->pvData);
        auto at = [&](long i) { return data + static_cast<size_t>(i - lo) * size; };
        std::vector<unsigned char> tmp(size);
        // Swapping moves the elements' bytes: each keeps its type and value.
        long first = lo;
        while (first < hi) {
            long last = first;
            for (long i = first; i < hi; ++i) {
                VARIANT a = view_of(at(i), vt), b = view_of(at(i + 1), vt);
                if (compare(a, b) > 0) {
                    std::memcpy(tmp.data(), at(i), size);
                    std::memcpy(at(i), at(i + 1), size);
                    std::memcpy(at(i + 1), tmp.data(), size);
                    last = i;
                }
            }
            hi = last;
        }
        return true;
    });
    return sorted != VARIANT_FALSE;
}

void Wait_DoEvents(long count) {
    for (long long i = 0; i <= count; ++i) forms::do_events();  // a count of 2^31 - 1 ends too
}

void Check_Placement(IDispatch* object, const Placement& to) {
    forms::Object* engine = object ? forms::object_of(object) : nullptr;
    if (auto* control = dynamic_cast<forms::Control*>(engine)) {
        // Twips in the container's client area, as the control keeps them.
        const RECT r = control->twips_rect();
        const double ux = control->container_twips_per_unit_x(), uy = control->container_twips_per_unit_y();
        const double x = to.left ? r.left + (*to.left - control->left()) * ux : r.left;
        const double y = to.top ? r.top + (*to.top - control->top()) * uy : r.top;
        const double w = to.width ? *to.width * ux : r.right - r.left;
        const double h = to.height ? *to.height * uy : r.bottom - r.top;
        forms::check_placement(x, y, w, h, control->surface());
    } else if (auto* form = dynamic_cast<forms::Form*>(engine)) {
        forms::check_placement(to.left.value_or(form->left()), to.top.value_or(form->top()),
                               to.width.value_or(form->width()), to.height.value_or(form->height()), form->surface());
    }
}

short Sort_ListBox(IDispatch* list_box) {
    if (!list_box) raise(err::ObjectNotSet);
    if (!late::is_list_box(list_box)) raise(err::TypeMismatch);
    if (CBool(*late::get(list_box, L"Sorted").get())) return 0;
    long count = CLng(*late::get(list_box, L"ListCount").get());
    if (count < 1) raise(err::SubscriptOutOfRange);  // no items to take
    std::vector<std::wstring> items(static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) items[i] = CStr(*late::get(list_box, L"List", {Variant(i)}).get());
    QuickSort(items, 0, count - 1);
    late::call(list_box, L"Clear");
    for (const std::wstring& item : items) late::call(list_box, L"AddItem", {Variant(item)});
    return 0;
}

void QuickSort(std::vector<std::wstring>& list, long low, long high) {
    // The smaller part is sorted by recursion, the larger one by the loop, so the
    // depth stays logarithmic whatever the order of the texts.
    while (low < high) {
        long sum = low + high;
        long mid = sum >> 1;  // (low + high) / 2 with halves to the even number
        if ((sum & 1) && (mid & 1)) ++mid;
        const std::wstring pivot = list[mid];
        long i = low, j = high;
        while (i <= j) {
            while (list[i] < pivot && i < high) ++i;
            while (pivot < list[j] && j > low) --j;
            if (i <= j) {
                std::swap(list[i], list[j]);
                ++i;
                --j;
            }
        }
        if (j - low < high - i) {
            if (low < j) QuickSort(list, low, j);
            low = i;
        } else {
            if (i < high) QuickSort(list, i, high);
            high = j;
        }
    }
}

long Kill_DoubleItemsFunc(const VARIANT& control, long operation, long& hwnd) noexcept {
    enum class Kind { None, List, Combo } kind = Kind::None;
    try {
        const VARIANT* v = V_VT(&control) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&control) : &control;
        const VARTYPE vt = V_VT(v) & ~VT_BYREF;
        if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
            ComPtr<IDispatch> box = late::object(*v);
            if (late::is_list_box(box.get()))
                kind = Kind::List;
            else if (late::is_combo_box(box.get()))
                kind = Kind::Combo;
            if (kind != Kind::None) hwnd = CLng(*late::get(box.get(), L"hwnd").get());
        } else {
            hwnd = CLng(*v);
            Bstr name;
            check(shared<_Window>()->Get_Class(hwnd, name.put()));
            std::wstring cls = LCase(name.view());
            if (cls.find(L"list") != std::wstring::npos)
                kind = Kind::List;
            else if (cls.find(L"combo") != std::wstring::npos)
                kind = Kind::Combo;
        }
    } catch (...) {
        return -2;
    }
    static const long list_messages[] = {LB_GETCURSEL,     LB_SETCURSEL,       LB_INSERTSTRING, LB_DELETESTRING,
                                         LB_RESETCONTENT,  LB_FINDSTRINGEXACT, LB_FINDSTRING,   LB_SETSEL};
    static const long combo_messages[] = {CB_GETCURSEL,    CB_SETCURSEL,       CB_INSERTSTRING, CB_DELETESTRING,
                                          CB_RESETCONTENT, CB_FINDSTRINGEXACT, CB_FINDSTRING,   0};
    if (kind == Kind::None) return -2;
    if (operation < 1 || operation > 8) return 0;
    return kind == Kind::List ? list_messages[operation - 1] : combo_messages[operation - 1];
}

long Get_PowerOfTwo(short exponent) {
    if (exponent < 0) return 0;
    if (exponent > 30) raise(err::Overflow);
    return 1L << exponent;
}

}  // namespace qm
