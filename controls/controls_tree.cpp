// Controls: a node of a tree view found by its text, key or tag.
#include <string>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm {

// Whole texts only; FindExact decides case alone. The first node (in index
// order) with an equal field wins; fields are compared as text, key, tag.
HRESULT Controls::TreeView_Find(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn, VARIANT_BOOL* FindExact,
                                long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Controls, L"TreeView_Find", ErrorNumber}, result, -2L, [&] {
        IDispatch* tree = Treeview ? *Treeview : nullptr;
        if (!tree) raise(err::ObjectNotSet);
        const bool exact = !FindExact || *FindExact != VARIANT_FALSE;
        const long fields = FindIn ? static_cast<long>(*FindIn) : 0;
        const std::wstring find = exact ? std::wstring(text_of(Find)) : LCase(text_of(Find));
        ComPtr<IDispatch> nodes = late::object(*late::get(tree, L"Nodes").get());
        const long count = CLng(*late::get(nodes.get(), L"Count").get());
        for (long i = 1; i <= count; ++i) {
            ComPtr<IDispatch> node = late::object(*late::get(nodes.get(), L"Item", {Variant(i)}).get());
            for (auto [flag, name] : {std::pair{tvTEXT, L"Text"}, std::pair{tvKEY, L"Key"}, std::pair{tvTAG, L"Tag"}}) {
                if (!(fields & flag)) continue;
                std::wstring text = CStr(*late::get(node.get(), name).get());
                if (!exact) text = LCase(text);
                if (text == find) return i;
            }
        }
        return -1L;
    });
}

// No trap of its own: errors are TreeView_Find's (reported there, -2).
HRESULT Controls::TreeView_Exist(IDispatch** Treeview, BSTR Find, TREEVIEWINFO* FindIn, VARIANT_BOOL* FindExact,
                                 long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long found = -1;
        const HRESULT hr = TreeView_Find(Treeview, Find, FindIn, FindExact, ErrorNumber, &found);
        check(hr);
        return found > -1;
    });
}

}  // namespace qm
