// Controls: one entry point for the standard save, open, font, colour and
// print dialogs, chosen by the caller's record.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "controls/controls.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

// The print dialog: shown for its own sake, the choice is not used. The device
// memory it hands back is freed; a dialog that cannot open (no printer) is quiet.
void show_print_dialog(long owner) {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(owner));
    PrintDlgW(&pd);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
}

}  // namespace

// Errors of the dialogs reach the caller. The filter is completed in the
// caller's record: every call adds the three closing NULs again.
HRESULT Controls::CommonDialog(COMMONDIALOGINFO* ComDiag, BSTR* result) {
    return untrapped(result, [&] {
        if (!ComDiag) raise(err::InvalidCall);
        std::wstring filter(text_of(ComDiag->Filter));
        if (filter.empty()) filter.assign(L"Alle Dateien (*.*)\0*.*", 22);
        filter.append(3, L'\0');
        Bstr completed(filter);
        SysFreeString(ComDiag->Filter);
        ComDiag->Filter = completed.detach();

        long x = ComDiag->XPos, y = ComDiag->YPos;
        Bstr chosen;
        switch (ComDiag->Flags) {
            case cdSHOWSAVE: {
                Bstr name(L"");
                BSTR n = name.get();
                check(shared<_File>()->Show_FileDialogSave(ComDiag->hwnd, ComDiag->Filter, &n, &x, &y, chosen.put()));
                break;
            }
            case cdSHOWOPEN:
                check(shared<_File>()->Show_FileDialogOpen(ComDiag->hwnd, ComDiag->Filter, &x, &y, chosen.put()));
                break;
            case cdSHOWFONT: {
                long owner = 0;
                ComPtr<IDispatch> font;
                check(shared<_Dialog>()->FontDlg(&owner, font.put()));
                if (font) chosen = Bstr(CStr(late::value_of(Variant(font.get()))));
                break;
            }
            case cdSHOWCOLOR: {
                long colour = -1;
                check(shared<_Dialog>()->ColorDlg(ComDiag->hwnd, VARIANT_TRUE, &colour));
                chosen = Bstr(std::to_wstring(colour));
                break;
            }
            case cdSHOWPRINTER:
                show_print_dialog(ComDiag->hwnd);
                break;
            default:
                break;
        }
        return chosen;
    });
}

}  // namespace qm
