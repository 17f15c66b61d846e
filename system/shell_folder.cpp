#include "system/shell_folder.h"

#include <windows.h>
#include <shlobj.h>

namespace qm::sys {

// The folder's current path straight from the shell's folder table: the same
// answer as resolving its item identifier list, without needing the shell's
// desktop namespace.
std::wstring shell_folder_path(int csidl) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

}  // namespace qm::sys
