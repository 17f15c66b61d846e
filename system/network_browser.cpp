// Network: handing web addresses and mails to the desktop (the browser, the
// mail program), hyperlink labels, the default browser and internet shortcuts.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "files/filebase.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/app.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace net {

std::wstring mail_field(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'%': out += L"%25"; break;
            case L'&': out += L"%26"; break;
            case L'?': out += L"%3F"; break;
            case L'#': out += L"%23"; break;
            case L'\r': out += L"%0D"; break;
            case L'\n': out += L"%0A"; break;
            default: out += c;
        }
    }
    return out;
}

std::wstring mail_address_text(std::wstring_view to, std::wstring_view subject, std::wstring_view body) {
    std::wstring text = L"mailto:";
    text += to;
    text += L"?Subject=";
    text += mail_field(subject);
    text += L"&Body=";
    text += mail_field(body);
    return text;
}

std::wstring shortcut_text(std::wstring_view url) {
    std::wstring text = L"[InternetShortcut]\r\nURL = ";
    text += url;
    return text;
}

DefaultBrowser browser_of(std::wstring_view program) {
    const size_t slash = program.rfind(L'\\');
    const std::wstring name = LCase(slash == program.npos ? program : program.substr(slash + 1));
    if (name == L"iexplore.exe") return dbINTERNETEXPLORER;
    if (name == L"netscape.exe") return dbNETSCAPE;
    if (name == L"opera.exe") return dbOPERA;
    if (name == L"firefox.exe") return dbMOZILLAFIREFOX;
    if (name == L"mozilla.exe") return dbMOZILLA;
    return dbUNKNOWN;
}

bool write_shortcut(std::wstring_view url, std::wstring_view file) {
    long written = -1;
    check(shared<_Text>()->TextFile_WriteText(Bstr(file).get(), Bstr(shortcut_text(url)).get(), &written));
    return written == 0;
}

}  // namespace net

namespace {

// The index of the loaded form tagged "Hyperlink" in the runtime's Forms
// collection (-1: none); the search's own failure raises its error.
long find_hyperlink_form(ComPtr<IDispatch>& form) {
    IDispatch* all = &forms::forms_collection();
    FormOption by = ffFormTag;
    VARIANT_BOOL exact = VARIANT_TRUE;
    long error = 0, index = -1;
    check(shared<_Forms>()->Find_Form(&all, Bstr(L"Hyperlink").get(), &by, form.put(), &exact, &error, &index));
    if (index == -2) raise(error ? error : err::InternalError);
    return index;
}

Variant object_variant(IDispatch* object) {
    Variant v;
    V_VT(v.put()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = object;
    if (object) object->AddRef();
    return v;
}

}  // namespace

HRESULT Network::IE_Open(BSTR* URL, long* WinStyle, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        Bstr program(L"Iexplore.exe");
        BSTR raw = program.get();
        Bstr empty(L"");
        BSTR* url = URL ? URL : empty.put();
        long style = WinStyle ? *WinStyle : SW_SHOWNORMAL;
        VARIANT_BOOL started = VARIANT_FALSE;
        check(shared<_Shell>()->Execute(&raw, url, &style, &started));
        return started != VARIANT_FALSE;
    });
}

HRESULT Network::OpenURL(BSTR URL, long WinStyle) {
    return untrapped([&] {
        Bstr url = Bstr::copy(URL);
        BSTR raw = url.get();
        VARIANT_BOOL started = VARIANT_FALSE;
        check(IE_Open(&raw, &WinStyle, &started));
    });
}

// The fields are coded so that their "&", "?", "#", "%" and line breaks stay
// part of them instead of starting fields of their own.
HRESULT Network::SendNewMail(BSTR MailTo, BSTR Subject, BSTR Body, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::string text = to_ansi(net::mail_address_text(text_of(MailTo), text_of(Subject), text_of(Body)));
        HINSTANCE h = ShellExecuteA(nullptr, "Open", text.c_str(), "", "", SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(h) > 32;
    });
}

HRESULT Network::Create_InternetShortcut(BSTR URL, BSTR Linkfile, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return net::write_shortcut(text_of(URL), text_of(Linkfile)); });
}

// The program the system opens an empty probe page with; never raises.
HRESULT Network::Get_DefaultBrowser(DefaultBrowser* result) {
    if (!result) return E_POINTER;
    *result = dbUNKNOWN;
    std::wstring probe;
    late::skipping_errors([&] {
        SystemDirectory which = sdUser_Temp;
        Bstr temp;
        check(shared<_System>()->SystemDirectory(&which, temp.put()));
        probe = AddBackslash(temp.view()) + L"~temp.html";
    });
    if (probe.empty()) return S_OK;
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    char program[MAX_PATH + 1] = {};
    late::skipping_errors([&] {
        const std::string path = to_ansi(probe), folder = to_ansi(App::Path());
        FindExecutableA(path.c_str(), folder.c_str(), program);
        program[MAX_PATH] = '\0';
    });
    *result = net::browser_of(from_ansi(program));
    DeleteFileW(probe.c_str());
    return S_OK;
}

// One "Hyperlink" worker form serves every hyperlink; at most one is loaded
// per call, so a form that cannot be found after loading ends in the trap.
HRESULT Network::Create_Hyperlink(IDispatch** Label, long LabelColor, long LabelColorMouseOver, long* ErrorNumber,
                                  VARIANT_BOOL* result) {
    return trapped(Trap{Source::Network, L"Create_Hyperlink", ErrorNumber}, result, false, [&] {
        ComPtr<IDispatch> form;
        if (find_hyperlink_form(form) == -1) {
            ComPtr<MyControls> fresh = forms::make<MyControls>();
            fresh->load();
            fresh->set_tag(L"Hyperlink");
            if (find_hyperlink_form(form) == -1) {
                fresh->unload();
                raise(err::InternalError);
            }
        }
        IDispatch* label = Label ? *Label : nullptr;
        if (!label) raise(err::ObjectNotSet);
        Variant parent = late::get(label, L"Parent");
        Variant done = late::call(form.get(), L"Create_Hyperlink",
                                  {parent, object_variant(label), Variant(LabelColor), Variant(LabelColorMouseOver)});
        return CBool(done);
    });
}

}  // namespace qm
