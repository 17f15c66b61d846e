// File: the shell's file operation on one file and deletion into the recycle bin.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "files/file.h"
#include "files/filebase.h"
#include "runtime/contract.h"
#include "runtime/handover.h"

namespace qm {

// SH_FileOperation with the record's fields, files only; the record's Target
// comes back as the operation used it.
HRESULT File::FileOperation(FOPEATION* OPERATION, long* result) {
    return untrapped(result, [&] {
        if (!OPERATION) raise(err::InvalidCall);
        long hwnd = OPERATION->hwnd;
        long operation = static_cast<long>(OPERATION->OPERATION);
        std::wstring source(text_of(OPERATION->Source)), target(text_of(OPERATION->Target));
        const long r = SH_FileOperation(hwnd, operation, source, target, false, OPERATION->Confirm != 0,
                                        OPERATION->SHOWDIALOGS != 0, OPERATION->ShowProgress != 0,
                                        OPERATION->MOVETORECYCLEBIN != 0);
        if (target != text_of(OPERATION->Target)) {
            Bstr updated(target);
            SysFreeString(OPERATION->Target);
            OPERATION->Target = updated.detach();
        }
        return r;
    });
}

// Deletes File into the recycle bin; True only when the shell did it.
HRESULT File::MOVETORECYCLEBIN(BSTR* File, VARIANT_BOOL* Confirm, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring from(File ? text_of(*File) : std::wstring_view());
        if (from.empty()) return false;
        check_plain_path(from);
        from.append(2, L'\0');
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_ALLOWUNDO | ((Confirm && *Confirm) ? 0 : FOF_NOCONFIRMATION);
        return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
    });
}

}  // namespace qm
