// Drive: the client's drive list box (a combo box listing "x: [label]" items),
// reached late-bound and through its window's messages.
#include <string>

#include "controls/lb_cb_internal.h"
#include "files/drive.h"
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

}  // namespace

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
            const std::wstring letter = Left(item_text(box, i), 1);
            const ::DriveTyp type = letter.empty() ? dtINVALIDDRIVE : drive_type_of(Check_DriveLetter(letter, true));
            if (type == wanted) {
                ++i;
            } else if (SendMessageW(hwnd, CB_DELETESTRING, static_cast<WPARAM>(i), 0) == CB_ERR) {
                ++i;  // a window that keeps the item: step on rather than ask for ever
            }
        }
        if (list_count(box) > 0) SendMessageW(hwnd, CB_SETCURSEL, 0, 0);
        return 0L;
    });
}

}  // namespace qm
