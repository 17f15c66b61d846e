// LB_CB: whole boxes read and written item by item.
#include "controls/lb_cb_internal.h"

#include "runtime/com_ptr.h"

namespace qm::lbcb {

std::vector<std::wstring> Items::texts() const {
    const long n = count();
    std::vector<std::wstring> out;
    out.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (long i = 0; i < n; ++i) out.push_back(text(i));
    return out;
}

std::vector<Entry> Items::entries() const {
    const long n = count();
    std::vector<Entry> out;
    out.reserve(static_cast<size_t>(n > 0 ? n : 0));
    for (long i = 0; i < n; ++i) out.push_back({text(i), data(i)});
    return out;
}

void Items::rewrite(const std::vector<Entry>& entries) const {
    clear();
    for (const Entry& e : entries) add(e.text, e.data);
}

bool same_object(IDispatch* a, IDispatch* b) noexcept {
    if (!a || !b) return false;
    if (a == b) return true;
    ComPtr<IUnknown> x, y;
    if (FAILED(a->QueryInterface(IID_IUnknown, x.put_void())) || FAILED(b->QueryInterface(IID_IUnknown, y.put_void())))
        return false;
    return x.get() == y.get();
}

}  // namespace qm::lbcb
