// The sorted list box's order worked out ahead: which position the box gives
// each text when the texts arrive in the caller's order, and an order to hand
// them over in so that the box, keeping that same order, inserts each one at
// its end.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "frame/arry_internal.h"

namespace qm::arry {

namespace {

// Counts over the positions 0..n-1 (a binary indexed tree).
class Counts {
public:
    explicit Counts(size_t n, uint32_t each = 0) : tree_(n + 1, 0) {
        if (each)
            for (size_t i = 1; i <= n; ++i) tree_[i] = each * static_cast<uint32_t>(i & (~i + 1));
        for (top_ = 1; top_ * 2 <= n; top_ *= 2) {
        }
    }
    void add(size_t i, int32_t d) {
        for (++i; i < tree_.size(); i += i & (~i + 1)) tree_[i] += static_cast<uint32_t>(d);
    }
    // The sum over the positions below i.
    uint32_t below(size_t i) const {
        uint32_t s = 0;
        for (; i > 0; i -= i & (~i + 1)) s += tree_[i];
        return s;
    }
    // The position at which the sum reaches k (k from 1 to the total).
    size_t reach(uint32_t k) const {
        size_t at = 0;
        for (size_t step = top_; step; step /= 2)
            if (at + step < tree_.size() && tree_[at + step] < k) {
                at += step;
                k -= tree_[at];
            }
        return at;
    }

private:
    std::vector<uint32_t> tree_;
    size_t top_ = 1;
};

// The position a sorted list box gives a new text among `present` items of
// which `lower` sort before it and the next `equal` compare equal to it: its
// binary search stops at the first equal item it meets and inserts there, and
// without one inserts after the lower items.
uint32_t box_position(uint32_t present, uint32_t lower, uint32_t equal) {
    int64_t lo = 0, hi = static_cast<int64_t>(present) - 1;
    while (lo <= hi) {
        const int64_t mid = (lo + hi) / 2;
        if (mid < lower)
            lo = mid + 1;
        else if (mid >= static_cast<int64_t>(lower) + equal)
            hi = mid - 1;
        else
            return static_cast<uint32_t>(mid);
    }
    return static_cast<uint32_t>(lo);
}

// Sort keys of the texts, one block of bytes with an offset per text.
struct Keys {
    std::vector<unsigned char> bytes;
    std::vector<size_t> start;  // one more than texts
    std::string_view of(size_t i) const {
        return {reinterpret_cast<const char*>(bytes.data()) + start[i], start[i + 1] - start[i]};
    }
};

bool sort_keys(const std::vector<std::wstring>& texts, LCID locale, Keys& keys) {
    keys.start.assign(1, 0);
    keys.start.reserve(texts.size() + 1);
    for (const std::wstring& t : texts) {
        const size_t at = keys.bytes.size();
        const size_t guess = 64 + 8 * t.size();
        if (t.size() > 0x3FFFFFF) return false;
        keys.bytes.resize(at + guess);
        int n = LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.c_str(), -1,
                             reinterpret_cast<wchar_t*>(keys.bytes.data() + at), static_cast<int>(guess));
        if (n <= 0) {
            n = LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.c_str(), -1, nullptr, 0);
            if (n <= 0) return false;
            keys.bytes.resize(at + static_cast<size_t>(n));
            if (LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.c_str(), -1,
                             reinterpret_cast<wchar_t*>(keys.bytes.data() + at), n) != n)
                return false;
        }
        keys.bytes.resize(at + static_cast<size_t>(n));
        keys.start.push_back(keys.bytes.size());
    }
    return true;
}

// Where each of a run of insertions ends up: insertion j went to positions[j]
// among the j before it; the result holds, for each final place, the insertion.
std::vector<uint32_t> final_places(const std::vector<uint32_t>& positions) {
    const size_t k = positions.size();
    std::vector<uint32_t> at(k);
    Counts free(k, 1);
    for (size_t j = k; j-- > 0;) {
        const size_t place = free.reach(positions[j] + 1);
        at[place] = static_cast<uint32_t>(j);
        free.add(place, -1);
    }
    return at;
}

}  // namespace

bool plan_box_order(const std::vector<std::wstring>& texts, LCID locale, BoxOrder& out) {
    const size_t n = texts.size();
    if (n >= 0x7FFFFFFF) return false;
    Keys keys;
    if (!sort_keys(texts, locale, keys)) return false;
    std::vector<uint32_t> sorted(n);
    for (size_t i = 0; i < n; ++i) sorted[i] = static_cast<uint32_t>(i);
    std::stable_sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) { return keys.of(a) < keys.of(b); });

    // Runs of texts the box's own comparison finds equal; the keys' order must be its order.
    std::vector<uint32_t> group(n), first;  // group of each text; first place of each group
    for (size_t k = 0; k < n; ++k) {
        if (k > 0) {
            const std::wstring &a = texts[sorted[k - 1]], &b = texts[sorted[k]];
            const int r = CompareStringW(locale, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1);
            if (r != CSTR_LESS_THAN && r != CSTR_EQUAL) return false;
            if (r == CSTR_EQUAL) {
                group[sorted[k]] = group[sorted[k - 1]];
                continue;
            }
        }
        group[sorted[k]] = static_cast<uint32_t>(first.size());
        first.push_back(static_cast<uint32_t>(k));
    }
    const size_t groups = first.size();
    first.push_back(static_cast<uint32_t>(n));

    // The caller's order: each text's place within its group when it arrives.
    std::vector<uint32_t> within(n), count(groups, 0);
    Counts arrived(groups);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t g = group[i];
        if (count[g]) {
            const uint32_t lower = arrived.below(g);
            within[i] = box_position(static_cast<uint32_t>(i), lower, count[g]) - lower;
        }
        arrived.add(g, 1);
        ++count[g];
    }
    // The last to arrive takes its place first; earlier ones fill the free places.
    out.expected.assign(n, 0);
    Counts free(n, 1);
    for (size_t i = n; i-- > 0;) {
        const size_t place = free.reach(free.below(first[group[i]]) + within[i] + 1);
        out.expected[place] = static_cast<uint32_t>(i);
        free.add(place, -1);
    }

    // Handed over group by group, each group in the order that leaves it as expected.
    out.feed.assign(n, 0);
    std::vector<uint32_t> positions;
    for (size_t g = 0; g < groups; ++g) {
        const uint32_t from = first[g], size = first[g + 1] - from;
        if (size == 1) {
            out.feed[from] = out.expected[from];
            continue;
        }
        positions.resize(size);
        for (uint32_t j = 0; j < size; ++j) positions[j] = box_position(from + j, from, j) - from;
        const std::vector<uint32_t> place_of = final_places(positions);
        for (uint32_t s = 0; s < size; ++s) out.feed[from + place_of[s]] = out.expected[from + s];
    }
    return true;
}

}  // namespace qm::arry
