// Registry: writing, reading and deleting single values.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/registry.h"
#include "files/registry_key.h"
#include "runtime/contract.h"

namespace qm {

namespace reg {

bool query(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
    // Most values fit the first try: one call instead of asking for the size first.
    data.resize(512);
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LONG rc = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {  // too small, or it grew meanwhile
            data.resize(std::max<size_t>(size, data.size() * 2));
            continue;
        }
        if (rc != ERROR_SUCCESS) return false;
        data.resize(size);
        return true;
    }
}

std::wstring text_of(const std::vector<BYTE>& data) {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();  // the terminator, when stored
    return text;
}

wchar_t ansi_char(BYTE b) noexcept {
    wchar_t c = 0;
    if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(&b), 1, &c, 1) != 1) c = b;
    return c;
}

Variant value(HKEY key, const wchar_t* name, BSTR* returned_data) {
    Variant out;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!query(key, name, type, data)) return out;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        out = Variant(text_of(data));
        break;
    case REG_BINARY: {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(data.size()));
        if (!sa) raise(err::OutOfMemory);
        V_VT(out.get()) = VT_ARRAY | VT_UI1;
        V_ARRAY(out.get()) = sa;
        if (!data.empty()) std::memcpy(sa->pvData, data.data(), data.size());
        if (returned_data) {
            std::wstring text(qm::text_of(*returned_data));
            for (BYTE b : data) text += ansi_char(b);
            Bstr joined(text);
            SysFreeString(*returned_data);
            *returned_data = joined.detach();
        }
        break;
    }
    case REG_DWORD:
        if (data.size() == sizeof(LONG)) {
            LONG n;
            std::memcpy(&n, data.data(), sizeof(n));
            out = Variant(static_cast<long>(n));
        }
        break;
    default:
        break;
    }
    return out;
}

}  // namespace reg

namespace {

bool write(HKEY key, BSTR field, DWORD type, const void* data, size_t size) {
    return RegSetValueExW(key, reg::path_of(field), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool write_text(HKEY key, BSTR field, std::wstring_view text) {
    std::wstring z(text);  // with its terminating NUL
    return write(key, field, REG_SZ, z.c_str(), (z.size() + 1) * sizeof(wchar_t));
}

}  // namespace

HRESULT Registry::FieldDelete(RegRoot Root, BSTR Key, BSTR Field, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        reg::Key key;
        return key.open(Root, reg::path_of(Key), KEY_SET_VALUE) &&
               RegDeleteValueW(key.get(), reg::path_of(Field)) == ERROR_SUCCESS;
    });
}

// The Variant's type chooses the value's type: Integer and Long a DWORD, String
// and Boolean text, a Byte array binary data. Other values are not written, but
// the key is created for every value.
HRESULT Registry::ValueSet(RegRoot Root, BSTR Key, BSTR Field, VARIANT Value, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        reg::Key key;
        if (!key.create(Root, reg::path_of(Key), KEY_SET_VALUE)) return false;
        const VARIANT* v = &Value;
        while (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
        VARTYPE vt = V_VT(v) & ~VT_BYREF;
        bool byref = V_VT(v) & VT_BYREF;
        switch (vt) {
        case VT_I2: {
            LONG n = byref ? *V_I2REF(v) : V_I2(v);
            return write(key.get(), Field, REG_DWORD, &n, sizeof(n));
        }
        case VT_I4: {
            LONG n = byref ? *V_I4REF(v) : V_I4(v);
            return write(key.get(), Field, REG_DWORD, &n, sizeof(n));
        }
        case VT_BSTR:
            return write_text(key.get(), Field, text_of(byref ? *V_BSTRREF(v) : V_BSTR(v)));
        case VT_BOOL:
            return write_text(key.get(), Field, (byref ? *V_BOOLREF(v) : V_BOOL(v)) ? L"True" : L"False");
        case VT_ARRAY | VT_UI1: {
            SAFEARRAY* sa = byref ? *V_ARRAYREF(v) : V_ARRAY(v);
            if (!sa || SafeArrayGetDim(sa) != 1 || sa->rgsabound[0].cElements == 0) return false;
            void* data = nullptr;
            if (FAILED(SafeArrayAccessData(sa, &data))) return false;
            bool ok = write(key.get(), Field, REG_BINARY, data, sa->rgsabound[0].cElements);
            SafeArrayUnaccessData(sa);
            return ok;
        }
        default:  // a single Byte, numbers with fractions, dates, objects, other arrays
            return false;
        }
    });
}

// The value by its stored type (reg::value); Empty when the key cannot be opened.
HRESULT Registry::ValueGet(RegRoot Root, BSTR Key, BSTR Field, BSTR* ReturnedData, VARIANT* result) {
    return untrapped(result, [&] {
        reg::Key key;
        if (!key.open(Root, reg::path_of(Key), KEY_READ)) return Variant();
        return reg::value(key.get(), reg::path_of(Field), ReturnedData);
    });
}

}  // namespace qm
