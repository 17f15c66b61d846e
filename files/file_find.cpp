// File: finding a file by name below a folder or on every drive.
#include <string>

#include "files/file.h"
#include "files/folder_walk.h"
#include "runtime/contract.h"

namespace qm {

// Full path of the first file named FileToFind (any case, no wildcards) below
// StartSearchPath, or on every drive in the system's order with
// SearchAllDrives; "" when there is none.
HRESULT File::Find(BSTR FileToFind, BSTR StartSearchPath, VARIANT_BOOL* SearchAllDrives, VARIANT_BOOL* ShowProgress,
                   BSTR* result) {
    return trapped(Trap{Source::File, L"Find"}, result, Bstr(L""), [&] {
        return Bstr(search_drives_or_path(std::wstring(text_of(FileToFind)), std::wstring(text_of(StartSearchPath)),
                                          SearchAllDrives && *SearchAllDrives, ShowProgress && *ShowProgress, false));
    });
}

}  // namespace qm
