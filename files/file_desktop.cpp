// File: the shell's properties sheet, an Explorer window with the file
// selected, the file's shell icon and a file list on the clipboard.
#include <windows.h>
#include <olectl.h>
#include <shellapi.h>

#include <cstddef>
#include <optional>
#include <string>

#include "files/file.h"
#include "files/shell.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "windows/window_common.h"

namespace qm {

HRESULT File::Show_FilePropertiesDialog(long hwnd, BSTR File, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring file(text_of(File));
        check_plain_path(file);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.hwnd = hwnd_of(hwnd);
        info.lpVerb = L"properties";
        info.lpFile = file.c_str();
        const bool done = ShellExecuteExW(&info) != FALSE;
        if (info.hProcess) CloseHandle(info.hProcess);
        return done;
    });
}

// Explorer with the file selected, when the file is there.
HRESULT File::OpenInExplorer(BSTR File, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring file(text_of(File));
        if (!exists(file, ErrorNumber)) return false;
        const std::optional<std::wstring> selected = explorer_argument(file);
        if (!selected) return false;
        Bstr program(L"Explorer.exe");
        Bstr argument(L"/select," + *selected);
        BSTR path = program.get(), param = argument.get();
        long style = SW_SHOWNORMAL;
        VARIANT_BOOL started = VARIANT_FALSE;
        check(shared<_Shell>()->Execute(&path, &param, &style, &started));
        return true;
    });
}

// The shell's large or small icon of the file as an icon picture that owns the
// handle; a file the shell has no icon for gives an empty icon picture.
HRESULT File::Get_LinkedIconFromFile(BSTR File, VARIANT_BOOL* SmallIcon, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        const std::wstring file(text_of(File));
        check_plain_path(file);
        SHFILEINFOW info{};
        UINT flags = SHGFI_ICON | (flag_or(SmallIcon, false) ? SHGFI_SMALLICON : 0);
        if (!SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), flags)) info.hIcon = nullptr;
        PICTDESC desc{};
        desc.cbSizeofstruct = sizeof(desc);
        desc.picType = PICTYPE_ICON;
        desc.icon.hicon = info.hIcon;
        const HRESULT hr = OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(result));
        if (FAILED(hr)) {
            if (info.hIcon) DestroyIcon(info.hIcon);
            check(hr);
        }
    });
}

namespace {

// The file list of the shell's drop format, in its wide form so that each path
// reaches the shell as written: each path and a NUL, then one more NUL. Empty
// paths are left out: the shell would read one as the list's end and drop the
// paths after it. "" when no path remains.
std::wstring drop_list(const VARIANT& list) {
    std::wstring text;
    auto add = [&](const VARIANT& item) {
        const std::wstring path = CStr(item);
        if (path.empty()) return;
        text += path;
        text += L'\0';
    };
    if (SAFEARRAY* array = array_of(list))
        for (const Variant& item : elements_of(array)) add(*item.get());
    else
        add(list);
    if (!text.empty()) text += L'\0';
    return text;
}

// The header of the drop format: where the list starts, the drop point, the
// non-client flag and the wide-text flag.
struct DropHeader {
    DWORD files;
    POINT point;
    BOOL non_client, wide;
};
static_assert(sizeof(DropHeader) == 20 && offsetof(DropHeader, point) == 4 && offsetof(DropHeader, non_client) == 12 &&
              offsetof(DropHeader, wide) == 16);

struct ClipboardOpen {
    bool open = OpenClipboard(nullptr) != FALSE;
    ~ClipboardOpen() { CloseClipboard(); }
};

}  // namespace

// The paths on the clipboard as a file-drop list; True when the clipboard took
// it. The memory block goes to the clipboard, or is freed when it refuses it.
// Without a path the clipboard keeps what it holds and the result is False.
HRESULT File::FilesToClipboard(VARIANT* FileList, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!FileList) raise(err::InvalidCall);
        const std::wstring list = drop_list(*FileList);
        if (list.empty()) return false;
        const size_t list_bytes = list.size() * sizeof(wchar_t);
        ClipboardOpen clipboard;
        if (!clipboard.open) return false;
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DropHeader) + list_bytes);
        if (!block) return false;
        auto* header = static_cast<DropHeader*>(GlobalLock(block));
        if (!header) {
            GlobalFree(block);
            return false;
        }
        header->files = sizeof(DropHeader);
        header->wide = TRUE;
        memcpy(reinterpret_cast<char*>(header) + sizeof(DropHeader), list.data(), list_bytes);
        GlobalUnlock(block);
        if (SetClipboardData(CF_HDROP, block)) return true;
        GlobalFree(block);
        return false;
    });
}

}  // namespace qm
