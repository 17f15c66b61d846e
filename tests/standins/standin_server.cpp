// The server: class objects, self-registration and the word processor's record.
#include <string>

#include "standin.h"

using namespace standin;

namespace {

HMODULE g_module = nullptr;

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progid;  // null: reached only through a name a test maps to it
    IDispatch* (*make)();
};

const ClassEntry kClasses[] = {
    {&CLSID_Connection, L"QuillmarkTest.Connection", make_connection},
    {&CLSID_Recordset, L"QuillmarkTest.Recordset", make_recordset},
    {&CLSID_Catalog, L"QuillmarkTest.Catalog", make_catalog},
    {&CLSID_Word, nullptr, make_word},
    {&CLSID_Failing, L"QuillmarkTest.Failing", make_failing},
};

class Factory final : public IClassFactory {
public:
    explicit Factory(IDispatch* (*make)()) : make_(make) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        IDispatch* object = make_();
        HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_objects);
        else
            InterlockedDecrement(&g_objects);
        return S_OK;
    }

private:
    IDispatch* (*make_)();
    LONG refs_ = 1;
};

std::wstring guid_text(REFGUID g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

bool set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& c : kClasses)
        if (IsEqualCLSID(clsid, *c.clsid)) {
            Factory* f = new Factory(c.make);
            HRESULT hr = f->QueryInterface(riid, out);
            f->Release();
            return hr;
        }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    for (const auto& c : kClasses) {
        std::wstring key = L"CLSID\\" + guid_text(*c.clsid);
        bool ok = set_value(key + L"\\InprocServer32", nullptr, path) &&
                  set_value(key + L"\\InprocServer32", L"ThreadingModel", L"Both");
        if (ok && c.progid)
            ok = set_value(key + L"\\ProgID", nullptr, c.progid) &&
                 set_value(std::wstring(c.progid) + L"\\CLSID", nullptr, guid_text(*c.clsid));
        if (!ok) return E_FAIL;
    }
    return S_OK;
}

HRESULT WINAPI DllUnregisterServer() {
    for (const auto& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid_text(*c.clsid)).c_str());
        if (c.progid) RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progid);
    }
    return S_OK;
}

// The word processor's calls so far, one per line (the caller frees the text).
BSTR WINAPI StandinWordLog() { return SysAllocString(word_log().c_str()); }
void WINAPI StandinWordReset() { word_reset(); }

}  // extern "C"
