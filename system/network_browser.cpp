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
#include "runtime/handover.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace net {

namespace {

// The characters a mail field keeps as they are: the unreserved ones of a URI.
bool unreserved(wchar_t c) noexcept {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' ||
           c == L'.' || c == L'_' || c == L'~';
}
// The address part keeps its own structure too: "a@b.de,c@d.de" is two recipients.
bool address_kept(wchar_t c) noexcept { return unreserved(c) || c == L'@' || c == L','; }
// An address for the browser keeps every printable ASCII character but the quote.
bool printable_kept(wchar_t c) noexcept { return c > L' ' && c < 0x7F && c != L'"'; }
// A shortcut file is written in the code page: its address line keeps what the
// code page holds exactly, but no line break or other control character.
bool line_kept(wchar_t c) noexcept { return c >= L' ' && c != 0x7F && holds_exactly(std::wstring_view(&c, 1)); }

// The text with every character that kept() refuses written as "%" and the
// hexadecimal digits of each of its UTF-8 bytes; a surrogate pair is one
// character, a lone surrogate the replacement character.
std::wstring percent_coded(std::wstring_view text, bool (*kept)(wchar_t) noexcept) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (kept(text[i])) {
            out += text[i];
            continue;
        }
        const int units = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[8];
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.data() + i, units, bytes, sizeof(bytes), nullptr, nullptr);
        for (int b = 0; b < n; ++b) {
            const auto byte = static_cast<unsigned char>(bytes[b]);
            out += L'%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
        i += static_cast<size_t>(units) - 1;
    }
    return out;
}

}  // namespace

std::wstring mail_address_text(std::wstring_view to, std::wstring_view subject, std::wstring_view body) {
    return L"mailto:" + percent_coded(to, address_kept) + L"?Subject=" + percent_coded(subject, unreserved) +
           L"&Body=" + percent_coded(body, unreserved);
}

std::wstring uri_text(std::wstring_view address) { return percent_coded(address, printable_kept); }

// The address stays one line of the file and names what the caller wrote: a
// line break would add entries of its own, a look-alike another address.
std::wstring shortcut_text(std::wstring_view url) {
    return L"[InternetShortcut]\r\nURL = " + percent_coded(url, line_kept);
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

// The address is the browser's one argument: coded so that no blank or quote in
// it ends the argument.
HRESULT Network::IE_Open(BSTR* URL, long* WinStyle, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring_view url = URL ? text_of(*URL) : std::wstring_view();
        check_command_line(url);
        Bstr program(L"Iexplore.exe"), address(net::uri_text(url));
        check_command_line(address.view());
        BSTR raw = program.get(), coded = address.get();
        long style = WinStyle ? *WinStyle : SW_SHOWNORMAL;
        VARIANT_BOOL started = VARIANT_FALSE;
        check(shared<_Shell>()->Execute(&raw, &coded, &style, &started));
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

// Every field is coded as the mailto scheme asks, so that nothing in it starts
// a field of its own or ends the mail program's argument.
HRESULT Network::SendNewMail(BSTR MailTo, BSTR Subject, BSTR Body, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring_view to = text_of(MailTo), subject = text_of(Subject), body = text_of(Body);
        // Coding never shortens a field: fields longer than the shell takes are
        // refused before they are coded.
        if (to.size() + subject.size() + body.size() > limit::kShellTarget) raise(err::BadFileNameOrNumber);
        const std::wstring text = net::mail_address_text(to, subject, body);
        check_shell_target(text);
        HINSTANCE h = ShellExecuteW(nullptr, L"Open", text.c_str(), L"", L"", SW_SHOWNORMAL);
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
    wchar_t program[MAX_PATH + 1] = {};
    late::skipping_errors([&] {
        FindExecutableW(probe.c_str(), App::Path().c_str(), program);
        program[MAX_PATH] = L'\0';
    });
    *result = net::browser_of(program);
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
