// LB_CB: a list box as a window: scroll bars, horizontal extent, tab stops, rows,
// the item under a mouse position, a simulated double click.
#include <algorithm>
#include <cstdint>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/forms/globals.h"

namespace qm {

namespace {

HWND handle_of(const VARIANT& box) {
    bool is_object = false;
    return lbcb::hwnd_of(Get_hWnd(box, is_object));
}

// A client-area point packed as LB_ITEMFROMPOINT takes it (y above 32,767
// pixels does not fit: 6).
LPARAM packed_point(long x, long y) {
    const long long packed = static_cast<long long>(y) * 65536 + x;
    if (packed > INT32_MAX || packed < INT32_MIN) raise(err::Overflow);
    return static_cast<LPARAM>(static_cast<int32_t>(packed));
}

long item_from_point(HWND box, long x, long y) {
    const LRESULT item = send_bounded(box, LB_ITEMFROMPOINT, 0, packed_point(x, y)).value_or(0);
    return static_cast<long>(static_cast<int32_t>(item));
}

// The parent's ScaleMode and Font, given back however the work ends.
class ParentLook {
public:
    explicit ParentLook(IDispatch* parent)
        : parent_(parent), mode_(late::get(parent, L"ScaleMode")), font_(late::object(*late::get(parent, L"Font").get())) {}
    ~ParentLook() {
        late::try_put(parent_, L"ScaleMode", mode_);
        if (font_) late::skipping_errors([&] { late::put_ref(parent_, L"Font", font_.get()); });
    }
    ParentLook(const ParentLook&) = delete;
    ParentLook& operator=(const ParentLook&) = delete;

private:
    IDispatch* parent_;
    Variant mode_;
    ComPtr<IDispatch> font_;
};

// The index under a point given in twips of the box's parent (-1 outside the box).
long index_under_mouse(IDispatch* box, float X, float Y) {
    const ComPtr<IDispatch> parent = late::object(*late::get(box, L"Parent").get());
    if (!parent) raise(err::ObjectNotSet);
    const long x = CLng(CDbl(*late::get(parent.get(), L"ScaleX", {Variant(X), Variant(1L), Variant(3L)}).get()));
    const long y = CLng(CDbl(*late::get(parent.get(), L"ScaleY", {Variant(Y), Variant(1L), Variant(3L)}).get()));
    const HWND window = lbcb::window_of(box);
    long r = item_from_point(window, x, y);
    // The high word marks a point outside the client area; some systems set it
    // also below the last item, where the nearest item is meant.
    RECT client{};
    const POINT point{x, y};
    if (HIWORD(r) && GetClientRect(window, &client) && PtInRect(&client, point)) r = LOWORD(r);
    return r > lbcb::list_count(box) ? -1 : r;
}

}  // namespace

HRESULT LB_CB::LB_ScrollBarIsVisible(IDispatch* ListBox, VARIANT_BOOL ScrollBarIsVisible, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_ScrollBarIsVisible"}, result, ErrorNumberResult{}, [&] {
        ShowScrollBar(lbcb::window_of(lbcb::box_of(ListBox)), SB_VERT, ScrollBarIsVisible != VARIANT_FALSE);
        return 0L;
    });
}

// The width in pixels the widest item needs, with room for a vertical scroll bar.
// Measured with the parent in twips and the list's font; the parent's own scale
// and font come back also when the measuring fails.
HRESULT LB_CB::LB_GetMaxItemLen(IDispatch* ListBox, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_GetMaxItemLen", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        const long scroll_bar = GetSystemMetrics(SM_CXVSCROLL);
        const ComPtr<IDispatch> parent = late::object(*late::get(box, L"Parent").get());
        if (!parent) raise(err::ObjectNotSet);
        double widest = 0;
        {
            ParentLook kept(parent.get());
            late::put(parent.get(), L"ScaleMode", Variant(1L));
            const ComPtr<IDispatch> font = late::object(*late::get(box, L"Font").get());
            late::put_ref(parent.get(), L"Font", font.get());
            for (long i = 0, n = lbcb::list_count(box); i < n; ++i)
                widest = std::max(widest, CDbl(*late::get(parent.get(), L"TextWidth",
                                                          {late::get(box, L"List", {Variant(i)})}).get()));
        }
        return CLng(widest / forms::screen_twips_per_pixel_x()) + scroll_bar;
    });
}

HRESULT LB_CB::LB_HorizontalScrollbar(IDispatch* ListBox, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_HorizontalScrollbar"}, result, ErrorNumberResult{}, [&] {
        long error_number = 0, width = 0;
        check(LB_GetMaxItemLen(ListBox, &error_number, &width));
        if (error_number == 0 && width >= 0)
            send_bounded(lbcb::window_of(lbcb::box_of(ListBox)), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
        return error_number;
    });
}

HRESULT LB_CB::LB_SetTabStopWidth(IDispatch* ListBox, long TabStopWidth) {
    return untrapped([&] {
        INT stop = TabStopWidth;
        send_bounded(lbcb::window_of(lbcb::box_of(ListBox)), LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    });
}

HRESULT LB_CB::LB_GetListItemHeight(VARIANT LB, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_GetListItemHeight", ErrorNumber}, result, 0L, [&] {
        return static_cast<long>(send_bounded(handle_of(LB), LB_GETITEMHEIGHT, 0, 0).value_or(0));
    });
}

// The rows the box shows: its height in pixels over the row height, rounded.
HRESULT LB_CB::LB_ScreenRows(IDispatch* ListBox, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_ScreenRows", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        const ComPtr<IDispatch> parent = late::object(*late::get(box, L"Parent").get());
        const ComPtr<IDispatch> container = late::object(*late::get(box, L"Container").get());
        if (!parent || !container) raise(err::ObjectNotSet);
        const double pixels = CDbl(*late::get(parent.get(), L"ScaleY",
                                              {late::get(box, L"Height"), late::get(container.get(), L"ScaleMode"),
                                               Variant(3L)}).get());
        const long row = static_cast<long>(send_bounded(lbcb::window_of(box), LB_GETITEMHEIGHT, 0, 0).value_or(0));
        if (row == 0) raise(err::DivisionByZero);
        return CLng(pixels / row);
    });
}

HRESULT LB_CB::LB_AllowResize(IDispatch* ListBox, VARIANT_BOOL DeactivateResizing, long* result) {
    return untrapped(result, [&] {
        IDispatch* box = ListBox;
        long done = 0;
        check(shared<_Controls>()->Control_AllowResize(&box, DeactivateResizing, &done));
        return done;
    });
}

HRESULT LB_CB::LB_GetIndexUnderMouse(IDispatch* ListBox, float X, float Y, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_GetIndexUnderMouse", ErrorNumber}, result, -2L,
                   [&] { return index_under_mouse(lbcb::box_of(ListBox), X, Y); });
}

HRESULT LB_CB::LB_GetItemUnderMouse(IDispatch* ListBox, float X, float Y, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::LB_CB, L"LB_GetItemUnderMouse", ErrorNumber}, result, Bstr(), [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        long error_number = 0, index = -1;
        check(LB_GetIndexUnderMouse(box, X, Y, &error_number, &index));
        if (error_number != 0) return Bstr();
        return Bstr(CStr(*late::get(box, L"List", {Variant(index)}).get()));
    });
}

// The item whose rectangle holds the point (twips of the screen, bounds included);
// -1 and ItemText untouched for a point on no item.
HRESULT LB_CB::LB_GetRightClickedItem(IDispatch* ListBox, float PosX, float PosY, BSTR* ItemText, long* ErrorNumber,
                                      long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_GetRightClickedItem", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        const HWND window = lbcb::window_of(box);
        const long x = CLng(static_cast<double>(PosX)) / CLng(forms::screen_twips_per_pixel_x());
        const long y = CLng(static_cast<double>(PosY)) / CLng(forms::screen_twips_per_pixel_y());
        const long r = item_from_point(window, x, y);
        RECT rect{};
        send_bounded(window, LB_GETITEMRECT, static_cast<WPARAM>(static_cast<ULONG>(r)),
                     reinterpret_cast<LPARAM>(&rect));
        if (x < rect.left || x > rect.right || y < rect.top || y > rect.bottom) return -1L;
        if (ItemText) {
            Bstr text(CStr(*late::get(box, L"List", {Variant(r)}).get()));
            SysFreeString(*ItemText);
            *ItemText = text.detach();
        }
        return r;
    });
}

// A double click on an item: Index (0 or more) is selected first and clicked;
// without one the current selection is clicked, else the top-left corner.
HRESULT LB_CB::LB_DblClick(VARIANT ListBox, long Index) {
    return untrapped([&] {
        if (Index > -2) {
            long ignored_error = 0;
            VARIANT_BOOL ignored = VARIANT_FALSE;
            check(shared<_LB_CB>()->Set_ListIndex(ListBox, Index, &ignored_error, &ignored));
            forms::do_events();
        }
        const HWND window = handle_of(ListBox);
        // The box may be another program's, which may not answer.
        long item = Index >= 0 ? Index : static_cast<long>(send_bounded(window, LB_GETCURSEL).value_or(LB_ERR));
        RECT rect{};
        if (item >= 0) send_bounded(window, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect));
        send_bounded(window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(rect.left, rect.top));
    });
}

}  // namespace qm
