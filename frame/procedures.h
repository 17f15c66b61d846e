// The frame's shared procedures: not members, not in the type library; the
// classes call them directly.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The window handle of a client's form or control (its late-bound hwnd; then
// is_object becomes true, otherwise it keeps its value), or of a handle passed
// as a number or as a number in text form; 0 when it is none of these. Never raises.
long Get_hWnd(const VARIANT& obj, bool& is_object) noexcept;

// The index of a process in a 0-based list of PROCESSINFO records: by name
// (whole EXENAME, case-insensitive) or, when name is empty, by process id; -1
// when absent. A list that is unallocated or does not start at 0 is reported
// and gives -1. The caller's name is not changed.
long ProcessFind(const SAFEARRAY* list, std::wstring_view name, long pid) noexcept;

// Yields to the message loop count + 1 times; nothing when count is negative.
void Wait_DoEvents(long count);

// A place and size a member is about to give a client's form or control, in the
// object's own units (its container's scale; a form's twips); what is left out
// keeps its present value.
struct Placement {
    std::optional<double> left, top, width, height;
};
// Raises now, changing nothing, what the forms engine would raise when the form
// or control took `to` (380 beyond the largest window, 480 for an AutoRedraw
// image that cannot grow so far). For members that walk a control towards a
// target step by step, or set its sides one after the other. Objects of other
// origins bound their own sizes: nothing is checked for them.
void Check_Placement(IDispatch* object, const Placement& to);

// Sorts the array in a Variant (or behind a by-reference Variant) ascending by
// the runtime's comparison, in place, keeping each element's type; false, after
// a report, when it is no array or holds values that cannot be compared.
bool BubbleSort(VARIANT& list) noexcept;

// Sorts a client's list box (unless its Sorted is True) through its List,
// ListCount, Clear and AddItem; item data is not kept. Raises 9 for an empty list.
short Sort_ListBox(IDispatch* list_box);

// Sorts list[low..high] ascending by character code.
void QuickSort(std::vector<std::wstring>& list, long low, long high);

// The list-box or combo-box message of a list operation (1 GETCURSEL, 2 SETCURSEL,
// 3 INSERTSTRING, 4 DELETESTRING, 5 RESETCONTENT, 6 FINDSTRINGEXACT, 7 FINDSTRING,
// 8 SETSEL) for the kind of box control is, with its handle in hwnd; 0 for
// another operation, -2 when the control is neither kind. Never raises.
long Kill_DoubleItemsFunc(const VARIANT& control, long operation, long& hwnd) noexcept;

// 2 to the power exponent for 0 to 30 (0 for a negative exponent); overflow (6) above.
long Get_PowerOfTwo(short exponent);

}  // namespace qm
