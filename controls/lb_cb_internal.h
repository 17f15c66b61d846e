// Helpers shared by the LB_CB members.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/latebind_bound.h"
#include "runtime/strings.h"

namespace qm::lbcb {

// The box given, 91 when there is none.
inline IDispatch* box_of(IDispatch* box) {
    if (!box) raise(err::ObjectNotSet);
    return box;
}
inline long list_count(IDispatch* box) { return CLng(*late::get(box, L"ListCount").get()); }
inline std::wstring item_text(IDispatch* box, long index) {
    return CStr(*late::get(box, L"List", {Variant(index)}).get());
}
// The text as the inexact comparisons see it: lower-cased by the locale's rules.
inline std::wstring key_of(std::wstring text, bool exact) { return exact ? std::move(text) : LCase(text); }
// The box's window (its late-bound hwnd).
inline HWND window_of(IDispatch* box) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(*late::get(box, L"hwnd").get())));
}
inline HWND hwnd_of(long handle) noexcept { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)); }

// A box given by its window: the kind by its lower-cased class name alone. The
// system's own list and combo classes are of no kind; a drive list box is a
// combo box.
enum class BoxKind : long { Unknown = 0, List = 1, Combo = 2 };
inline BoxKind box_kind(HWND window) {
    wchar_t name[64] = {};
    if (!window || !GetClassNameW(window, name, 64)) return BoxKind::Unknown;
    const std::wstring kind = LCase(name);
    if (kind == L"thunderlistbox" || kind == L"thunderrt6listbox") return BoxKind::List;
    if (kind == L"thundercombobox" || kind == L"thunderrt6combobox" || kind == L"thunderdrivelistbox" ||
        kind == L"thunderrt6drivelistbox")
        return BoxKind::Combo;
    return BoxKind::Unknown;
}

// An item as the walks over whole boxes carry it.
struct Entry {
    std::wstring text;
    long data = 0;
};

// One box's items through its late-bound members, each looked up once on first
// use: the walks over whole lists call them thousands of times.
class Items {
public:
    explicit Items(IDispatch* box) : box_(box_of(box)) {}
    IDispatch* box() const noexcept { return box_; }
    long count() const { return CLng(*bound(count_, L"ListCount").get().get()); }
    std::wstring text(long i) const { return CStr(*bound(list_, L"List").get({Variant(i)}).get()); }
    void set_text(long i, const std::wstring& text) const { bound(list_, L"List").put(Variant(text), {Variant(i)}); }
    long data(long i) const { return CLng(*bound(data_, L"ItemData").get({Variant(i)}).get()); }
    void set_data(long i, long data) const { bound(data_, L"ItemData").put(Variant(data), {Variant(i)}); }
    bool selected(long i) const { return CBool(*bound(selected_, L"Selected").get({Variant(i)}).get()); }
    void set_selected(long i, bool on) const { bound(selected_, L"Selected").put(Variant(on), {Variant(i)}); }
    // AddItem at the end (a sorted box places it by its own order).
    void add(const std::wstring& text) const { bound(add_, L"AddItem").call({Variant(text)}); }
    // AddItem, then the new item's data.
    void add(const std::wstring& text, long data) const {
        add(text);
        set_data(CLng(*bound(new_index_, L"NewIndex").get().get()), data);
    }
    void remove(long i) const { bound(remove_, L"RemoveItem").call({Variant(i)}); }
    void clear() const { late::call(box_, L"Clear"); }
    bool sorted() const { return CBool(*late::get(box_, L"Sorted").get()); }

    std::vector<std::wstring> texts() const;
    std::vector<Entry> entries() const;
    // Clears the box and adds the entries in order, each with its data.
    void rewrite(const std::vector<Entry>& entries) const;

private:
    const late::Bound& bound(std::optional<late::Bound>& slot, const wchar_t* name) const {
        if (!slot) slot.emplace(box_, name);
        return *slot;
    }
    IDispatch* box_;
    mutable std::optional<late::Bound> count_, list_, data_, selected_, add_, new_index_, remove_;
};

// Whether two arguments are the same object (COM identity).
bool same_object(IDispatch* a, IDispatch* b) noexcept;

}  // namespace qm::lbcb
