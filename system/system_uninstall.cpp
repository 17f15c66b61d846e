// The uninstall batch file run once at the next logon, and emptying the user's
// and the system's folders of passing files.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/process.h"
#include "runtime/safearray.h"
#include "system/system.h"

namespace qm {

namespace {

constexpr wchar_t kRunOnce[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The four lines that show and delete one file; false when the path cannot be
// written into a batch line as one name (see process::batch_word).
bool delete_lines(std::vector<std::wstring>& lines, const std::wstring& path) {
    const std::optional<std::wstring> q = process::batch_word(path);
    if (!q) return false;
    lines.push_back(L"echo Set Fileattribut " + *q);
    lines.push_back(L"Attrib -R -A -S -H " + *q);
    lines.push_back(L"echo Delete " + *q);
    lines.push_back(L"Del " + *q);
    return true;
}

// Whether the list argument holds no value at all: omitted, Empty or Null.
bool no_value(const VARIANT& v) noexcept {
    return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

// The folder ids the clean-up values empty (0: no folder).
long cleanup_folder(long value) noexcept {
    switch (value) {
    case cuUser_Favorites: return sdUser_Favorites;
    case cuUser_RecentDocumets: return sdUser_RecentDocumets;
    case cuUser_TemporaryInternetFiles: return 32;
    case cuUser_Cookies: return 33;
    case cuUser_History: return 34;
    case cuUser_Temp: return 1100;
    case cuAllUser_Favorites: return 31;
    case cuSystem_Temp: return 1200;
    case cuSystem_Prefetch: return 1300;
    default: return 0;
    }
}

bool is_separator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

}  // namespace

namespace sys {

bool emptiable_folder(const std::wstring& path) {
    std::wstring p = path;
    while (!p.empty() && is_separator(p.back())) p.pop_back();
    // The part that names the root: "X:" or "\\server\share".
    size_t root_end = 0;
    if (p.size() >= 2 && p[1] == L':' && std::iswalpha(p[0])) {
        root_end = 2;
    } else if (p.size() >= 2 && is_separator(p[0]) && is_separator(p[1])) {
        size_t server = p.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos || server == 2) return false;
        size_t share = p.find_first_of(L"\\/", server + 1);
        if (share == std::wstring::npos || share == server + 1) return false;
        root_end = share;
    } else {
        return false;
    }
    // At least one folder name below the root.
    if (p.size() <= root_end + 1 || !is_separator(p[root_end])) return false;
    // No "." or ".." steps and no empty ones: the path names its folder as it is.
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(p.c_str(), MAX_PATH * 4, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 4 || CompareStringOrdinal(full, static_cast<int>(n), p.c_str(),
                                                            static_cast<int>(p.size()), TRUE) != CSTR_EQUAL)
        return false;
    DWORD attributes = GetFileAttributesW(p.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace sys

HRESULT System::Uninstall(BSTR DestinationDir, VARIANT* FileList, VARIANT_BOOL* RemoveDestinationDir,
                          VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring folder = AddBackslash(text_of(DestinationDir));
        const std::wstring batch = folder + L"Uninstall.bat";
        const bool remove_folder = RemoveDestinationDir && *RemoveDestinationDir;
        Variant own_list;
        VARIANT* list = FileList ? FileList : own_list.get();
        if (remove_folder) {
            // The files found replace the client's list.
            Variant dirs;
            long attributes = 7, read = 0;
            check(shared<_Directory>()->Read(Bstr(folder).get(), dirs.get(), list, &attributes, &read));
            if (read != 0) return false;
        }

        // A name that cannot be one name of the batch refuses the whole file:
        // nothing is written or scheduled.
        std::vector<std::wstring> body;
        const VARIANT& given = deref(*list);
        if (SAFEARRAY* names = array_of(given)) {
            for (const std::wstring& name : texts_of(names))
                if (!delete_lines(body, folder + name)) return false;
        } else if ((given.vt & VT_ARRAY) == 0 && !no_value(given)) {
            if (!delete_lines(body, folder + CStr(given))) return false;
        }
        if (!delete_lines(body, batch)) return false;
        // The folder goes last, also when it held no files to list (its name
        // passed with the batch file's path).
        if (remove_folder) {
            const std::wstring dir = *process::batch_word(folder.substr(0, folder.size() - 1));
            body.push_back(L"echo Delete Directory " + dir);
            body.push_back(L"RmDir " + dir);
        }

        const DATE now = Now();
        const DATE day = std::floor(now);
        std::wstring text = L"@echo off\r\ncls\r\necho Uninstall created by Velkor\r\n\r\n";
        text += L"rem Created on " + CStrDate(day) + L" / " + CStrDate(now - day) + L"\r\n\r\n\r\n";
        text += L"echo Uninstall in progress.....\r\n\r\n";
        for (const std::wstring& line : body) text += line + L"\r\n";
        text += L"echo.\r\necho.\r\necho.\r\necho Uninstall done.\r\necho Please close this window\r\n\r\nExit";
        long written = 0;
        check(shared<_Text>()->TextFile_WriteText(Bstr(batch).get(), Bstr(text).get(), &written));
        if (written != 0) return false;

        // Eight of the digits and the letters A to Z (no national letters in a value name).
        static constexpr wchar_t kChars[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::wstring name = L"Velkor Uninstall (";
        _Misc* misc = shared<_Misc>();
        for (int i = 0; i < 8; ++i) {
            long index = 0;
            check(misc->Get_Randomize(1, 36, &index));
            name += kChars[std::clamp(index, 1L, 36L) - 1];
        }
        name += L')';
        // The value is the command the system runs at the next logon.
        Variant value(process::quote(batch));
        VARIANT_BOOL done = VARIANT_FALSE;
        check(shared<_Registry>()->ValueSet(HKEY_LOCAL_MACHINE_, Bstr(kRunOnce).get(), Bstr(name).get(),
                                            *value.get(), &done));
        return done != VARIANT_FALSE;
    });
}

HRESULT System::SystemCleanUp(CLEANUPINFO* CleanUp, VARIANT_BOOL* CleanAll) {
    const long value = CleanUp ? *CleanUp : 0;
    if (CleanAll && *CleanAll) {
        for (long v = cuUser_Favorites; v <= cuSystem_Prefetch; ++v) {
            CLEANUPINFO each = static_cast<CLEANUPINFO>(v);
            VARIANT_BOOL single = VARIANT_FALSE;
            SystemCleanUp(&each, &single);
        }
        return S_OK;
    }
    // Every step fails silently: what cannot be deleted stays.
    try {
        if (value == cuSystem_RecycleBin) {
            long hwnd = 0;
            VARIANT_BOOL no = VARIANT_FALSE, no_progress = VARIANT_FALSE, no_sound = VARIANT_FALSE;
            shared<_Desktop>()->RecycleBin_Clear(&hwnd, &no, &no_progress, &no_sound);
            return S_OK;
        }
        const long id = cleanup_folder(value);
        if (id == 0) return S_OK;
        const std::wstring folder = sys::special_folder(id);
        // A folder that cannot be found comes back as "\" or below it: never
        // empty a root, or a path that does not name an existing folder.
        if (!sys::emptiable_folder(folder)) return S_OK;
        _Directory* directory = shared<_Directory>();
        SAFEARRAY* subs = nullptr;
        VARIANT_BOOL no_progress = VARIANT_FALSE;
        if (FAILED(directory->ReadAllSubDirs(Bstr(folder).get(), &no_progress, &subs))) subs = nullptr;
        std::vector<std::wstring> below = subs ? texts_of(subs) : std::vector<std::wstring>();
        if (subs) SafeArrayDestroy(subs);
        VARIANT none;
        VariantInit(&none);
        VARIANT_BOOL all = VARIANT_TRUE;
        long ignored = 0;
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            directory->DirectoryDeleteFiles(Bstr(*it).get(), none, &all, &ignored);
            RemoveDirectoryW(it->c_str());
        }
        directory->DirectoryDeleteFiles(Bstr(folder).get(), none, &all, &ignored);
    } catch (...) {
    }
    return S_OK;
}

}  // namespace qm
