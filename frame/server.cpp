#include "frame/server.h"

#include <string>

#include <olectl.h>

#include "frame/classes.h"
#include "frame/shared.h"
#include "runtime/com_object.h"
#include "runtime/com_ptr.h"
#include "runtime/interfaces.h"
#include "runtime/module.h"
#include "runtime/thread_state.h"
#include "runtime/wow64.h"

namespace qm::server {

namespace {

class ClassFactory final : public SingleInterface<IClassFactory> {
public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock_module(lock != FALSE);
        return S_OK;
    }

private:
    const ClassEntry& entry_;
};

std::wstring guid_text(REFGUID guid) {
    wchar_t buf[40];
    StringFromGUID2(guid, buf, 40);
    return buf;
}

LSTATUS set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc;
}

void delete_tree(const std::wstring& key) { RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()); }

constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

// On 64-bit Windows the other build registers its classes in the other registry
// view (Wow6432Node for 32-bit code), while the ProgIDs and the type library's
// key are shared by both views.
bool other_build_registers(REFCLSID clsid) {
    HKEY h = open_other_half_classes(L"CLSID\\" + guid_text(clsid) + L"\\InprocServer32", KEY_QUERY_VALUE);
    if (!h) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = find_class(clsid);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(*entry);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

HRESULT can_unload_now() noexcept {
    // The shared instances belong to the library itself and do not keep it loaded.
    if (module_locks() != 0 || live_objects() != shared_instance_count()) return S_FALSE;
    // Another thread's library state lives on that thread, and only it can end it.
    if (thread_state::elsewhere()) return S_FALSE;
    thread_state::end();
    return live_objects() == 0 ? S_OK : S_FALSE;
}

HRESULT register_server() noexcept {
    try {
        const std::wstring path = module_path();
        const std::wstring libid = guid_text(LIBID_Quillmark);
        for (const auto& c : classes()) {
            const std::wstring progid = std::wstring(L"Quillmark.") + c.name;
            const std::wstring clsid = L"CLSID\\" + guid_text(*c.clsid);
            LSTATUS rc = ERROR_SUCCESS;
            auto set = [&](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
                if (rc == ERROR_SUCCESS) rc = set_value(key, name, value);
            };
            set(progid, nullptr, progid);
            set(progid + L"\\CLSID", nullptr, guid_text(*c.clsid));
            set(clsid, nullptr, progid);
            set(clsid + L"\\InprocServer32", nullptr, path);
            set(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
            set(clsid + L"\\ProgID", nullptr, progid);
            set(clsid + L"\\TypeLib", nullptr, libid);
            set(clsid + L"\\Version", nullptr, L"1.0");
            if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;
        }
        ComPtr<ITypeLib> lib;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, lib.put()))) return SELFREG_E_TYPELIB;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregister_server() noexcept {
    try {
        // The keys both views share stay while the other build still registers the
        // class: only its own view's class entries and type library path go. (Our
        // view's class keys go first: where the views are one, nothing else registers.)
        bool other = false;
        for (const auto& c : classes()) {
            delete_tree(L"CLSID\\" + guid_text(*c.clsid));
            if (other_build_registers(*c.clsid))
                other = true;
            else
                delete_tree(std::wstring(L"Quillmark.") + c.name);
        }
        if (other) {
            const wchar_t* own = kSysKind == SYS_WIN64 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32";
            delete_tree(L"TypeLib\\" + guid_text(LIBID_Quillmark) + own);
            return S_OK;
        }
        // A type library that is not registered (any more) is no failure.
        ComPtr<ITypeLib> registered;
        if (FAILED(LoadRegTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, registered.put()))) return S_OK;
        registered.reset();
        return UnRegisterTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, kSysKind);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace qm::server
