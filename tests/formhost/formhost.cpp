// QuillmarkTest.FormHost: a test-only in-process server that gives client scripts
// forms of the engine with controls placed by type name, as a client's own form
// hosts them. Registered only in the tests' Wine prefix, never installed.
#include <windows.h>
#include <olectl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/latebind.h"
#include "runtime/module.h"
#include "runtime/safearray.h"

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

ComPtr<IDispatch> create_object(const wchar_t* progid) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progid, &clsid))) raise(err::CantCreateObject);
    ComPtr<IDispatch> d;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.put_void())))
        raise(err::CantCreateObject);
    return d;
}

// A value as a literal of an INSERT INTO ... VALUES list.
std::wstring literal(const VARIANT& v) {
    const VARIANT& d = deref(v);
    if (IsNull(d) || IsEmpty(d)) return L"NULL";
    switch (V_VT(&d)) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: {
        wchar_t buf[40];
        swprintf(buf, 40, L"%.15g", CDbl(d));
        return buf;
    }
    default: break;
    }
    std::wstring t = L"'";
    for (wchar_t c : CStr(d)) t += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
    return t + L"'";
}

bool is_number(const VARIANT& v) {
    switch (V_VT(&deref(v))) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: return true;
    default: return false;
    }
}

// QuillmarkTest.Recordset over a new table of these fields and rows: a database of
// its own in the scratch folder, a Connection on it, CREATE TABLE, INSERT INTO,
// then SELECT * FROM the table. A column whose values are all numbers is numeric.
ComPtr<IDispatch> new_recordset(const VARIANT& field_names, const VARIANT& rows) {
    SAFEARRAY* names_sa = array_of(field_names);
    if (!names_sa) raise(err::TypeMismatch);
    std::vector<std::wstring> names = texts_of(names_sa);
    if (names.empty()) raise(err::InvalidCall);
    std::vector<std::vector<Variant>> table;
    if (SAFEARRAY* rows_sa = array_of(rows))
        for (const Variant& row : elements_of(rows_sa)) {
            SAFEARRAY* cells = array_of(*row.get());
            if (!cells) raise(err::TypeMismatch);
            table.push_back(elements_of(cells));
            if (table.back().size() != names.size()) raise(err::InvalidCall);
        }
    wchar_t dir[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"QM_SCRATCH", dir, MAX_PATH);
    if (!n || n >= MAX_PATH) GetTempPathW(MAX_PATH, dir);
    std::wstring path = dir;
    if (path.back() != L'\\') path += L'\\';
    static long counter = 0;
    path += L"formhost " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".mdb";
    DeleteFileW(path.c_str());

    ComPtr<IDispatch> catalog = create_object(L"QuillmarkTest.Catalog");
    late::call(catalog.get(), L"Create", {Variant(L"Provider=QuillmarkTest;Data Source=" + path)});
    ComPtr<IDispatch> cn = create_object(L"QuillmarkTest.Connection");
    late::put(cn.get(), L"Properties", Variant(path), {Variant(L"Data Source")});
    late::call(cn.get(), L"Open");
    std::wstring create = L"CREATE TABLE t (";
    for (size_t c = 0; c < names.size(); ++c) {
        bool numeric = !table.empty();
        for (const auto& row : table)
            if (!IsNull(*row[c].get()) && !IsEmpty(*row[c].get()) && !is_number(*row[c].get())) numeric = false;
        create += (c ? L", " : L"") + names[c] + (numeric ? L" DOUBLE" : L" TEXT");
    }
    late::call(cn.get(), L"Execute", {Variant(create + L")")});
    for (const auto& row : table) {
        std::wstring insert = L"INSERT INTO t VALUES (";
        for (size_t c = 0; c < row.size(); ++c) insert += (c ? L", " : L"") + literal(*row[c].get());
        late::call(cn.get(), L"Execute", {Variant(insert + L")")});
    }
    ComPtr<IDispatch> rs = create_object(L"QuillmarkTest.Recordset");
    VARIANT conn;
    V_VT(&conn) = VT_DISPATCH;
    V_DISPATCH(&conn) = cn.get();
    late::call(rs.get(), L"Open", {Variant(L"SELECT * FROM t"), Variant(conn)});
    return rs;
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
                {L"NewRecordset", [](Object&, const Args& a) {
                     VARIANT none;
                     VariantInit(&none);
                     return var(new_recordset(a.at(0), a.has(1) ? a.at(1) : none));
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
