// Registry: the subkeys and values of a key.
#include <string>
#include <utility>
#include <vector>

#include "files/registry.h"
#include "files/registry_key.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

constexpr GUID kRegKey = {0x3AE57DFC, 0x0F2A, 0x4B73, {0x96, 0x80, 0x48, 0xF9, 0x13, 0x05, 0xEC, 0x8E}};
constexpr GUID kRegValue = {0x7C42C645, 0x1527, 0x4892, {0xAD, 0x9E, 0xA7, 0x8E, 0xD3, 0x62, 0xCB, 0x4D}};

std::vector<std::wstring> subkeys(RegRoot root, BSTR path) {
    std::vector<std::wstring> names;
    reg::Key key;
    if (!key.open(root, reg::path_of(path), KEY_ENUMERATE_SUB_KEYS)) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

struct Entry {
    std::wstring name;
    std::wstring text;
};

// A value's data as the list shows it: texts without their terminator, other
// data as characters of its bytes less the last one.
std::wstring data_text(DWORD type, const std::vector<BYTE>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) return reg::text_of(data);
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); ++i) text += reg::ansi_char(data[i]);
    return text;
}

std::vector<Entry> values(RegRoot root, BSTR path) {
    std::vector<Entry> entries;
    reg::Key key;
    if (!key.open(root, reg::path_of(path), KEY_QUERY_VALUE)) return entries;
    DWORD max_name = 0, max_data = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &max_name,
                         &max_data, nullptr, nullptr) != ERROR_SUCCESS)
        return entries;
    std::vector<wchar_t> name(max_name + 1);
    std::vector<BYTE> data(max_data);
    for (DWORD i = 0;;) {
        DWORD name_length = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LONG rc = RegEnumValueW(key.get(), i, name.data(), &name_length, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {  // a value grew or was added meanwhile
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        ++i;
        if (size == 0) continue;  // no data: not listed
        std::vector<BYTE> bytes(data.begin(), data.begin() + size);
        entries.push_back({std::wstring(name.data(), name_length), data_text(type, bytes)});
    }
    return entries;
}

SAFEARRAY* key_list(RegRoot root, BSTR path) {
    std::vector<std::wstring> names = subkeys(root, path);
    return record_array<REGKEY>(kRegKey, names.size(), [&](REGKEY& r, size_t i) {
        r.Key = Bstr(names[i]).detach();
    });
}

SAFEARRAY* value_list(RegRoot root, BSTR path) {
    std::vector<Entry> entries = values(root, path);
    return record_array<REGVALUE>(kRegValue, entries.size(), [&](REGVALUE& r, size_t i) {
        r.Item = Bstr(entries[i].name).detach();
        V_VT(&r.Value) = VT_BSTR;
        V_BSTR(&r.Value) = Bstr(entries[i].text).detach();
    });
}

}  // namespace

HRESULT Registry::EnumKey(RegRoot Root, BSTR Key, SAFEARRAY** result) {
    return untrapped(result, [&] { return key_list(Root, Key); });
}

HRESULT Registry::EnumValue(RegRoot Root, BSTR Key, SAFEARRAY** result) {
    return untrapped(result, [&] { return value_list(Root, Key); });
}

HRESULT Registry::RegEnum(RegRoot Root, BSTR Key, SAFEARRAY** REGKEYLIST, SAFEARRAY** result) {
    return untrapped(result, [&] {
        if (!REGKEYLIST) raise(err::InvalidCall);
        SAFEARRAY* keys = key_list(Root, Key);
        if (*REGKEYLIST) SafeArrayDestroy(*REGKEYLIST);
        *REGKEYLIST = keys;
        return value_list(Root, Key);
    });
}

}  // namespace qm
