// Registry: testing, creating, deleting and exporting keys.
#include <string>

#include "files/registry.h"
#include "files/registry_key.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/process.h"

namespace qm {

namespace reg {

const wchar_t* root_name(RegRoot r) noexcept {
    switch (r) {
    case HKEY_CLASSES_ROOT_: return L"HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER_: return L"HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE_: return L"HKEY_LOCAL_MACHINE";
    case HKEY_USERS_: return L"HKEY_USERS";
    case HKEY_PERFORMANCE_DATA_: return L"HKEY_PERFORMANCE_DATA";
    case HKEY_CURRENT_CONFIG_: return L"HKEY_CURRENT_CONFIG";
    case HKEY_DYN_DATA_: return L"HKEY_DYN_DATA";
    }
    return L"";
}

}  // namespace reg

namespace {

bool key_exists(RegRoot root, BSTR key) {
    reg::Key k;
    return k.open(root, reg::path_of(key), KEY_READ);
}

// An omitted optional Variant: no pointer, or the "parameter not found" error.
bool given(const VARIANT* v) {
    return v && !(V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
}

}  // namespace

HRESULT Registry::KeyExist(RegRoot Root, BSTR Key, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return key_exists(Root, Key); });
}

HRESULT Registry::KeyCreate(RegRoot Root, BSTR NewKey, VARIANT* KeyValue, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        reg::Key key;
        if (!key.create(Root, reg::path_of(NewKey), KEY_SET_VALUE)) return false;
        if (!given(KeyValue)) return true;
        // The key's default value, unless the value given is empty text.
        std::wstring text;
        try {
            if (IsEmpty(*KeyValue)) return true;
            text = CStr(*KeyValue);
        } catch (const RuntimeError&) {
            return false;  // a value without a text form: the key stays created
        }
        if (text.empty()) return true;
        return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    });
}

HRESULT Registry::KeyDelete(RegRoot Root, BSTR Key, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return RegDeleteKeyW(reg::root(Root), reg::path_of(Key)) == ERROR_SUCCESS; });
}

// The registry editor writes the key to File; we wait for it to finish and then
// look at what it wrote.
HRESULT Registry::ExportKey(RegRoot* Root, BSTR Key, BSTR File, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!Root || !key_exists(*Root, Key)) return false;
        const wchar_t* file = reg::path_of(File);
        // An empty file to start from (read-only or hidden attributes do not stop it).
        SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file);
        process::Handle created(
            CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!created) return false;
        created.reset();

        std::wstring key = std::wstring(reg::root_name(*Root)) + L"\\" + reg::path_of(Key);
        process::Started editor =
            process::start(L"regedit /e /s " + process::quote(file) + L" " + process::argument(key), SW_HIDE);
        process::wait(editor.process.get());

        WIN32_FILE_ATTRIBUTE_DATA info;
        if (!GetFileAttributesExW(file, GetFileExInfoStandard, &info)) return false;
        return info.nFileSizeLow != 0 || info.nFileSizeHigh != 0;
    });
}

}  // namespace qm
