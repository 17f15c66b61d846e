// Drive: the client's drive list box (a combo box listing "x: [label]" items),
// reached late-bound and through its window's messages.
#include <string>

#include "controls/lb_cb_internal.h"
#include "files/drive.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/strings.h"

namespace qm {

namespace {

using lbcb::item_text;
using lbcb::list_count;
using lbcb::window_of;

IDispatch* box_of(IDispatch** box) { return lbcb::box_of(box ? *box : nullptr); }
// The drive letter an item stands for, lower-cased ("" for an empty item).
std::wstring item_letter(IDispatch* box, long index) { return LCase(Left(item_text(box, index), 1)); }
// The type of the drive an item stands for; dtINVALIDDRIVE for an empty item or
// a letter that is no drive.
::DriveTyp item_type(IDispatch* box, long index) {
    const std::wstring letter = Left(item_text(box, index), 1);
    return letter.empty() ? dtINVALIDDRIVE : drive_type_of(Check_DriveLetter(letter, true));
}
// The box's window handle as the handle-based list members take it.
long handle_of(IDispatch* box) { return static_cast<long>(reinterpret_cast<LONG_PTR>(window_of(box))); }

}  // namespace

HRESULT Drive::DriveBox_Clear(IDispatch** DriveBox, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Drive, L"DriveBox_Clear", ErrorNumber}, result, false, [&] {
        VARIANT_BOOL cleared = VARIANT_FALSE;
        check(shared<_LB_CB>()->apiClear(handle_of(box_of(DriveBox)), &cleared));
        return cleared != VARIANT_FALSE;
    });
}

// Removes the first item of the drive's letter.
HRESULT Drive::DriveBox_RemoveDrive(IDispatch** DriveBox, BSTR Drive, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Drive, L"DriveBox_RemoveDrive", ErrorNumber}, result, false, [&] {
        IDispatch* box = box_of(DriveBox);
        const std::wstring root = Check_DriveLetter(text_of(Drive), false);
        if (root.empty()) return false;
        const std::wstring letter = LCase(root.substr(0, 1));
        for (long i = 0, n = list_count(box); i < n; ++i) {
            if (item_letter(box, i) != letter) continue;
            VARIANT_BOOL removed = VARIANT_FALSE;
            check(shared<_LB_CB>()->apiRemoveItem(handle_of(box), i, &removed));
            return removed != VARIANT_FALSE;
        }
        return false;
    });
}

HRESULT Drive::DriveBox_DriveExist(IDispatch** DriveBox, BSTR Drive, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Drive, L"DriveBox_DriveExist", ErrorNumber}, result, false, [&] {
        IDispatch* box = box_of(DriveBox);
        const std::wstring root = Check_DriveLetter(text_of(Drive), false);
        if (root.empty()) return false;
        const std::wstring letter = LCase(root.substr(0, 1));
        for (long i = 0, n = list_count(box); i < n; ++i)
            if (item_letter(box, i) == letter) return true;
        return false;
    });
}

// Keeps only the items of drives of DriveType and selects the first of them;
// 0, or the error number.
HRESULT Drive::DriveBox_SelectDriveTyp(IDispatch** DrvListBox, DriveTyp* DriveType, long* result) {
    return trapped(Trap{Source::Drive, L"DriveBox_Select"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = box_of(DrvListBox);
        const ::DriveTyp wanted = DriveType ? *DriveType : dtUNKNOWN;
        const HWND hwnd = window_of(box);
        long i = 0;
        while (i < list_count(box)) {
            if (item_type(box, i) == wanted) {
                ++i;
            } else if (SendMessageW(hwnd, CB_DELETESTRING, static_cast<WPARAM>(i), 0) == CB_ERR) {
                ++i;  // a window that keeps the item: step on rather than ask for ever
            }
        }
        if (list_count(box) > 0) SendMessageW(hwnd, CB_SETCURSEL, 0, 0);
        return 0L;
    });
}

// Removes every item of a drive of that type, from the last to the first.
HRESULT Drive::DriveBox_RemoveDriveTyp(IDispatch** DriveBox, ::DriveTyp DriveTyp, long* ErrorNumber,
                                       VARIANT_BOOL* result) {
    return trapped(Trap{Source::Drive, L"DriveBox_RemoveDriveTyp", ErrorNumber}, result, false, [&] {
        IDispatch* box = box_of(DriveBox);
        const long hwnd = handle_of(box);
        _LB_CB* lists = shared<_LB_CB>();
        for (long i = list_count(box) - 1; i >= 0; --i) {
            if (item_type(box, i) != DriveTyp) continue;
            VARIANT_BOOL removed = VARIANT_FALSE;
            check(lists->apiRemoveItem(hwnd, i, &removed));
        }
        return true;
    });
}

}  // namespace qm
