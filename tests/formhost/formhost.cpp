// QuillmarkTest.FormHost: a test-only in-process server that gives client scripts
// forms of the engine with controls placed by type name, as a client's own form
// hosts them. Registered only in the tests' Wine prefix, never installed.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "runtime/convert.h"
#include "runtime/forms_hosted.h"
#include "runtime/module.h"

using namespace qm;
using namespace qm::forms;

namespace {

// {5E3A8C21-7D4B-4F6A-9B2E-1C8D3F0A6B74}
const CLSID CLSID_FormHost = {0x5e3a8c21, 0x7d4b, 0x4f6a, {0x9b, 0x2e, 0x1c, 0x8d, 0x3f, 0x0a, 0x6b, 0x74}};
const wchar_t kProgId[] = L"QuillmarkTest.FormHost";

Form& form_arg(const Args& a, size_t i) {
    auto* f = dynamic_cast<Form*>(object_of(a.obj(i)));
    if (!f) raise(err::TypeMismatch);
    return *f;
}

class FormHost final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"FormHost"; }
    const Table& table() const override {
        static const Table t(
            {},
            {
                {L"NewForm", [](Object&, const Args& a) {
                     ComPtr<Form> f = make<Form>();
                     f->set_name(L"frmHost");
                     f->set_caption(a.str(0, L"Form host"));
                     f->show();
                     return var(static_cast<IDispatch*>(f.get()));
                 }},
                {L"AddControl", [](Object&, const Args& a) {
                     Form& f = form_arg(a, 0);
                     ComPtr<Control> c = new_control(a.str(1));
                     if (!c) raise(711, L"Invalid class string");
                     f.add_control(c, a.str(2), a.lng(3, -1));
                     return var(static_cast<IDispatch*>(c.get()));
                 }},
                {L"Unload", [](Object&, const Args& a) {
                     form_arg(a, 0).unload();
                     return Variant();
                 }},
            });
        return t;
    }
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            ComPtr<FormHost> host = make<FormHost>();
            return host->QueryInterface(riid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

std::wstring clsid_text() {
    wchar_t buf[40];
    StringFromGUID2(CLSID_FormHost, buf, 40);
    return buf;
}

LSTATUS set_value(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
    if (clsid != CLSID_FormHost) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() { return S_FALSE; }  // windows of its forms may outlive every reference

STDAPI DllRegisterServer() {
    std::wstring clsid = L"CLSID\\" + clsid_text();
    LSTATUS s = set_value(kProgId, nullptr, L"Quillmark test form host");
    if (!s) s = set_value(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid_text());
    if (!s) s = set_value(clsid, nullptr, L"Quillmark test form host");
    if (!s) s = set_value(clsid + L"\\ProgID", nullptr, kProgId);
    if (!s) s = set_value(clsid + L"\\InprocServer32", nullptr, module_path());
    if (!s) s = set_value(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return s ? SELFREG_E_CLASS : S_OK;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid_text()).c_str());
    return S_OK;
}

}  // extern "C"
