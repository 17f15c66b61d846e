// Shell links made through the system's link object.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "files/filebase.h"
#include "files/shell_link.h"
#include "runtime/com_ptr.h"
#include "runtime/errors.h"

namespace qm {

void create_shell_link(LinkFolder folder, std::wstring_view name, std::wstring_view target) {
    wchar_t path[MAX_PATH] = {};
    check(SHGetFolderPathW(nullptr, static_cast<int>(folder) | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path));
    const std::wstring file = AddBackslash(path) + std::wstring(name) + L".lnk";
    ComPtr<IShellLinkW> link;
    check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
    check(link->SetPath(std::wstring(target).c_str()));
    check(link->SetArguments(L""));
    ComPtr<IPersistFile> persist = link.query<IPersistFile>();
    if (!persist) raise(err::CantPerformOperation);
    check(persist->Save(file.c_str(), TRUE));
}

}  // namespace qm
