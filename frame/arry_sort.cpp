// Arry.Sort: through the worker form's sorted list box (the texts in the list
// box's order), or in place by the runtime's comparison of the values.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/compare.h"
#include "runtime/contract.h"
#include "runtime/convert.h"

namespace qm {

namespace {

// A stable merge sort of the positions 0..n-1 by less(a, b). It never reads out of
// range, whatever less answers (values of mixed kinds need not form a strict order).
template <class Less>
std::vector<size_t> stable_order(size_t n, Less&& less) {
    std::vector<size_t> a(n), b(n);
    std::iota(a.begin(), a.end(), size_t{0});
    constexpr size_t run = 24;
    for (size_t lo = 0; lo < n; lo += run) {
        const size_t hi = std::min(lo + run, n);
        for (size_t i = lo + 1; i < hi; ++i) {
            const size_t x = a[i];
            size_t j = i;
            for (; j > lo && less(x, a[j - 1]); --j) a[j] = a[j - 1];
            a[j] = x;
        }
    }
    for (size_t width = run; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) b[k++] = less(a[j], a[i]) ? a[j++] : a[i++];
            while (i < mid) b[k++] = a[i++];
            while (j < hi) b[k++] = a[j++];
        }
        a.swap(b);
    }
    return a;
}

// Ascending by the runtime's comparison (numbers by value, texts by character
// code), stable, in place: each element keeps its type. The order is the one a
// bubble sort of neighbours gives, reached in n log n comparisons.
void sort_by_value(VARIANT& target) {
    SafeArray copy = array_copy(target);
    if (copy.dims() != 1) raise(err::SubscriptOutOfRange);
    SAFEARRAY* sa = copy.get();
    {
        VARIANT view;  // borrows the copy for the element views
        VariantInit(&view);
        V_VT(&view) = VT_ARRAY | copy.vartype();
        V_ARRAY(&view) = sa;
        const arry::Elements e(view);
        const long lb = e.lbound();
        const std::vector<size_t> order = stable_order(static_cast<size_t>(e.count()), [&](size_t a, size_t b) {
            return compare(e.at(lb + static_cast<long>(a)), e.at(lb + static_cast<long>(b))) < 0;
        });
        // The elements' bytes move to their places: ownership of texts and objects moves with them.
        const size_t size = sa->cbElements;
        auto* data = static_cast<unsigned char*>(sa->pvData);
        std::vector<unsigned char> sorted(order.size() * size);
        for (size_t k = 0; k < order.size(); ++k) std::memcpy(&sorted[k * size], data + order[k] * size, size);
        if (!sorted.empty()) std::memcpy(data, sorted.data(), sorted.size());
    }
    assign_array(target, std::move(copy));
}

}  // namespace

HRESULT Arry::Sort(VARIANT* sArray, VARIANT_BOOL* sBubbleSort, long* result) {
    return trapped(Trap{Source::Array, L"Sort"}, result, ErrorNumberResult{}, [&]() -> long {
        VARIANT& target = arry::variable(sArray);
        if (!IsArray(target)) raise(err::TypeMismatch);
        if (!arry::dimensioned(target)) return 0;  // nothing to sort
        // Only a list of one dimension can go through the list box and come back whole.
        if (SafeArrayGetDim(array_of(target)) != 1) raise(err::SubscriptOutOfRange);
        if (arry::flag(sBubbleSort, false)) {
            sort_by_value(target);
            return 0;
        }
        // The worker form's sorted list box orders the texts; it is unloaded in every case.
        ComPtr<MyControls> form = forms::make<MyControls>();
        // Emptied first: an unloading form keeps its lists' items, one window
        // message after another.
        struct Unload {
            MyControls& form;
            ~Unload() {
                try {
                    if (form.loaded()) form.get<forms::ListBox>(L"sLB").clear();
                    form.unload();
                } catch (...) {
                }
            }
        } unload{*form.get()};
        form->load();
        form->set_tag(L"Sort");
        forms::ListBox& sorted = form->get<forms::ListBox>(L"sLB");
        // A hidden list need not keep its scroll bar up to date while it fills.
        SendMessageW(sorted.hwnd(), WM_SETREDRAW, FALSE, 0);
        IDispatch* box = &sorted;
        _LB_CB* lists = shared<_LB_CB>();
        VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
        long r = 0;
        check(lists->AddArray(&box, &target, &yes, &yes, &r));
        if (r == 0) check(lists->ToArray(&box, &target, &no, &r));
        return r;
    });
}

}  // namespace qm
