// Network: the internet connection state, page downloads, file sizes over
// HTTP, the public address and the web-address text coding.
#include <windows.h>
#include <wininet.h>
#include <urlmon.h>
#include <intshcut.h>

#include <array>
#include <optional>
#include <string>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace net {

namespace {

std::optional<DWORD> g_flags_override;

// The address-echo pages: root pages of public services that print the
// caller's address between these markers.
std::array<EchoPage, 3> g_echo = {{
    {L"http://checkip.dyndns.org/", L"CopyToClipboard('", L"');"},
    {L"http://www.showmyip.com/", L"<br>REMOTE HOST: ", L"\n<br>PRO"},
    {L"http://www.whatismyip.org/", L"<h1>Your IP is ", L" <br></h1>"},
}};

constexpr std::wstring_view kUrlKept =
    L"1234567890abcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00fcABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6\u00dc";

struct InternetHandle {
    HINTERNET h = nullptr;
    explicit InternetHandle(HINTERNET handle) noexcept : h(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { InternetCloseHandle(h); }
    explicit operator bool() const noexcept { return h != nullptr; }
};

Bstr html_file(const std::wstring& url) {
    Bstr address(url), file(L"");
    VARIANT_BOOL show = VARIANT_FALSE;
    Bstr text;
    check(shared<_Network>()->Get_HTMLfile(address.in_out(), &show, file.in_out(), text.put()));
    return text;
}

}  // namespace

icDevice device_of(DWORD flags) noexcept {
    flags &= 0xFF;
    if (flags & INTERNET_CONNECTION_LAN) return icLAN;
    if (flags & (INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_MODEM_BUSY)) return icMODEM;
    if (flags & INTERNET_CONNECTION_PROXY) return icPROXY;
    return icNONE;
}

DWORD connection_flags() {
    if (g_flags_override) return *g_flags_override;
    DWORD flags = 0;
    InternetGetConnectedState(&flags, 0);
    return flags;
}

void override_connection_flags(std::optional<DWORD> flags) { g_flags_override = flags; }

EchoPage echo_page(long index) {
    if (index < 1 || index > static_cast<long>(g_echo.size())) return {};
    return g_echo[static_cast<size_t>(index - 1)];
}

void set_echo_url(long index, std::wstring url) {
    if (index >= 1 && index <= static_cast<long>(g_echo.size())) g_echo[static_cast<size_t>(index - 1)].url = std::move(url);
}

std::wstring text_between(std::wstring_view page, std::wstring_view start, std::wstring_view end) {
    const size_t p1 = page.find(start), p2 = page.find(end);
    if (start.empty() || end.empty() || p1 == page.npos || p2 == page.npos) return {};
    const std::wstring_view rest = page.substr(p1 + start.size());
    const size_t cut = rest.find(end);
    // The end marker stands only before the start marker: the cut has no length.
    if (cut == rest.npos) raise(err::InvalidCall);
    return Trim(rest.substr(0, cut));
}

std::wstring address_in(std::wstring_view page, long index) {
    std::wstring found;
    trapped(Trap{Source::basPModule, L"Net_Get_OnlineIPFunc"}, [&] {
        const EchoPage entry = echo_page(index);
        found = text_between(page, entry.start, entry.end);
    });
    return found;
}

std::wstring online_ip_try(long index) {
    std::wstring found;
    trapped(Trap{Source::basPModule, L"Net_Get_OnlineIPFunc"}, [&] {
        const EchoPage entry = echo_page(index);
        if (entry.url.empty()) return;
        Bstr page = html_file(entry.url);
        if (!page.empty()) found = address_in(page.view(), index);
    });
    return found;
}

std::wstring url_encode(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (kUrlKept.find(c) != kUrlKept.npos) {
            out += c;
        } else if (c == L' ') {
            out += L'+';
        } else {
            // The character's ANSI code: one byte, or a double-byte character's two.
            const unsigned code = static_cast<unsigned>(Asc(std::wstring_view(&c, 1))) & 0xFFFF;
            out += L'%';
            if (code > 0xFF) {
                out += kHex[code >> 12];
                out += kHex[(code >> 8) & 0xF];
            }
            out += kHex[(code >> 4) & 0xF];
            out += kHex[code & 0xF];
        }
    }
    return out;
}

std::wstring url_decode(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'+') {
            out += L' ';
        } else if (c == L'%') {
            // The next two characters (fewer at the end) read as "&H" and them:
            // a pair that is no hexadecimal number gives its leading digit's value, or 0.
            std::wstring hex = L"&H";
            hex += text.substr(i + 1, 2);
            out += Chr(static_cast<long>(Val(hex)) & 0xFF);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace net

HRESULT Network::InternetConnectedBy(icDevice* result) {
    if (!result) return E_POINTER;
    *result = net::device_of(net::connection_flags());
    return S_OK;
}

HRESULT Network::ConnectedToInternet(VARIANT_BOOL* result) {
    return untrapped(result, [] { return net::device_of(net::connection_flags()) != icNONE; });
}

HRESULT Network::DFUEconnected(VARIANT_BOOL* result) {
    return untrapped(result, [] { return net::device_of(net::connection_flags()) == icMODEM; });
}

HRESULT Network::HTTP_isOnline(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        using InetIsOfflineFn = decltype(&InetIsOffline);
        return net::system_function<InetIsOfflineFn>(L"url.dll", "InetIsOffline")(0) == FALSE;
    });
}

HRESULT Network::HTTP_CanConnect(VARIANT_BOOL* result) {
    return untrapped(result, [] { return false; });
}

// True when a connection to the host (given as a web address) can be made.
HRESULT Network::Host_isReachable(BSTR HOST, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring host(text_of(HOST));
        return InternetCheckConnectionW(host.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
    });
}

// The page's text (ANSI, one trailing CR LF cut) through a file that is
// deleted afterwards, also when the caller named it; with ShowInternetExplorer
// the address goes to the browser's download dialog instead.
HRESULT Network::Get_HTMLfile(BSTR* URL, VARIANT_BOOL* ShowInternetExplorer, BSTR* File, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring url(URL ? text_of(*URL) : std::wstring_view());
        if (ShowInternetExplorer && *ShowInternetExplorer) {
            using DoFileDownloadFn = BOOL(WINAPI*)(LPCWSTR);
            net::system_function<DoFileDownloadFn>(L"shdocvw.dll", "DoFileDownload")(url.c_str());
            return Bstr();
        }
        _File* files = shared<_File>();
        Bstr target;
        long killed = 0;
        if (!File || text_of(*File).empty()) {
            Bstr folder(L"");
            check(files->TempFile_Create(folder.in_out(), target.put()));
        } else {
            target = Bstr::copy(*File);
            check(files->fKill(target.get(), &killed));
        }
        URLDownloadToFileW(nullptr, url.c_str(), target.str().c_str(), 0, nullptr);
        long read_error = 0;
        Bstr text;
        check(shared<_Text>()->TextFile_Read(target.get(), &read_error, text.put()));
        check(files->fKill(target.get(), &killed));
        return text;
    });
}

// The length a HEAD request on port 80 reports: -1 when the request cannot be
// sent or carries no length, 0 when no request can be opened. The file is coded
// as a web address is, so that it stays the request's one object whatever
// blanks, line breaks or other characters it holds.
HRESULT Network::Get_InternetFilesize(BSTR Server, BSTR File, long* result) {
    return untrapped(result, [&]() -> long {
        std::wstring object = net::uri_text(text_of(File));
        if (!object.starts_with(L'/')) object.insert(0, 1, L'/');
        const std::wstring server(text_of(Server));
        net::InternetHandle internet(InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!internet) return 0;
        net::InternetHandle connection(InternetConnectW(internet.h, server.c_str(), INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                                        nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) return 0;
        net::InternetHandle request(HttpOpenRequestW(connection.h, L"HEAD", object.c_str(), L"HTTP/1.1", nullptr,
                                                     nullptr, INTERNET_FLAG_RELOAD, 0));
        if (!request) return 0;
        if (!HttpSendRequestW(request.h, nullptr, 0, nullptr, 0)) return -1;
        DWORD length = 0, size = sizeof(length);
        if (!HttpQueryInfoW(request.h, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
            return -1;
        return static_cast<long>(length);
    });
}

HRESULT Network::Get_OnlineIP(BSTR* result) {
    return untrapped(result, [] {
        if (net::device_of(net::connection_flags()) == icNONE) return std::wstring();
        for (long index = 1; index <= 3; ++index) {
            std::wstring address = net::online_ip_try(index);
            if (!address.empty()) return address;
        }
        return std::wstring();
    });
}

HRESULT Network::URLToHTML(BSTR URL, BSTR* result) {
    return untrapped(result, [&] { return Bstr(net::url_encode(text_of(URL))); });
}

HRESULT Network::HTMLtoURL(BSTR HTML, BSTR* result) {
    return untrapped(result, [&] { return Bstr(net::url_decode(text_of(HTML))); });
}

}  // namespace qm
