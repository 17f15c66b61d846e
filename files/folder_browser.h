// The shell's folder-browse dialog, kept apart from the type library's
// declarations (the shell's headers name some of the same things).
#pragma once
#include <windows.h>

#include <string>

namespace qm {

struct FolderBrowseRequest {
    HWND owner = nullptr;
    std::wstring title;
    long special_root = 0;         // a special folder's number; 0: none
    std::wstring root_path;        // takes precedence over special_root
    std::wstring selected;         // "" selects the desktop folder
    unsigned long flags = 0;       // the shell's browse flags, unchanged
    std::wstring invalid_message;  // "" shows no box for a name typed that is not valid
    std::wstring invalid_title;
};

struct FolderBrowseResult {
    std::wstring path;  // the chosen item's file-system path; "" when cancelled or none
    bool has_display_name = false;
    std::wstring display_name;
};

FolderBrowseResult browse_for_folder(const FolderBrowseRequest& request);

// The file-system path of a special folder (no trailing "\"); "" when the system lacks it.
std::wstring Get_SpecialFolderPath(long folder, HWND hwnd);

}  // namespace qm
