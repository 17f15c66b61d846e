// Network: the computer's network adapters: Ethernet interfaces and their
// traffic, the default gateway, MAC addresses through NetBIOS and WMI, the IP
// configuration and the text of the system's ipconfig.
#include <winsock2.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dispatch.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace {

constexpr GUID kAdapterInfo = {0xF67DDE27, 0x4993, 0x4F15, {0xAC, 0x1B, 0x28, 0x75, 0x4C, 0x27, 0x68, 0xB6}};

// A whole number of kilobytes as plain digits.
std::wstring kilobytes(double value) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%.0f", std::nearbyint(value));
    return text;
}

// --- NetBIOS ------------------------------------------------------------------

UCHAR run(NCB& ncb) { return net::platform().netbios(&ncb); }

// The LANA numbers of the computer.
std::vector<UCHAR> netbios_lanas() {
    LANA_ENUM lanas{};
    NCB ncb{};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof(lanas);
    if (run(ncb) != NRC_GOODRET || lanas.length == 0) return {};
    return std::vector<UCHAR>(lanas.lana, lanas.lana + (lanas.length < MAX_LANA + 1 ? lanas.length : MAX_LANA + 1));
}

void netbios_reset(UCHAR lana, UCHAR sessions, UCHAR names) {
    NCB ncb{};
    ncb.ncb_command = NCBRESET;
    ncb.ncb_lana_num = lana;
    ncb.ncb_lsn = 0;
    ncb.ncb_callname[0] = sessions;
    ncb.ncb_callname[2] = names;
    run(ncb);
}

// The adapter address of a LANA asked for a name in the code page's bytes
// ("*": the local adapter); "" when the adapter does not answer.
std::wstring netbios_address(UCHAR lana, std::string call) {
    unsigned char status[680] = {};
    NCB ncb{};
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = lana;
    call.resize(NCBNAMSZ, ' ');
    std::copy(call.begin(), call.end(), ncb.ncb_callname);
    ncb.ncb_buffer = status;
    ncb.ncb_length = sizeof(status);
    if (run(ncb) != NRC_GOODRET) return {};
    return net::mac_text(reinterpret_cast<const ADAPTER_STATUS*>(status)->adapter_address);
}

// A Variant's items joined by blanks (an array) or its text; Null raises 94.
std::wstring joined(const Variant& value) {
    const VARIANT& v = *value.get();
    if (V_VT(&v) == VT_NULL) raise(err::InvalidUseOfNull);
    if (!(V_VT(&v) & VT_ARRAY)) return wmi::to_text(v);
    std::wstring out;
    bool first = true;
    for (const Variant& item : elements_of(V_ISBYREF(&v) ? *V_ARRAYREF(&v) : V_ARRAY(&v))) {
        if (!first) out += L' ';
        out += wmi::to_text(*item.get());
        first = false;
    }
    return out;
}

std::wstring unless_null(const Variant& value) {
    return value.vt() == VT_NULL ? std::wstring() : joined(value);
}

void put_text(BSTR& field, std::wstring_view text) {
    Bstr value(text);
    SysFreeString(field);
    field = value.detach();
}

}  // namespace

namespace net {

std::wstring mac_text(const unsigned char* address) {
    std::wstring out;
    wchar_t pair[4];
    for (int i = 0; i < 6; ++i) {
        std::swprintf(pair, 4, L"%02X", address[i]);
        if (i) out += L'-';
        out += pair;
    }
    return out;
}

std::vector<Ethernet> ethernet_interfaces() {
    const Platform& p = platform();
    ULONG size = 0;
    p.if_table(nullptr, &size, TRUE);
    if (size < 1) return {};
    std::vector<unsigned char> buffer(size);
    if (p.if_table(reinterpret_cast<PMIB_IFTABLE>(buffer.data()), &size, TRUE) != NO_ERROR) return {};
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
    const size_t fits = (buffer.size() - offsetof(MIB_IFTABLE, table)) / sizeof(MIB_IFROW);
    std::vector<Ethernet> out;
    for (DWORD i = 0; i < table->dwNumEntries && i < fits; ++i) {
        const MIB_IFROW& row = table->table[i];
        if (row.dwType != IF_TYPE_ETHERNET_CSMACD) continue;
        std::string description;
        for (BYTE b : row.bDescr)
            if (b) description += static_cast<char>(b);
        const double mtu = row.dwMtu;
        out.push_back({from_ansi(description), kilobytes(row.dwInUcastPkts * (mtu / 1024)),
                       kilobytes((static_cast<double>(row.dwOutUcastPkts) + row.dwOutNUcastPkts) * mtu / 1024)});
    }
    return out;
}

}  // namespace net

HRESULT Network::get_macaddr(BSTR* result) {
    return untrapped(result, [this] { return Bstr::copy(macaddr_.get()); });
}

HRESULT Network::put_macaddr(BSTR value) {
    return untrapped([&] { macaddr_ = Bstr::copy(value); });
}

// The output of ipconfig (its first 2000 bytes), lines ending in LF alone.
HRESULT Network::DOS_IPconfig(BSTR* Param, BSTR* result) {
    return untrapped(result, [&] {
        Bstr command(L"ipconfig"), text;
        Bstr param(Param ? text_of(*Param) : std::wstring_view());
        check(shared<_Shell>()->DOS_Execute(command.get(), param.in_out(), text.put()));
        return Replace(text.view(), L"\r", L"");
    });
}

HRESULT Network::Adapter_GetInstalled(SAFEARRAY** result) {
    return trapped(Trap{Source::Network, L"Adapter_GetInstalled"}, result, SafeArray(VT_BSTR).detach(), [] {
        std::vector<std::wstring> names;
        for (const net::Ethernet& e : net::ethernet_interfaces()) names.push_back(e.description);
        return names.empty() ? SafeArray(VT_BSTR).detach() : string_array(names).detach();
    });
}

HRESULT Network::Adapter_Count(long* result) {
    return untrapped(result, [] { return static_cast<long>(net::ethernet_interfaces().size()); });
}

// Index counts the Ethernet interfaces from 1; outside them both fields stay Empty.
HRESULT Network::Adapter_GetTransferredBytes(long Index, ADAPTERBYTEINFO* result) {
    if (!result) return E_POINTER;
    VariantInit(&result->RECEIVEDBYTES);
    VariantInit(&result->SENDEDBYTES);
    return trapped(Trap{Source::Network, L"Adapter_GetTransferredBytes"}, [&] {
        std::vector<net::Ethernet> all = net::ethernet_interfaces();
        if (Index < 1 || static_cast<size_t>(Index) > all.size()) return;
        const net::Ethernet& e = all[static_cast<size_t>(Index - 1)];
        Variant(e.received).detach(&result->RECEIVEDBYTES);
        Variant(e.sent).detach(&result->SENDEDBYTES);
    });
}

HRESULT Network::Adapter_GetInfo(long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::Network, L"Adapter_GetInfo", ErrorNumber}, result, SafeArray(VT_RECORD).detach(), [] {
        auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
        auto adapters = wmi::instances_of(services.get(), L"Win32_NetworkAdapter");
        struct Row {
            std::wstring description, name;
            long id = 0;
        };
        std::vector<Row> rows;
        for (auto& a : adapters) {
            Row r{wmi::text_or_empty(a.get(), L"Description"), wmi::text_or_empty(a.get(), L"Name")};
            Variant id = wmi::get_or_empty(a.get(), L"DeviceID");
            r.id = id.vt() == VT_EMPTY ? 0 : CLng(*id.get());
            rows.push_back(std::move(r));
        }
        if (rows.empty()) return static_cast<SAFEARRAY*>(nullptr);
        SafeArray out = SafeArray::records(kAdapterInfo, static_cast<long>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            ADAPTERINFO& r = out.at<ADAPTERINFO>(static_cast<long>(i));
            put_text(r.Description, rows[i].description);
            put_text(r.Name, rows[i].name);
            r.DeviceID = rows[i].id;
        }
        return out.detach();
    });
}

// The next hop of the last default route.
HRESULT Network::Get_Gateway(BSTR* result) {
    return untrapped(result, [] {
        const net::Platform& p = net::platform();
        ULONG size = 0;
        const DWORD rc = p.forward_table(nullptr, &size, FALSE);
        if ((rc != NO_ERROR && rc != ERROR_INSUFFICIENT_BUFFER) || size == 0) return std::wstring();
        std::vector<unsigned char> buffer(size + 1);
        if (p.forward_table(reinterpret_cast<PMIB_IPFORWARDTABLE>(buffer.data()), &size, FALSE) != NO_ERROR)
            return std::wstring();
        const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
        const size_t fits = (buffer.size() - offsetof(MIB_IPFORWARDTABLE, table)) / sizeof(MIB_IPFORWARDROW);
        std::wstring gateway;
        for (DWORD i = 0; i < table->dwNumEntries && i < fits; ++i) {
            const MIB_IPFORWARDROW& row = table->table[i];
            if (row.dwForwardDest == 0)
                gateway = net::dotted(reinterpret_cast<const unsigned char*>(&row.dwForwardNextHop), 4);
        }
        return gateway;
    });
}

// The MAC address of the first adapter of a computer ("." the local one)
// that has one and is not a system adapter.
HRESULT Network::Get_MACadress(BSTR* Data, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Network, L"Get_MACadress", ErrorNumber}, result, Bstr(L""), [&] {
        std::wstring computer(Data ? text_of(*Data) : std::wstring_view());
        if (computer.empty()) {
            computer = L".";
            if (Data) {
                Bstr dot(computer);
                SysFreeString(*Data);
                *Data = dot.detach();
            }
        }
        auto services = wmi::bind(L"winmgmts:\\\\" + computer);
        auto rows = wmi::exec_query(services.get(),
                                    L"SELECT MACAddress FROM Win32_NetworkAdapter "
                                    L"WHERE ((MACAddress Is Not NULL) AND (Manufacturer <> 'Microsoft'))");
        return rows.empty() ? std::wstring() : wmi::text_or_empty(rows.front().get(), L"MACAddress");
    });
}

HRESULT Network::IPconfig(long* ErrorNumber, IPconfigInfo* result) {
    if (!result) return E_POINTER;
    *result = IPconfigInfo{};
    BSTR* fields[] = {&result->Caption, &result->ServiceName, &result->Mac,    &result->IP,
                      &result->Subnet,  &result->Gateway,     &result->DNS,    &result->DHCP,
                      &result->WINS_1,  &result->WINS_2,      &result->Description};
    HRESULT hr = trapped(Trap{Source::Network, L"IPconfig", ErrorNumber}, [&] {
        auto rows = net::platform().ip_configurations();
        if (rows.empty()) return;
        IDispatch* row = rows.front().get();
        auto read = [&](const wchar_t* name) { return wmi::get_or_empty(row, name); };
        // Filled completely before anything is stored: a failure leaves every field empty.
        const std::wstring texts[] = {
            joined(read(L"Caption")),           joined(read(L"ServiceName")),
            joined(read(L"MACAddress")),        joined(read(L"IPAddress")),
            joined(read(L"IPSubnet")),          unless_null(read(L"DefaultIPGateway")),
            unless_null(read(L"DNSHostName")),  unless_null(read(L"DHCPServer")),
            unless_null(read(L"WINSPrimaryServer")), unless_null(read(L"WINSSecondaryServer")),
            joined(read(L"Description"))};
        for (size_t i = 0; i < std::size(fields); ++i) put_text(*fields[i], texts[i]);
    });
    for (BSTR* f : fields)
        if (!*f) *f = SysAllocStringLen(nullptr, 0);
    return hr;
}

// Entry Index (from 0) of the adapter addresses that the LANAs give for
// PCname; with "*" a LANA that does not answer keeps its empty entry.
HRESULT Network::Adapter_GetMACadress(long Index, BSTR* PCname, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Network, L"Adapter_GetMACadress", ErrorNumber}, result, Bstr(L""), [&] {
        // An omitted name (the type library cannot carry its default) arrives empty.
        std::wstring name(PCname ? text_of(*PCname) : std::wstring_view());
        if (name.empty()) name = L"*";
        if (Index < 0) raise(err::SubscriptOutOfRange);
        // NetBIOS names are bytes of the code page: a name it cannot hold
        // exactly names no computer there, and no adapter is asked.
        const std::optional<std::string> call = to_ansi_exact(name);
        if (!call) return std::wstring();
        std::vector<std::wstring> list;
        for (UCHAR lana : netbios_lanas()) {
            netbios_reset(lana, 30, 20);
            std::wstring address = netbios_address(lana, *call);
            if (name == L"*" || !address.empty()) list.push_back(std::move(address));
        }
        if (static_cast<size_t>(Index) >= list.size()) return std::wstring();
        return list[static_cast<size_t>(Index)];
    });
}

HRESULT Network::Adapter_GetAllMACadresses(SAFEARRAY** result) {
    return untrapped(result, [] {
        std::vector<std::wstring> all;
        _Network* network = shared<_Network>();
        for (long index = 0;; ++index) {
            Bstr star(L"*");
            Bstr address;
            long error = 0;
            check(network->Adapter_GetMACadress(index, star.in_out(), &error, address.put()));
            if (address.empty()) break;
            all.push_back(address.str());
        }
        return all.empty() ? SafeArray(VT_BSTR).detach() : string_array(all).detach();
    });
}

}  // namespace qm
