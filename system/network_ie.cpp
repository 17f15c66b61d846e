// Network: the browser's frame windows (address and status texts, closing),
// its start page, version, favourites, history and proxy settings, and the
// system's address completion for text boxes.
#include <windows.h>
#include <shlwapi.h>
#include <objbase.h>

#include <string>
#include <string_view>
#include <vector>

#include "files/registry_key.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/wow64.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace {

constexpr GUID kIeUrlInfo = {0x2FA5C9CC, 0x6250, 0x4161, {0xAE, 0x7C, 0xDA, 0x89, 0xF4, 0x53, 0xF0, 0xD4}};
constexpr GUID kIeInfo = {0xE412593E, 0x7EC6, 0x413C, {0xB4, 0xB9, 0xD8, 0xF3, 0x5A, 0xA2, 0x5C, 0x33}};

constexpr wchar_t kMainKey[] = L"Software\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kVersionKey[] = L"Software\\Microsoft\\Internet Explorer\\Version Vector";
constexpr wchar_t kSettings[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

// The frame windows of the browser, as Window.Get_AllHwndByClass finds them.
SafeArray frames() {
    SafeArray list(VT_I4);
    check(shared<_Window>()->Get_AllHwndByClass(Bstr(L"IEFrame").get(), list.put()));
    return list;
}

std::vector<HWND> frame_handles() {
    std::vector<HWND> handles;
    SafeArray list = frames();
    if (!list.dimensioned() || list.count() == 0 || list.lbound() < 0) return handles;
    for (const Variant& v : elements_of(list.get()))
        handles.push_back(reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(v))));
    return handles;
}

// The end of a chain of first children of the classes named; nullptr when it
// ends early.
HWND follow(HWND frame, std::initializer_list<const wchar_t*> classes) {
    HWND at = frame;
    for (const wchar_t* name : classes) {
        at = FindWindowExW(at, nullptr, name, nullptr);
        if (!at) return nullptr;
    }
    return at;
}

std::wstring text_of_window(HWND hwnd) {
    if (!hwnd) return {};
    Bstr text;
    check(shared<_Window>()->Get_Text(static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd)), text.put()));
    return text.str();
}

long handle_value(HWND hwnd) { return static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd)); }

bool set_value(RegRoot root, const wchar_t* key, const wchar_t* field, std::wstring_view value) {
    VARIANT_BOOL done = VARIANT_FALSE;
    check(shared<_Registry>()->ValueSet(root, Bstr(key).get(), Bstr(field).get(), Variant(value), &done));
    return done != VARIANT_FALSE;
}

std::wstring get_value(RegRoot root, const wchar_t* key, const wchar_t* field) {
    Bstr data;
    Variant value;
    check(shared<_Registry>()->ValueGet(root, Bstr(key).get(), Bstr(field).get(), data.put(), value.put()));
    if (V_VT(value.get()) == VT_EMPTY || V_VT(value.get()) == VT_NULL) return {};
    return CStr(value);
}

// A name the favourites folder can hold as one file of its own.
bool plain_file_name(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == name.npos;
}

// The script host's shell object, through which the proxy values are written.
ComPtr<IDispatch> script_shell() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"WScript.Shell", &clsid))) raise(err::CantCreateObject);
    ComPtr<IDispatch> shell;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  shell.put_void());
    if (FAILED(hr) || !shell) raise(err::CantCreateObject);
    return shell;
}

void reg_write(IDispatch* shell, const wchar_t* value_name, const Variant& value, const wchar_t* type) {
    late::call(shell, L"RegWrite",
               {Variant(std::wstring(kSettings) + value_name), value, Variant(type)});
}

}  // namespace

HRESULT Network::IE_GetIE(SAFEARRAY** result) {
    return untrapped(result, [] { return frames().detach(); });
}

HRESULT Network::IE_GetURL(SAFEARRAY** result) {
    return untrapped(result, [] {
        const std::vector<HWND> list = frame_handles();
        return record_array<IEURLINFO>(kIeUrlInfo, list.size(), [&](IEURLINFO& r, size_t i) {
            HWND box = follow(list[i], {L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"Edit"});
            r.Parent = handle_value(list[i]);
            r.URL = Bstr(text_of_window(box)).detach();
            if (!r.URL) r.URL = SysAllocStringLen(nullptr, 0);
            r.URLhwnd = handle_value(box);
        });
    });
}

HRESULT Network::IE_GetStatusText(SAFEARRAY** result) {
    return untrapped(result, [] {
        const std::vector<HWND> list = frame_handles();
        return record_array<IEINFO>(kIeInfo, list.size(), [&](IEINFO& r, size_t i) {
            HWND bar = follow(list[i], {L"Frame Tab", L"TabWindowClass", L"msctls_statusbar32"});
            r.Parent = handle_value(list[i]);
            r.StatusText = Bstr(text_of_window(bar)).detach();
            if (!r.StatusText) r.StatusText = SysAllocStringLen(nullptr, 0);
            r.StatusTextHwnd = handle_value(bar);
            r.URL = SysAllocStringLen(nullptr, 0);
            r.URLhwnd = 0;
        });
    });
}

HRESULT Network::IE_CloseAll() {
    return untrapped([] {
        for (HWND frame : frame_handles()) {
            VARIANT_BOOL closed = VARIANT_FALSE;
            check(shared<_Window>()->CloseWindow(handle_value(frame), &closed));
        }
    });
}

HRESULT Network::IE_GetStartSite(BSTR* result) {
    return untrapped(result, [] { return Bstr(get_value(HKEY_CURRENT_USER_, kMainKey, L"Start Page")); });
}

// The title is written only after the start page.
HRESULT Network::IE_SetStartSite(BSTR URL, BSTR Title, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        return set_value(HKEY_CURRENT_USER_, kMainKey, L"Start Page", text_of(URL)) &&
               set_value(HKEY_CURRENT_USER_, kMainKey, L"Window Title", text_of(Title));
    });
}

// The browser of either half of 64-bit Windows: the version its registry view holds
// (the process's own view first).
HRESULT Network::IE_GetVersion(BSTR* result) {
    return untrapped(result, [] {
        for (REGSAM view : machine_views()) {
            reg::Key key;
            if (!key.open(HKEY_LOCAL_MACHINE_, kVersionKey, KEY_READ | view)) continue;
            Variant value = reg::value(key.get(), L"IE");
            if (value.vt() != VT_EMPTY) return Bstr(CStr(value));
        }
        return Bstr();
    });
}

HRESULT Network::IE_ShowAutoComplete(IDispatch** TextBox, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        IDispatch* box = TextBox ? *TextBox : nullptr;
        if (!box) raise(err::ObjectNotSet);
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(box, L"hwnd"))));
        return SHAutoComplete(hwnd, 0) == S_OK;
    });
}

// The shortcut goes into the favourites folder itself: a name that is no
// plain file name there gives False and writes nothing.
HRESULT Network::IE_AddFavorite(BSTR SiteName, BSTR URL, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring_view name = text_of(SiteName);
        if (!plain_file_name(name)) return false;
        SystemDirectory which = sdUser_Favorites;
        Bstr folder;
        check(shared<_System>()->SystemDirectory(&which, folder.put()));
        return net::write_shortcut(text_of(URL), folder.str() + std::wstring(name) + L".Url");
    });
}

HRESULT Network::IE_ClearHistory(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        CLSID clsid;
        IID iid;
        CLSIDFromString(L"{3C374A40-BAE4-11CF-BF7D-00AA006946EE}", &clsid);
        CLSIDFromString(L"{AFA0DC11-C313-11D0-831A-00C04FD5AE38}", &iid);
        IUnknown* history = nullptr;
        if (CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&history)) != S_OK ||
            !history)
            return false;
        // The clear operation is the tenth entry of the interface's function table.
        VARIANT ignored;
        VariantInit(&ignored);
        DispCallFunc(history, 9 * sizeof(void*), CC_STDCALL, VT_I4, 0, nullptr, nullptr, &ignored);
        history->Release();
        return true;
    });
}

HRESULT Network::IE_ProxySet(BSTR IP, BSTR Port, long* result) {
    return trapped(Trap{Source::Network, L"IE_ProxySet"}, result, ErrorNumberResult{}, [&] {
        ComPtr<IDispatch> shell = script_shell();
        std::wstring server(text_of(IP));
        server += L':';
        server += text_of(Port);
        reg_write(shell.get(), L"ProxyServer", Variant(server), L"REG_SZ");
        reg_write(shell.get(), L"ProxyEnable", Variant(1L), L"REG_DWORD");
        return 0L;
    });
}

// The server text stays for a later IE_ProxySet.
HRESULT Network::IE_ProxyClear(long* result) {
    return trapped(Trap{Source::Network, L"IE_ProxyClear"}, result, ErrorNumberResult{}, [&] {
        ComPtr<IDispatch> shell = script_shell();
        reg_write(shell.get(), L"ProxyEnable", Variant(0L), L"REG_DWORD");
        return 0L;
    });
}

}  // namespace qm
