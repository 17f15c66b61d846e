// LB_CB: list and combo boxes of any window, given only by their handle. The kind
// of box comes from the window's class name; each operation is the list box's or
// the combo box's message. Texts travel as UTF-16.
#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "runtime/contract.h"

namespace qm {

using lbcb::BoxKind;
using lbcb::box_kind;

// Deletes item Index; True when the box answered with the number of items left.
HRESULT LB_CB::apiRemoveItem(long hwnd, long Index, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const HWND box = lbcb::hwnd_of(hwnd);
        const BoxKind kind = box_kind(box);
        if (kind == BoxKind::Unknown) return false;
        const UINT message = kind == BoxKind::List ? LB_DELETESTRING : CB_DELETESTRING;
        return SendMessageW(box, message, static_cast<WPARAM>(Index), 0) >= 0;
    });
}

HRESULT LB_CB::apiClear(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const HWND box = lbcb::hwnd_of(hwnd);
        const BoxKind kind = box_kind(box);
        if (kind == BoxKind::Unknown) return false;
        return SendMessageW(box, kind == BoxKind::List ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0) >= 0;
    });
}

}  // namespace qm
