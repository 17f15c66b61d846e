// LB_CB: list and combo boxes of any window, given only by their handle. The kind
// of box comes from the window's class name; each operation is the list box's or
// the combo box's message. Texts travel as UTF-16, so no character is lost to the
// ANSI code page, also with boxes of other processes.
#include <string>
#include <vector>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::BoxKind;
using lbcb::box_kind;

namespace {

struct Messages {
    UINT count, text_length, text, insert, remove, reset, current, find_exact;
};
constexpr Messages kListMessages{LB_GETCOUNT,     LB_GETTEXTLEN,   LB_GETTEXT,  LB_INSERTSTRING,
                                 LB_DELETESTRING, LB_RESETCONTENT, LB_GETCURSEL, LB_FINDSTRINGEXACT};
constexpr Messages kComboMessages{CB_GETCOUNT,     CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_INSERTSTRING,
                                  CB_DELETESTRING, CB_RESETCONTENT, CB_GETCURSEL, CB_FINDSTRINGEXACT};

const Messages& messages_of(BoxKind kind) { return kind == BoxKind::List ? kListMessages : kComboMessages; }

// A box given by its window, with the messages of its kind.
struct HandleBox {
    HWND window;
    BoxKind kind;
    explicit HandleBox(long hwnd) : window(lbcb::hwnd_of(hwnd)), kind(box_kind(window)) {}
    bool known() const noexcept { return kind != BoxKind::Unknown; }
    // The box may be another program's: one that does not answer is an error.
    LRESULT send(UINT Messages::*message, WPARAM wp = 0, LPARAM lp = 0) const {
        const auto answer = send_bounded(window, messages_of(kind).*message, wp, lp);
        if (!answer) raise(err::InvalidCall);
        return *answer;
    }
    long count() const { return static_cast<long>(send(&Messages::count)); }
    // Item i's text; an index the box does not know gives the invalid-argument error.
    std::wstring text(long i) const {
        const LRESULT length = send(&Messages::text_length, static_cast<WPARAM>(i));
        if (length < 0) raise(err::InvalidCall);
        std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied = send(&Messages::text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
        if (copied < 0) raise(err::InvalidCall);
        buffer.resize(std::min(static_cast<size_t>(copied), static_cast<size_t>(length)));
        return buffer;
    }
};

// The number of a pending error, also for exceptions that are not run-time errors.
long error_number_of(std::exception_ptr e) noexcept { return detail::as_runtime_error(e).number(); }

}  // namespace

HRESULT LB_CB::Get_BoxTypeByHwnd(long hwnd, BOXTYPE* result) {
    if (!result) return E_POINTER;
    *result = isUNKNOWNBOXTYP;
    return untrapped([&] { *result = static_cast<BOXTYPE>(box_kind(lbcb::hwnd_of(hwnd))); });
}

HRESULT LB_CB::apiItemCount(long hwnd, long* result) {
    return untrapped(result, [&] {
        const HandleBox box(hwnd);
        return box.known() ? box.count() : -1L;
    });
}

HRESULT LB_CB::apiListIndex(long hwnd, long* result) {
    return untrapped(result, [&] {
        const HandleBox box(hwnd);
        return box.known() ? static_cast<long>(box.send(&Messages::current)) : -2L;
    });
}

HRESULT LB_CB::apiList(long hwnd, long Index, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::LB_CB, L"apiList", ErrorNumber}, result, Bstr(), [&] {
        const HandleBox box(hwnd);
        return box.known() ? Bstr(box.text(Index)) : Bstr();
    });
}

// Every item's text into a 0-based Variant array; an empty box leaves the array
// without elements. A box of no kind leaves the array as it was.
HRESULT LB_CB::apiReadInArray(long hwnd, VARIANT* sArray, long* result) {
    return trapped(Trap{Source::LB_CB, L"apiReadInArray"}, result, ErrorNumberResult{}, [&] {
        const HandleBox box(hwnd);
        if (!box.known()) return -1L;
        if (!sArray) raise(err::InvalidCall);
        VARIANT& target = deref(*sArray);
        std::vector<Variant> texts;
        for (long i = 0, n = box.count(); i < n; ++i) texts.emplace_back(box.text(i));
        const VARTYPE vt = array_type(target);
        if (texts.empty())
            assign_array(target, SafeArray(vt == VT_EMPTY ? static_cast<VARTYPE>(VT_VARIANT) : vt));
        else
            assign_array(target, variant_array(texts));
        return 0L;
    });
}

// The handle box's texts into a box the caller holds (replacing its items).
// ErrorNumber keeps what the caller passed unless an error happens here.
HRESULT LB_CB::apiRead(long hwnd, IDispatch* LBCB, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"apiRead"}, result, -2L, [&] {
        try {
            Variant texts;
            long read = 0;
            check(apiReadInArray(hwnd, texts.get(), &read));
            if (read != 0) return read;
            IDispatch* box = LBCB;
            VARIANT_BOOL allow = VARIANT_TRUE, clear = VARIANT_TRUE;
            long added = 0;
            check(AddArray(&box, texts.get(), &allow, &clear, &added));
            return added;
        } catch (...) {
            if (ErrorNumber) *ErrorNumber = error_number_of(std::current_exception());
            throw;
        }
    });
}

// Inserts at Index (-1: at the end; a sorted box does not place it); the new
// item's index or the box's error reply. Without AllowDouble, -1 when an item
// holds the same text (case counts).
HRESULT LB_CB::apiAdd(long hwnd, BSTR StringToAdd, long Index, VARIANT_BOOL AllowDouble, long* ErrorNumber,
                      long* result) {
    if (ErrorNumber) *ErrorNumber = 0;
    return trapped(Trap{Source::LB_CB, L"apiAdd"}, result, ErrorNumberResult{}, [&] {
        const HandleBox box(hwnd);
        if (!box.known()) return -2L;
        const std::wstring text(text_of(StringToAdd));
        if (AllowDouble == VARIANT_FALSE)
            for (long i = 0, n = box.count(); i < n; ++i)
                if (box.text(i) == text) return -1L;
        return static_cast<long>(
            box.send(&Messages::insert, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(text.c_str())));
    });
}

// Deletes item Index; True when the box answered with the number of items left.
HRESULT LB_CB::apiRemoveItem(long hwnd, long Index, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const HandleBox box(hwnd);
        return box.known() && box.send(&Messages::remove, static_cast<WPARAM>(Index)) >= 0;
    });
}

HRESULT LB_CB::apiClear(long hwnd, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const HandleBox box(hwnd);
        return box.known() && box.send(&Messages::reset) >= 0;
    });
}

// The first item from the box's own whole-text match on that equals ToFind:
// exactly, or both lower-cased. The caller's ToFind is left as it was.
HRESULT LB_CB::apiFind(long hwnd, BSTR ToFind, VARIANT_BOOL FindExact, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"apiFind", ErrorNumber}, result, -2L, [&] {
        const bool exact = FindExact != VARIANT_FALSE;
        const std::wstring key = lbcb::key_of(std::wstring(text_of(ToFind)), exact);
        const HandleBox box(hwnd);
        if (!box.known()) return -2L;
        const long n = box.count();
        if (n <= 0) return -1L;
        const long first = static_cast<long>(
            box.send(&Messages::find_exact, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(key.c_str())));
        if (first < 0) return -1L;
        for (long i = first; i < n; ++i)
            if (lbcb::key_of(box.text(i), exact) == key) return i;
        return -1L;
    });
}

}  // namespace qm
