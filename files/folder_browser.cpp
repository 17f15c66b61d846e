// The shell's folder-browse dialog: root, start selection, status text and the
// box for a name typed that is not valid.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "files/folder_browser.h"

namespace qm {

namespace {

std::wstring path_of(PCIDLIST_ABSOLUTE item) {
    wchar_t path[MAX_PATH + 1] = {};
    if (!item || !SHGetPathFromIDListW(item, path)) return {};
    return path;
}

int CALLBACK BrowseCallbackProc(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData) {
    const auto& request = *reinterpret_cast<const FolderBrowseRequest*>(lpData);
    switch (uMsg) {
        case BFFM_INITIALIZED: {
            const std::wstring start =
                request.selected.empty() ? Get_SpecialFolderPath(CSIDL_DESKTOP, hwnd) : request.selected;
            SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
            break;
        }
        case BFFM_SELCHANGED: {
            const std::wstring path = path_of(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
            if (!path.empty()) SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.c_str()));
            break;
        }
        case BFFM_VALIDATEFAILEDA:
        case BFFM_VALIDATEFAILEDW:
            if (!request.invalid_message.empty())
                MessageBoxW(hwnd, request.invalid_message.c_str(), request.invalid_title.c_str(), MB_OK);
            break;
        default: break;
    }
    return 0;
}

}  // namespace

std::wstring Get_SpecialFolderPath(long folder, HWND hwnd) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(hwnd, static_cast<int>(folder), &item))) return {};
    std::wstring path = path_of(item);
    CoTaskMemFree(item);
    return path;
}

FolderBrowseResult browse_for_folder(const FolderBrowseRequest& request) {
    PIDLIST_ABSOLUTE root = nullptr;
    if (!request.root_path.empty())
        root = ILCreateFromPathW(request.root_path.c_str());  // unknown to the shell: the whole tree
    else if (request.special_root != 0 &&
             FAILED(SHGetSpecialFolderLocation(request.owner, static_cast<int>(request.special_root), &root)))
        root = nullptr;

    wchar_t display[MAX_PATH + 1];
    std::fill(display, display + MAX_PATH, L' ');
    display[MAX_PATH] = L'\0';
    BROWSEINFOW info{};
    info.hwndOwner = request.owner;
    info.pidlRoot = root;
    info.pszDisplayName = display;
    info.lpszTitle = request.title.c_str();
    info.ulFlags = static_cast<UINT>(request.flags);
    info.lpfn = BrowseCallbackProc;
    info.lParam = reinterpret_cast<LPARAM>(&request);

    (void)CoInitialize(nullptr);  // the thread stays initialised, as the dialog's objects may outlive the call
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (root) CoTaskMemFree(root);

    FolderBrowseResult result;
    if (display[0] != L' ') {
        result.has_display_name = true;
        result.display_name.assign(display, wcsnlen(display, MAX_PATH));
    }
    if (chosen) {
        result.path = path_of(chosen);
        CoTaskMemFree(chosen);
    }
    return result;
}

}  // namespace qm
