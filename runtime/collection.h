// Collection: the runtime's keyed collection of Variants. Items are numbered from 1;
// keys are optional texts compared case-insensitively; a key that is already there
// raises 457, an unknown key 5, an index outside 1..Count 9.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/variant.h"

namespace qm {

class Collection {
public:
    // Adds at the end, or before/after the item with this index (1-based; 0: not given).
    void Add(const VARIANT& item, std::wstring_view key = {}, long before = 0, long after = 0);
    long Count() const noexcept { return static_cast<long>(items_.size()); }
    const Variant& Item(long index) const;
    const Variant& Item(std::wstring_view key) const;
    void Remove(long index);
    void Remove(std::wstring_view key);
    bool Exists(std::wstring_view key) const;
    void Clear() noexcept;

private:
    struct Entry {
        Variant value;
        std::wstring key;  // as given; "" without a key
    };
    size_t slot(long index) const;
    size_t slot(std::wstring_view key) const;
    void reindex();

    std::vector<Entry> items_;
    std::unordered_map<std::wstring, size_t> keys_;  // folded key -> position
};

}  // namespace qm
