// File: the system's open and save dialogs, and the folder-browse dialog set up
// to show files.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/directory.h"
#include "files/file.h"
#include "frame/mycontrols.h"
#include "runtime/contract.h"
#include "runtime/forms/limits.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// Room for the longest path the system can give back.
constexpr size_t kPathRoom = 32768;

enum class FileDialog { Open, Save };

// Shows the dialog owned by hwnd with filter (its NUL-separated pairs passed as
// they are) and proposed in the name field; when x and y are not both negative,
// a new worker form moves it there once it has appeared (380 before anything
// shows for a place no window can have). The chosen path up to its first NUL,
// "" when cancelled.
std::wstring show_file_dialog(FileDialog kind, long hwnd, std::wstring_view filter, std::wstring_view proposed,
                              long x, long y) {
    std::wstring filters(filter);
    filters.append(2, L'\0');  // ends the list however the caller wrote it
    std::vector<wchar_t> buffer(std::max(kPathRoom, proposed.size() + 1), L'\0');
    std::copy(proposed.begin(), proposed.end(), buffer.begin());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = hwnd_of(hwnd);
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = kind == FileDialog::Open ? OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST
                                         : OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;

    ComPtr<MyControls> placer;
    if (!(x < 0 && y < 0)) {
        forms::check_window(x, y, 0, 0);
        placer = forms::make<MyControls>();
        placer->load();
        try {
            placer->SetMsgbox(hwnd, x, y);
        } catch (...) {
            placer->unload();
            throw;
        }
    }
    const BOOL chosen = kind == FileDialog::Open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    if (!chosen) return {};
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

}  // namespace

HRESULT File::Show_FileDialogOpen(long hwnd, BSTR Filter, long* XPos, long* YPos, BSTR* result) {
    return untrapped(result, [&] {
        return Bstr(show_file_dialog(FileDialog::Open, hwnd, text_of(Filter), {}, arg_or(XPos, -1L),
                                     arg_or(YPos, -1L)));
    });
}

HRESULT File::Show_FileDialogSave(long hwnd, BSTR Filter, BSTR* Filename, long* XPos, long* YPos, BSTR* result) {
    return untrapped(result, [&] {
        return Bstr(show_file_dialog(FileDialog::Save, hwnd, text_of(Filter),
                                     Filename ? text_of(*Filename) : std::wstring_view(), arg_or(XPos, -1L),
                                     arg_or(YPos, -1L)));
    });
}

// The folder-browse dialog showing files too; the caller's record keeps the
// two flags.
HRESULT File::BrowseForFile(BROWSENFO* BROWSEINFO, BSTR* result) {
    return untrapped(result, [&] {
        if (!BROWSEINFO) raise(err::InvalidCall);
        constexpr long kIncludeFiles = 0x4000, kNewDialogStyle = 0x40;
        BROWSEINFO->Flags = static_cast<ShellBrowseFlags>(BROWSEINFO->Flags | kIncludeFiles | kNewDialogStyle);
        return Bstr(Show_BrowseForFolder(*BROWSEINFO));
    });
}

}  // namespace qm
