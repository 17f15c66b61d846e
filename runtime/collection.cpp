#include "runtime/collection.h"

#include "runtime/strings.h"

namespace qm {

namespace {
std::wstring folded(std::wstring_view key) { return UCase(key); }
}  // namespace

void Collection::Add(const VARIANT& item, std::wstring_view key, long before, long after) {
    if (before && after) raise(err::InvalidCall);
    std::wstring k = folded(key);
    if (!key.empty() && keys_.count(k)) raise(err::DuplicateKey);
    size_t at = items_.size();
    if (before) at = slot(before);
    if (after) at = slot(after) + 1;
    items_.insert(items_.begin() + static_cast<ptrdiff_t>(at), Entry{Variant(deref(item)), std::wstring(key)});
    if (at + 1 == items_.size()) {
        if (!key.empty()) keys_.emplace(std::move(k), at);
    } else {
        reindex();
    }
}

const Variant& Collection::Item(long index) const { return items_[slot(index)].value; }
const Variant& Collection::Item(std::wstring_view key) const { return items_[slot(key)].value; }

void Collection::Remove(long index) {
    items_.erase(items_.begin() + static_cast<ptrdiff_t>(slot(index)));
    reindex();
}

void Collection::Remove(std::wstring_view key) {
    items_.erase(items_.begin() + static_cast<ptrdiff_t>(slot(key)));
    reindex();
}

bool Collection::Exists(std::wstring_view key) const { return !key.empty() && keys_.count(folded(key)) != 0; }

void Collection::Clear() noexcept {
    items_.clear();
    keys_.clear();
}

size_t Collection::slot(long index) const {
    if (index < 1 || index > Count()) raise(err::SubscriptOutOfRange);
    return static_cast<size_t>(index - 1);
}

size_t Collection::slot(std::wstring_view key) const {
    auto it = key.empty() ? keys_.end() : keys_.find(folded(key));
    if (it == keys_.end()) raise(err::InvalidCall);
    return it->second;
}

void Collection::reindex() {
    keys_.clear();
    for (size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].key.empty()) keys_.emplace(folded(items_[i].key), i);
}

}  // namespace qm
