// Directory: the folder-browse dialog from the client's record, and the
// folder's owner.
#include <windows.h>

#include <string>
#include <vector>

#include "files/directory.h"
#include "files/folder_browser.h"
#include "runtime/contract.h"

namespace qm {

std::wstring Show_BrowseForFolder(BROWSENFO& Info) {
    FolderBrowseRequest request;
    request.owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(Info.hwnd));
    request.title = text_of(Info.Title);
    request.special_root = Info.SYSROOT;
    request.root_path = text_of(Info.ROOTPATH);
    request.selected = text_of(Info.SELECTEDFOLDERPATH);
    request.flags = static_cast<unsigned long>(Info.Flags);
    request.invalid_message = text_of(Info.INVALIDSELECTIONMESSAGE);
    request.invalid_title = text_of(Info.INVALIDSELECTIONTITLE);
    FolderBrowseResult chosen = browse_for_folder(request);
    if (chosen.has_display_name) {
        Bstr name(chosen.display_name);
        SysFreeString(Info.RETURNEDFOLDERPATH);
        Info.RETURNEDFOLDERPATH = name.detach();
    }
    return chosen.path;
}

HRESULT Directory::BrowseForDirectory(BROWSENFO* BROWSEINFO, BSTR* result) {
    return untrapped(result, [&] {
        if (!BROWSEINFO) raise(err::InvalidCall);
        return Bstr(Show_BrowseForFolder(*BROWSEINFO));
    });
}

namespace {

// "domain\account" of a security identifier, as the local system names it.
std::wstring Get_AccountNameFromSid(PSID sid) {
    if (!IsValidSid(sid)) return L"<INVALID SID>";
    DWORD name_length = 0, domain_length = 0;
    SID_NAME_USE use;
    LookupAccountSidW(nullptr, sid, nullptr, &name_length, nullptr, &domain_length, &use);
    std::vector<wchar_t> name(name_length + 1), domain(domain_length + 1);
    name_length = static_cast<DWORD>(name.size());
    domain_length = static_cast<DWORD>(domain.size());
    if (!LookupAccountSidW(nullptr, sid, name.data(), &name_length, domain.data(), &domain_length, &use))
        return L"<UNKNOWN SID>";
    return std::wstring(domain.data(), domain_length) + L"\\" + std::wstring(name.data(), name_length);
}

}  // namespace

// The folder's owner as "domain\account"; "" when the system does not tell it.
HRESULT Directory::Get_Owner(BSTR Directory, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring path(text_of(Directory));
        DWORD needed = 0;
        GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &needed);
        if (needed == 0) return Bstr();
        std::vector<BYTE> descriptor(needed);
        if (!GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
            return Bstr();
        PSID owner = nullptr;
        BOOL defaulted = FALSE;
        if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || !owner) return Bstr();
        return Bstr(Get_AccountNameFromSid(owner));
    });
}

}  // namespace qm
