// Shorthands for the member tables of the engine's controls, and the item
// collection the hosted controls share (Count, Item, Add, For Each).
#pragma once
#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/forms/forms.h"

namespace qm::forms::tables {

using A = const Args&;
using V = const VARIANT&;

template <class T>
T& S(Object& o) {
    return self<T>(o);
}
inline Variant none() { return {}; }
// A message to a window that may not exist (yet): 0 then.
inline LRESULT send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return h ? SendMessageW(h, msg, wp, lp) : 0; }
inline int px_x(float twips) { return static_cast<int>(lroundf(twips / twips_per_pixel_x())); }

// An enumerator over the objects of a list of ComPtrs.
template <class Item>
ComPtr<IEnumVARIANT> enum_of(const std::vector<ComPtr<Item>>& list) {
    std::vector<Variant> items;
    items.reserve(list.size());
    for (const auto& i : list) items.push_back(var(static_cast<IDispatch*>(i.get())));
    return make_enum(std::move(items));
}

// A control's 1-based item list as scripts see it: Count, Item(index or key)
// (the default member), Add(Index, Key, Text) and For Each. It holds its
// control alive.
template <class Owner, class Item, const wchar_t* Name, auto List, auto At, auto Add>
class ItemCollection final : public Object {
public:
    explicit ItemCollection(Owner& owner) : owner_(&owner) {}
    const wchar_t* type_name() const noexcept override { return Name; }
    const Table& table() const override {
        static const Table t({},
                             {
                                 {L"Count", [](Object& o, A) { return var(static_cast<long>(list(o).size())); }},
                                 {L"Item", [](Object& o, A a) { return var(static_cast<IDispatch*>(&(owner(o).*At)(a.at(0)))); }},
                                 {L"Add", [](Object& o, A a) {
                                      Item& i = (owner(o).*Add)(a.lng(0, -1), a.str(1, L""), a.str(2, L""));
                                      return var(static_cast<IDispatch*>(&i));
                                  }},
                             },
                             L"Item");
        return t;
    }

protected:
    ComPtr<IEnumVARIANT> enumerate() override { return enum_of((owner_.get()->*List)()); }

private:
    static Owner& owner(Object& o) { return *S<ItemCollection>(o).owner_.get(); }
    static const std::vector<ComPtr<Item>>& list(Object& o) { return (owner(o).*List)(); }
    ComPtr<Owner> owner_;
};

}  // namespace qm::forms::tables
