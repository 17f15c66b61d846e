// Network: host names and IPv4 addresses both ways through Windows Sockets
// 1.1, the computer's own names and addresses, and the two members that ask
// the Winsock control (its local address, whether a port is taken).
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/com_ptr.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace {

// The sockets library for the length of one member: version 1.1 asked for,
// released again only when it was started (a failed start must not take a
// reference that another user of the library holds).
class WinsockSession {
public:
    WinsockSession() noexcept {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
        usable_ = started_ && LOBYTE(data.wVersion) >= 1 &&
                  !(LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) < 1);
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    bool usable() const noexcept { return usable_; }

private:
    bool started_ = false;
    bool usable_ = false;
};

// The addresses of a host entry in its order, as dotted text.
std::vector<std::wstring> addresses_of(const hostent* entry) {
    std::vector<std::wstring> out;
    if (!entry || !entry->h_addr_list) return out;
    const size_t length = entry->h_length > 0 ? static_cast<size_t>(entry->h_length) : 0;
    for (char** at = entry->h_addr_list; *at; ++at)
        out.push_back(net::dotted(reinterpret_cast<const unsigned char*>(*at), length));
    return out;
}

// The sockets library takes host names in the code page's bytes: a name it
// cannot hold exactly is looked up nowhere (its look-alike would name another
// host).
std::vector<std::wstring> host_addresses(std::wstring_view name) {
    const std::optional<std::string> ansi = to_ansi_exact(name);
    if (!ansi) return {};
    return addresses_of(gethostbyname(ansi->c_str()));
}

// The address of entry index of a host's list ("" when the lookup fails or
// the list is shorter).
std::wstring host_address(std::wstring_view name, size_t index) {
    std::vector<std::wstring> all = host_addresses(name);
    return index < all.size() ? all[index] : std::wstring();
}

std::wstring host_name() {
    char buffer[257] = {};
    if (gethostname(buffer, 256) != 0) return {};
    return Trim(from_ansi(buffer));
}

// The Winsock control, made the way a client makes it by its name.
ComPtr<IDispatch> winsock_control() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"MSWinsock.Winsock.1", &clsid))) raise(err::CantCreateObject);
    ComPtr<IDispatch> control;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  control.put_void());
    if (FAILED(hr) || !control) raise(err::CantCreateObject);
    return control;
}

bool connected() { return net::device_of(net::connection_flags()) != icNONE; }

}  // namespace

namespace net {

std::wstring dotted(const unsigned char* bytes, size_t count) {
    std::wstring out;
    for (size_t i = 0; i < count; ++i) {
        if (i) out += L'.';
        out += std::to_wstring(bytes[i]);
    }
    return out;
}

std::wstring address_to_host_name(std::wstring_view ip) {
    unsigned char bytes[4] = {};
    std::wstring_view rest = ip;
    for (int i = 0; i < 4; ++i) {
        std::wstring_view part = rest;
        if (i < 3) {
            const size_t dot = rest.find(L'.');
            part = rest.substr(0, dot);
            rest = dot == rest.npos ? std::wstring_view() : rest.substr(dot + 1);
        }
        double value = 0;
        try {
            value = CDbl(part);
        } catch (const RuntimeError&) {
            return {};
        }
        value = std::nearbyint(value);
        if (!(value >= 0 && value <= 255)) return {};
        bytes[i] = static_cast<unsigned char>(value);
    }
    const hostent* entry = gethostbyaddr(reinterpret_cast<const char*>(bytes), 4, AF_INET);
    if (!entry || !entry->h_name) return {};
    return from_ansi(entry->h_name);
}

}  // namespace net

HRESULT Network::Get_LocalIP(long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Network, L"Get_LocalIP", ErrorNumber}, result, Bstr(L""), [] {
        ComPtr<IDispatch> control = winsock_control();
        return Bstr(CStr(late::get(control.get(), L"LocalIP")));
    });
}

HRESULT Network::IPtoName(BSTR IP, BSTR* result) {
    return untrapped(result, [&] {
        if (!connected()) return std::wstring();
        WinsockSession session;
        return net::address_to_host_name(text_of(IP));
    });
}

HRESULT Network::NameToIP(BSTR Name, BSTR* result) {
    return untrapped(result, [&] {
        if (!connected()) return std::wstring();
        WinsockSession session;
        return host_address(text_of(Name), 0);
    });
}

HRESULT Network::Get_HostName(BSTR* result) {
    return untrapped(result, [] {
        WinsockSession session;
        return host_name();
    });
}

// The name under which the computer's first address is known.
HRESULT Network::Get_DynamicDNS(long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Network, L"Get_DynamicDNS", ErrorNumber}, result, Bstr(L""), [] {
        WinsockSession session;
        const std::wstring first = host_address(host_name(), 0);
        return net::address_to_host_name(first);
    });
}

HRESULT Network::Get_IP(BSTR* HOST, SAFEARRAY** result) {
    return untrapped(result, [&] {
        WinsockSession session;
        std::wstring host(HOST ? text_of(*HOST) : std::wstring_view());
        if (host.empty()) {
            host = host_name();
            if (HOST) {
                Bstr name(host);
                SysFreeString(*HOST);
                *HOST = name.detach();
            }
        }
        std::vector<std::wstring> all = host_addresses(host);
        if (all.empty()) return SafeArray(VT_BSTR).detach();
        return string_array(all).detach();
    });
}

// The first address of the name up to its first blank, without looking at
// the connection state. Names are read from a field of 256 characters: a
// longer one without a blank in it resolves to nothing.
HRESULT Network::DomainToIP(BSTR Domain, BSTR* result) {
    return untrapped(result, [&] {
        std::wstring_view name = text_of(Domain);
        if (name.size() > 256) name = name.substr(0, 256);
        const size_t blank = name.find(L' ');
        if (blank != name.npos)
            name = name.substr(0, blank);
        else if (name.size() >= 256)
            return std::wstring();
        WinsockSession session;
        if (!session.usable()) return std::wstring();
        return host_address(name, 0);
    });
}

// True when the control cannot listen because the port is taken (10048);
// the control is closed in every case.
HRESULT Network::PortInUse(short Port, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        bool in_use = false;
        late::skipping_errors([&] {
            ComPtr<IDispatch> control = winsock_control();
            try {
                late::put(control.get(), L"LocalPort", Variant(Port));
                late::call(control.get(), L"Listen");
            } catch (const RuntimeError& e) {
                in_use = e.number() == 10048;
            }
            late::skipping_errors([&] { late::call(control.get(), L"Close"); });
        });
        return in_use;
    });
}

}  // namespace qm
