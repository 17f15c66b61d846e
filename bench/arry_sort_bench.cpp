// Arry.Sort on 100,000 random texts, both methods, against std::stable_sort under
// the same comparison in one run: the sorted list box's order (the locale's
// case-insensitive comparison, as the list box applies it) and the runtime's
// comparison of values (texts by character code).
// Goal: ratio <= 3 through the sorted list box, <= 1.5 by value.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "frame/arry.h"
#include "runtime/com_ptr.h"
#include "runtime/safearray.h"

namespace {

qm::Variant as_array(const std::vector<std::wstring>& texts) {
    qm::SafeArray a(VT_VARIANT, static_cast<long>(texts.size()));
    for (long i = 0; i < static_cast<long>(texts.size()); ++i) a.set(i, *qm::Variant{texts[static_cast<size_t>(i)]}.get());
    return std::move(a).to_variant();
}

int compare_ignoring_case(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size()));
}

// Texts of 5 to 20 letters and digits from a fixed linear congruential sequence.
std::vector<std::wstring> random_texts(size_t count) {
    std::vector<std::wstring> texts;
    texts.reserve(count);
    unsigned x = 2024;
    auto next = [&x] { return (x = x * 1103515245u + 12345u) >> 16; };
    for (size_t i = 0; i < count; ++i) {
        std::wstring t(5 + next() % 16, L'a');
        for (auto& c : t) {
            const unsigned r = next() % 62;
            c = static_cast<wchar_t>(r < 26 ? L'a' + r : r < 52 ? L'A' + r - 26 : L'0' + r - 52);
        }
        texts.push_back(std::move(t));
    }
    return texts;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    const size_t count = 100000;
    const std::vector<std::wstring> texts = random_texts(count);
    qm::ComPtr<qm::Arry> arry = qm::ComPtr<qm::Arry>::attach(new qm::Arry());
    std::printf("%zu random texts of 5 to 20 letters and digits\n", count);

    // Through the sorted list box against the same comparison in memory, then by
    // the runtime's comparison of values in place; each round on the texts as made.
    qm::Variant list, values;
    std::vector<std::wstring> reference, value_reference;
    qmbench::Best list_box, list_reference, value_sort, value_sorted;
    long r = -1, r_values = -1;
    for (qmbench::Rounds round(3, 4); round.next();) {
        list = as_array(texts);
        VARIANT_BOOL by_value = VARIANT_FALSE;
        list_box.time([&] { arry->Sort(list.get(), &by_value, &r); });
        reference = texts;
        list_reference.time([&] {
            std::stable_sort(reference.begin(), reference.end(), [](const std::wstring& a, const std::wstring& b) {
                return compare_ignoring_case(a, b) == CSTR_LESS_THAN;
            });
        });
    }
    for (qmbench::Rounds round(9, 1); round.next();) {
        values = as_array(texts);
        VARIANT_BOOL by_value = VARIANT_TRUE;
        value_sort.time([&] { arry->Sort(values.get(), &by_value, &r_values); });
        value_reference = texts;
        value_sorted.time([&] { std::stable_sort(value_reference.begin(), value_reference.end()); });
    }
    const std::vector<std::wstring> got = qm::texts_of(qm::array_of(*list.get()));
    bool same = got.size() == reference.size();
    for (size_t i = 0; same && i < got.size(); ++i) same = compare_ignoring_case(got[i], reference[i]) == CSTR_EQUAL;
    std::printf("sorted list box: result %ld, order %s\n", r, same ? "the same" : "DIFFERENT");
    qmbench::report("Sort (sorted list box)", 1, list_box, list_reference, "stable_sort",
                    qmbench::at_most(3));
    same = qm::texts_of(qm::array_of(*values.get())) == value_reference;
    std::printf("by value: result %ld, order %s\n", r_values, same ? "the same" : "DIFFERENT");
    qmbench::report("Sort (by value)", 1, value_sort, value_sorted, "stable_sort", qmbench::at_most(1.5));
    CoUninitialize();
    return 0;
}
