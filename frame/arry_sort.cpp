// Arry.Sort: through the worker form's sorted list box (the texts in the list
// box's order), or in place by the runtime's comparison of the values.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string_view>
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/compare.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/variant.h"

namespace qm {

namespace {

// A stable merge sort of the items by less(a, b). It never reads out of range,
// whatever less answers (values of mixed kinds need not form a strict order).
template <class T, class Less>
void stable_sort_items(std::vector<T>& a, Less&& less) {
    const size_t n = a.size();
    std::vector<T> b(n);
    constexpr size_t run = 24;
    for (size_t lo = 0; lo < n; lo += run) {
        const size_t hi = std::min(lo + run, n);
        for (size_t i = lo + 1; i < hi; ++i) {
            const T x = a[i];
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
}

// An element as the sort sees it: a text's characters are read once, so that two
// texts compare by character code right here; other values go to the runtime's
// comparison, which gives two texts the same order. A text's first four
// characters ride along in the key: two texts that differ there are ordered
// without reading either text (scattered in memory) again.
struct SortKey {
    static constexpr uint32_t kNoText = UINT32_MAX;  // length of a value that is no text
    uint64_t head;  // the first four characters, the first highest; 0 past the text's end
    const wchar_t* text;
    uint32_t length;
    uint32_t index;  // position from the lower bound (an array has at most 2^32 - 1 elements)
    bool is_text() const noexcept { return length != kNoText; }
};

// Where the heads differ, they order the texts as their characters do: a text
// that ends first has 0 where the other has a character, and one with a
// character 0 there has the same head, so that such texts are compared in full.
bool text_less(const SortKey& a, const SortKey& b) noexcept {
    if (a.head != b.head) return a.head < b.head;
    return binary_compare({a.text, a.length}, {b.text, b.length}) < 0;
}

SortKey key_of_element(const VARIANT& element, uint32_t index) {
    const VARIANT& v = deref(element);
    BSTR s = nullptr;
    if (V_VT(&v) == VT_BSTR)
        s = V_BSTR(&v);
    else if (V_VT(&v) == (VT_BSTR | VT_BYREF))
        s = *V_BSTRREF(&v);
    else
        return SortKey{0, nullptr, SortKey::kNoText, index};
    const std::wstring_view t = text_of(s);  // a BSTR holds fewer than 2^31 characters
    uint64_t head = 0;
    for (size_t i = 0; i < 4; ++i) head = head << 16 | (i < t.size() ? static_cast<uint16_t>(t[i]) : 0u);
    return SortKey{head, t.data(), static_cast<uint32_t>(t.size()), index};
}

// Ascending by the runtime's comparison (numbers by value, texts by character
// code), stable: each element keeps its type. The order is the one a bubble sort
// of neighbours gives, reached in n log n comparisons. Nothing moves until the
// order is known, so a comparison that fails leaves the array as it was; a plain
// array is sorted where it lies, a locked or fixed one is sorted as a copy that
// then replaces it (as the runtime assigns arrays).
void sort_by_value(VARIANT& target) {
    SAFEARRAY* original = array_of(target);
    const bool in_place = original && original->cLocks == 0 &&
                          !(original->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE));
    SafeArray copy(array_type(target));
    if (!in_place) copy = array_copy(target);
    SAFEARRAY* sa = in_place ? original : copy.get();
    if (!sa || SafeArrayGetDim(sa) != 1) raise(err::SubscriptOutOfRange);
    {
        VARIANT view;  // borrows the array for the element views
        VariantInit(&view);
        V_VT(&view) = VT_ARRAY | copy.vartype();
        V_ARRAY(&view) = sa;
        const arry::Elements e(view);
        const long lb = e.lbound();
        const size_t count = static_cast<size_t>(e.count());
        std::vector<SortKey> keys;
        keys.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            // Records have no view; they reach the comparison, which refuses them.
            const auto index = static_cast<uint32_t>(i);
            keys.push_back(e.vartype() == VT_RECORD ? SortKey{0, nullptr, SortKey::kNoText, index}
                                                    : key_of_element(e.at(lb + static_cast<long>(i)), index));
        }
        stable_sort_items(keys, [&](const SortKey& a, const SortKey& b) {
            if (a.is_text() && b.is_text()) return text_less(a, b);
            return compare(e.at(lb + static_cast<long>(a.index)), e.at(lb + static_cast<long>(b.index))) < 0;
        });
        // The elements' bytes move to their places: ownership of texts and objects moves with them.
        const size_t size = sa->cbElements;
        auto* data = static_cast<unsigned char*>(sa->pvData);
        std::vector<unsigned char> sorted(count * size);
        for (size_t k = 0; k < count; ++k) std::memcpy(&sorted[k * size], data + keys[k].index * size, size);
        if (!sorted.empty()) std::memcpy(data, sorted.data(), sorted.size());
    }
    if (!in_place) assign_array(target, std::move(copy));
}

// The texts handed to the sorted list box in the order it keeps them, so that
// each lands at its end, then read back: the box still places every text. Taken
// only when the box ends up exactly as it would with the texts added in the
// array's order; false (the box's content undefined) otherwise, and for any
// element that does not convert to a text.
bool sort_in_box_order(forms::ListBox& box, VARIANT& target) {
    try {
        std::vector<std::wstring> texts;
        {
            const arry::Elements e(target);
            texts.reserve(static_cast<size_t>(e.count()));
            for (long i = 0; i < e.count(); ++i) {
                std::wstring t = CStr(e.at(e.lbound() + i));
                t.resize(std::wcslen(t.c_str()));  // the box keeps a text up to its first null character
                texts.push_back(std::move(t));
            }
        }
        if (texts.empty()) return false;
        const HWND list = box.hwnd();
        const WNDPROC system = forms::system_proc(list);
        if (!system) return false;
        auto send = [&](UINT msg, WPARAM wp, LPARAM lp) { return CallWindowProcW(system, list, msg, wp, lp); };
        const auto locale = static_cast<LCID>(send(LB_GETLOCALE, 0, 0));
        arry::BoxOrder order;
        if (!arry::plan_box_order(texts, locale, order)) return false;
        box.clear();
        size_t characters = 0;
        for (const std::wstring& t : texts) characters += t.size() + 1;
        send(LB_INITSTORAGE, texts.size(), characters * sizeof(wchar_t));
        for (uint32_t i : order.feed)
            if (send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i].c_str())) < 0) return false;
        const long count = static_cast<long>(texts.size());
        if (send(LB_GETCOUNT, 0, 0) != count) return false;
        SafeArray items(VT_VARIANT, count);
        {
            VARIANT* out = nullptr;
            check(SafeArrayAccessData(items.get(), reinterpret_cast<void**>(&out)));
            std::unique_ptr<SAFEARRAY, decltype(&SafeArrayUnaccessData)> access(items.get(), SafeArrayUnaccessData);
            std::vector<wchar_t> text;
            for (long k = 0; k < count; ++k) {
                const std::wstring& want = texts[order.expected[static_cast<size_t>(k)]];
                if (send(LB_GETTEXTLEN, static_cast<WPARAM>(k), 0) != static_cast<LRESULT>(want.size()))
                    return false;
                text.resize(want.size() + 1);
                const LRESULT got = send(LB_GETTEXT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(text.data()));
                if (got != static_cast<LRESULT>(want.size()) || std::wmemcmp(text.data(), want.data(), want.size()) != 0)
                    return false;
                BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(want.size()));
                if (!b) raise(err::OutOfMemory);
                V_VT(&out[k]) = VT_BSTR;
                V_BSTR(&out[k]) = b;
            }
        }
        assign_array(target, std::move(items));
        return true;
    } catch (...) {
        return false;
    }
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
        // The worker form's sorted list box orders the texts.
        WorkerForm form(L"Sort");
        forms::ListBox& sorted = form->get<forms::ListBox>(L"sLB");
        // A hidden list need not keep its scroll bar up to date while it fills.
        SendMessageW(sorted.hwnd(), WM_SETREDRAW, FALSE, 0);
        if (sort_in_box_order(sorted, target)) return 0;
        IDispatch* box = &sorted;
        _LB_CB* lists = shared<_LB_CB>();
        VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
        long r = 0;
        const long count = arry::Elements(target).count();
        check(lists->AddArray(&box, &target, &yes, &yes, &r));
        if (r != 0) return r;
        // Only a list that took every element may replace the caller's array.
        if (sorted.list_count() != count) raise(err::OutOfMemory);
        check(lists->ToArray(&box, &target, &no, &r));
        return r;
    });
}

}  // namespace qm
