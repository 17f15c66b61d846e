// File: file extensions in the classes root, cabinet and installer-package
// extraction, and whether a program runs.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "files/file.h"
#include "files/registry_key.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wow64.h"
#include "windows/window_common.h"

namespace qm {

namespace {

constexpr GUID kRegisteredFileTypeInfo = {
    0x1C592AE0, 0x59A0, 0x4A72, {0xA7, 0x81, 0xBC, 0xB3, 0xB6, 0x63, 0xBB, 0xD9}};

struct FileType {
    std::wstring prefix, description;
};

// The shell's type name of a file name alone, without touching a file; "" when
// the shell has none.
std::wstring shell_type_name(const std::wstring& name) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(name.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES)) return {};
    return std::wstring(info.szTypeName, wcsnlen(info.szTypeName, sizeof(info.szTypeName) / sizeof(wchar_t)));
}

// The keys of the classes root that name an extension and have a type name, in
// the registry's order: the process's own classes first, then, on 64-bit Windows,
// the machine's classes of the other half not listed yet (each half may keep
// extensions of its own). The type names are the shell's, as this process sees them.
std::vector<FileType> registered_file_types() {
    std::vector<FileType> types;
    std::unordered_set<std::wstring> seen;  // the names so far, in lower case
    // The own half through the classes root (with the user's classes), the other
    // through the machine's classes.
    const reg::Key other(open_other_half_classes(L"", KEY_ENUMERATE_SUB_KEYS));
    for (const HKEY root : {HKEY_CLASSES_ROOT, other.get()}) {
        if (!root) continue;
        for (DWORD i = 0;; ++i) {
            wchar_t name[260];
            DWORD length = 260;
            if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (length == 0 || name[0] != L'.') continue;
            std::wstring key(name, length);
            if (!seen.insert(LCase(key)).second) continue;
            std::wstring description = shell_type_name(key);
            if (description.empty()) continue;
            types.push_back({Trim(key), std::move(description)});
        }
    }
    return types;
}

// The entry whose extension is prefix (any case); null when none is.
const FileType* find_type(const std::vector<FileType>& types, std::wstring_view prefix) {
    if (prefix.empty()) return nullptr;
    const std::wstring wanted = LCase(prefix);
    for (const FileType& t : types)
        if (LCase(t.prefix) == wanted) return &t;
    return nullptr;
}

// One key of the classes root (made when missing) with its default value, or
// that of its subkey; true when both were written.
bool set_default(const std::wstring& key, const wchar_t* subkey, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyW(HKEY_CLASSES_ROOT, key.c_str(), &h) != ERROR_SUCCESS) return false;
    const bool written = RegSetValueW(h, subkey, REG_SZ, value.c_str(),
                                      static_cast<DWORD>(value.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(h);
    return written;
}

}  // namespace

// The program's type, its icon, the extension and the open command; True when
// every entry was written. IconFile comes back as the icon entry written.
HRESULT File::RegisterExtension(BSTR AppName, BSTR AppPath, BSTR AppReg, BSTR AppExt, BSTR* IconFile, long* IconId,
                                VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring type(text_of(AppReg));
        bool all = set_default(type, nullptr, std::wstring(text_of(AppName)));
        if (IconFile && SysStringLen(*IconFile) > 0) {
            Bstr icon(RTrim(text_of(*IconFile)) + L"," + std::to_wstring(arg_or(IconId, 0L)));
            all = set_default(type + L"\\DefaultIcon", nullptr, icon.str()) && all;
            SysFreeString(*IconFile);
            *IconFile = icon.detach();
        }
        all = set_default(L"." + std::wstring(text_of(AppExt)), nullptr, type) && all;
        all = set_default(type, L"shell\\open\\command", std::wstring(text_of(AppPath)) + L" %1") && all;
        return all;
    });
}

HRESULT File::Get_RegisteredFileTypes(SAFEARRAY** result) {
    return untrapped(result, [&] {
        const std::vector<FileType> types = registered_file_types();
        return record_array<REGISTEREDFILETYPEINFO>(kRegisteredFileTypeInfo, types.size(),
                                                    [&](REGISTEREDFILETYPEINFO& r, size_t i) {
                                                        r.Prefix = Bstr(types[i].prefix).detach();
                                                        r.Description = Bstr(types[i].description).detach();
                                                    });
    });
}

HRESULT File::FileType_IsRegistered(BSTR Prefix, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring prefix(text_of(Prefix));
        if (prefix.empty() || prefix[0] != L'.') prefix.insert(0, 1, L'.');
        return find_type(registered_file_types(), prefix) != nullptr;
    });
}

HRESULT File::Get_FileTypeDescription(BSTR File, BSTR* result) {
    return untrapped(result, [&] {
        Bstr prefix;
        check(Get_PrefixFromPath(File, prefix.put()));
        const std::vector<FileType> types = registered_file_types();
        const FileType* t = find_type(types, prefix.view());
        return t ? Bstr(t->description) : Bstr();
    });
}

// One file (or a ":"-separated list) of a cabinet through the system's
// advanced-install library; True when it reports success.
HRESULT File::CABfile_Extract(BSTR CABFile, BSTR SourceFile, BSTR DestPath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        using ExtractFilesW = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPCWSTR, LPVOID, DWORD);
        HMODULE advpack = LoadLibraryW(L"advpack.dll");
        if (!advpack) raise(err::FileNotFound, L"advpack.dll");
        auto extract = reinterpret_cast<ExtractFilesW>(reinterpret_cast<void*>(GetProcAddress(advpack, "ExtractFilesW")));
        HRESULT hr = E_FAIL;
        if (extract) {
            const std::wstring cab(text_of(CABFile)), dest(text_of(DestPath)), files(text_of(SourceFile));
            hr = extract(cab.c_str(), dest.c_str(), 0, files.c_str(), nullptr, 0);
        }
        FreeLibrary(advpack);
        if (!extract) raise(err::NotSupported);
        return hr == S_OK;
    });
}

// An administrative install of the package into the folder (made first), with
// the installer's reduced progress window, waiting until the installer ends.
HRESULT File::MSI_Extract(BSTR MSIfile, BSTR OutputDirectory) {
    return untrapped([&] {
        // Each path is one value in quotes: one holding a quote (no name does) would end it.
        const std::wstring package(text_of(MSIfile));
        std::wstring folder(text_of(OutputDirectory));
        if (package.find(L'"') != std::wstring::npos || folder.find(L'"') != std::wstring::npos)
            raise(err::BadFileNameOrNumber);
        VARIANT_BOOL made = VARIANT_FALSE;
        check(shared<_Directory>()->CreatePath(OutputDirectory, &made));
        // A "\" before the closing quote would escape it.
        while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
        Bstr command(L"msiexec /a \"" + package + L"\" /qb TARGETDIR=\"" + folder + L"\"");
        long exit = 0;
        check(shared<_Shell>()->ExecuteAndWait(command.get(), SW_SHOWNORMAL, &exit));
    });
}

HRESULT File::isEXERunning(BSTR EXENAME, VARIANT_BOOL* Path, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        VARIANT_BOOL full = flag_or(Path, false) ? VARIANT_TRUE : VARIANT_FALSE;
        SafeArray list(VT_RECORD);
        check(shared<_System>()->Get_ProcessList(&full, list.put()));
        return ProcessFind(list.get(), text_of(EXENAME), 0) >= 0;
    });
}

}  // namespace qm
