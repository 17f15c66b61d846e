// Network: the computer's network name, the computers and shares of the
// local network, messenger messages, a server's clock, and dial-up
// connections and telephony.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>
#include <ras.h>
#include <tapi.h>

#include <cmath>
#include <string>
#include <vector>

#include "files/directory.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/dates.h"
#include "runtime/process.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/network.h"
#include "system/network_internal.h"

namespace qm {

namespace {

// The local clock set to a date plus a time of day, as the runtime's date and
// time statements together set it.
void set_local_clock(DATE date, DATE time) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(date_part(date) + time_part(time), &st)) raise(err::InvalidCall);
    if (!SetLocalTime(&st)) raise(err::PermissionDenied);
}

// The server readers, safe against an unimplemented entry point.
NET_API_STATUS WINAPI remote_tod(LPCWSTR server, LPBYTE* buffer) {
    NET_API_STATUS rc = ERROR_NOT_SUPPORTED;
    if (!net::guarded([&] { rc = NetRemoteTOD(server, buffer); })) *buffer = nullptr;
    return rc;
}
NET_API_STATUS WINAPI share_enum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD max, LPDWORD read, LPDWORD total,
                                 LPDWORD resume) {
    NET_API_STATUS rc = ERROR_NOT_SUPPORTED;
    if (!net::guarded([&] { rc = NetShareEnum(server, level, buffer, max, read, total, resume); })) *buffer = nullptr;
    return rc;
}

// The dial-up calls, safe against an unimplemented entry point; the phone
// book's reader raises 453 when the system has none.
DWORD WINAPI dial(HWND owner, LPWSTR entry, DWORD flags, DWORD_PTR* connection, DWORD reserved) {
    DWORD rc = ERROR_CALL_NOT_IMPLEMENTED;
    net::guarded([&] { rc = InternetDialW(owner, entry, flags, connection, reserved); });
    return rc;
}
DWORD WINAPI ras_entries(LPCWSTR reserved, LPCWSTR phone_book, LPRASENTRYNAMEW entries, LPDWORD bytes,
                         LPDWORD count) {
    auto enum_entries = net::system_function<decltype(&RasEnumEntriesW)>(L"rasapi32.dll", "RasEnumEntriesW");
    DWORD rc = ERROR_CALL_NOT_IMPLEMENTED;
    if (!net::guarded([&] { rc = enum_entries(reserved, phone_book, entries, bytes, count); })) *count = 0;
    return rc;
}

std::vector<ComPtr<IDispatch>> ip_configurations() {
    auto services = wmi::bind(L"winmgmts:");
    return wmi::exec_query(services.get(), L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE IPEnabled = True");
}

net::Platform real_platform() {
    return {remote_tod, share_enum, NetApiBufferFree, WNetOpenEnumW, WNetEnumResourceW, WNetCloseEnum,
            GetIfTable, GetIpForwardTable, Netbios, dial, ras_entries, set_local_clock, ip_configurations};
}

// What an exported entry point without implementation raises.
constexpr DWORD kUnimplementedEntry = 0x80000100;
thread_local bool t_guarded = false;

LONG CALLBACK end_guarded_thread(EXCEPTION_POINTERS* e) {
    if (t_guarded && e->ExceptionRecord->ExceptionCode == kUnimplementedEntry) ExitThread(ERROR_CALL_NOT_IMPLEMENTED);
    return EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI guarded_thread(LPVOID f) {
    t_guarded = true;
    (*static_cast<const std::function<void()>*>(f))();
    return 0;
}

net::Platform g_platform = real_platform();

std::wstring computer_name() {
    wchar_t buffer[16] = {};
    DWORD size = 16;
    if (!GetComputerNameW(buffer, &size)) return {};
    return std::wstring(buffer, size < 16 ? size : 16);
}

// One network resource of the neighbourhood walk, its names copied.
struct Collected {
    NETRESOURCEW resource{};
    std::wstring local, remote, comment, provider;
    // The resource with its names pointing into this entry.
    NETRESOURCEW* container() {
        resource.lpLocalName = local.data();
        resource.lpRemoteName = remote.data();
        resource.lpComment = comment.data();
        resource.lpProvider = provider.data();
        return &resource;
    }
};

std::wstring copied(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// Reads one open enumeration to its end, yielding to the message loop
// between the reads.
void read_enumeration(HANDLE handle, std::vector<Collected>& out) {
    const net::Platform& p = g_platform;
    std::vector<NETRESOURCEW> buffer(32768 / sizeof(NETRESOURCEW) + 1);
    for (;;) {
        DWORD count = 65535;
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(NETRESOURCEW));
        const DWORD rc = p.enum_resource(handle, &count, buffer.data(), &size);
        process::pump();
        if (rc == ERROR_MORE_DATA && count == 0) {
            // Not even one entry fits: the platform has told the size it needs.
            if (size <= buffer.size() * sizeof(NETRESOURCEW)) break;
            buffer.resize(size / sizeof(NETRESOURCEW) + 1);
            continue;
        }
        if (rc != NO_ERROR && rc != ERROR_MORE_DATA) break;
        for (DWORD i = 0; i < count && i < buffer.size(); ++i) {
            Collected c;
            c.resource = buffer[i];
            c.local = copied(buffer[i].lpLocalName);
            c.remote = copied(buffer[i].lpRemoteName);
            c.comment = copied(buffer[i].lpComment);
            c.provider = copied(buffer[i].lpProvider);
            out.push_back(std::move(c));
        }
        if (count == 0) break;
    }
    p.close_enum(handle);
    process::pump();
}

// The neighbourhood walk: every container below the network's root is opened
// in the order it was found; the servers' names are the result.
std::vector<std::wstring> neighbourhood_servers() {
    const net::Platform& p = g_platform;
    std::vector<Collected> collected;
    HANDLE handle = nullptr;
    if (p.open_enum(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &handle) == NO_ERROR)
        read_enumeration(handle, collected);
    for (size_t next = 0; next < collected.size(); ++next) {
        if (!(collected[next].resource.dwUsage & RESOURCEUSAGE_CONTAINER)) continue;
        NETRESOURCEW below = *collected[next].container();
        handle = nullptr;
        if (p.open_enum(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, &below, &handle) == NO_ERROR)
            read_enumeration(handle, collected);
    }
    std::vector<std::wstring> servers;
    for (const Collected& c : collected)
        if (c.resource.dwDisplayType == RESOURCEDISPLAYTYPE_SERVER)
            servers.push_back(LCase(Replace(c.remote, L"\\", L"")));
    return servers;
}

// The names of the disk shares (type exactly 0) of a server, in its order.
std::vector<std::wstring> disk_shares(std::wstring_view server) {
    const net::Platform& p = g_platform;
    std::wstring name(server);
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    const NET_API_STATUS rc = p.share_enum(name.data(), 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
    std::vector<std::wstring> shares;
    if (rc == NERR_Success && buffer) {
        const auto* rows = reinterpret_cast<const SHARE_INFO_1*>(buffer);
        for (DWORD i = 0; i < read; ++i)
            if (rows[i].shi1_type == STYPE_DISKTREE)
                shares.emplace_back(rows[i].shi1_netname ? rows[i].shi1_netname : L"");
    }
    if (buffer) p.buffer_free(buffer);
    return shares;
}

// Writes a messenger message to the recipient's mailslot ("*": every
// computer of the domain).
BroadcastReturnCode send_messenger(std::wstring_view msgFrom, std::wstring_view SendTo, std::wstring_view Message) {
    if (Message.empty()) return bcINVALIDMESSAGE;
    std::wstring to(SendTo), from(msgFrom);
    if (to.empty()) to = L"*";
    if (from.empty()) from = L"Mailslot System Message";
    // Names the message cannot carry exactly make no message: nothing is sent.
    const std::optional<std::string> bytes = net::messenger_bytes(from, to, Message);
    if (!bytes) return bcINVALIDMESSAGE;
    const std::wstring slot = L"\\\\" + to + L"\\mailslot\\messngr";
    process::Handle file(CreateFileW(slot.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return bcINVALIDFILE;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &written, nullptr))
        return bcINVALIDFILE;
    return written == bytes->size() ? bcSEND : bcSENDCRC;
}
}  // namespace

namespace net {

bool guarded(const std::function<void()>& f) {
    static const PVOID handler = AddVectoredExceptionHandler(1, end_guarded_thread);
    (void)handler;
    HANDLE thread = CreateThread(nullptr, 0, guarded_thread, const_cast<std::function<void()>*>(&f), 0, nullptr);
    if (!thread) raise_win32();
    WaitForSingleObject(thread, INFINITE);
    DWORD code = ERROR_CALL_NOT_IMPLEMENTED;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code == 0;
}

void* system_entry(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    void* f = module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    if (!f) raise(453, L"Specified DLL function not found");
    return f;
}

Platform& platform() { return g_platform; }
void reset_platform() { g_platform = real_platform(); }

std::optional<std::string> messenger_bytes(std::wstring_view from, std::wstring_view to, std::wstring_view text) {
    std::optional<std::string> sender = to_ansi_exact(from), recipient = to_ansi_exact(to);
    if (!sender || !recipient) return std::nullopt;
    std::string bytes = std::move(*sender);
    bytes += '\0';
    bytes += *recipient;
    bytes += '\0';
    bytes += to_ansi(text);
    bytes += '\0';
    bytes += '\0';
    return bytes;
}

ServerTime server_time(long year, long month, long day, long hours, long minutes, long seconds, long zone) {
    long long total = static_cast<long long>(hours) * 3600 + (static_cast<long long>(minutes) - zone) * 60 + seconds;
    const long long carry = static_cast<long long>(std::floor(static_cast<double>(total) / 86400.0));
    total -= carry * 86400;
    ServerTime t;
    t.date = DateSerial(year, month, day + static_cast<long>(carry));
    t.time = TimeSerial(static_cast<long>(total / 3600), static_cast<long>(total / 60 % 60), static_cast<long>(total % 60));
    return t;
}

}  // namespace net

HRESULT Network::Set_LocalNetworkName(BSTR* Name, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring name(Name ? text_of(*Name) : std::wstring_view());
        return SetComputerNameW(name.c_str()) != FALSE;
    });
}

HRESULT Network::Get_LocalNetworkName(BSTR* result) {
    return untrapped(result, [] { return computer_name(); });
}

HRESULT Network::BroadcastMessage(BSTR msgFrom, BSTR SendTo, BSTR Message, BroadcastReturnCode* result) {
    if (!result) return E_POINTER;
    *result = bcSEND;
    return untrapped([&] { *result = send_messenger(text_of(msgFrom), text_of(SendTo), text_of(Message)); });
}


// The computers of the network neighbourhood, lower-cased; without AddOwnPC
// the first entry naming this computer is left out. An array that has never
// been dimensioned when there is none.
HRESULT Network::Get_LocalPCs(VARIANT_BOOL* AddOwnPC, VARIANT* result) {
    return untrapped(result, [&] {
        std::vector<std::wstring> servers = neighbourhood_servers();
        if (AddOwnPC && !*AddOwnPC) {
            const std::wstring own = LCase(computer_name());
            for (auto it = servers.begin(); it != servers.end(); ++it)
                if (LCase(*it) == own) {
                    servers.erase(it);
                    break;
                }
        }
        if (servers.empty()) return std::move(SafeArray(VT_BSTR)).to_variant();
        return std::move(string_array(servers)).to_variant();
    });
}

// The server's local date and time of day; with SetLocalDate the local clock
// is set from them when the server answered.
HRESULT Network::Get_NetTime(BSTR Server, VARIANT_BOOL* SetLocalDate, long* ErrorNumber, SERVERDATEINFO* result) {
    if (!result) return E_POINTER;
    *result = SERVERDATEINFO{};
    return trapped(Trap{Source::Network, L"Get_NetTime", ErrorNumber}, [&] {
        const net::Platform& p = g_platform;
        std::wstring server(text_of(Server));
        LPBYTE buffer = nullptr;
        const NET_API_STATUS rc = p.remote_tod(Trim(server).empty() ? nullptr : server.c_str(), &buffer);
        if (rc != NERR_Success) {
            if (buffer) p.buffer_free(buffer);
            return;
        }
        if (!buffer) return;
        const TIME_OF_DAY_INFO tod = *reinterpret_cast<const TIME_OF_DAY_INFO*>(buffer);
        p.buffer_free(buffer);
        const net::ServerTime local =
            net::server_time(static_cast<long>(tod.tod_year), static_cast<long>(tod.tod_month),
                             static_cast<long>(tod.tod_day), static_cast<long>(tod.tod_hours),
                             static_cast<long>(tod.tod_mins), static_cast<long>(tod.tod_secs), tod.tod_timezone);
        result->Date = local.date;
        result->Time = local.time;
        if (SetLocalDate && *SetLocalDate) p.set_clock(local.date, local.time);
    });
}

HRESULT Network::Get_SharedDirectory(BSTR Server, long* ErrorNumber, SAFEARRAY** result) {
    return trapped(Trap{Source::Network, L"Get_SharedDirectory", ErrorNumber}, result,
                   SafeArray(VT_BSTR, 0).detach(), [&] { return string_array(disk_shares(text_of(Server))).detach(); });
}

// "net send" started hidden; nothing is waited for. The computer and the
// message are one argument each, whatever blanks or quotes they hold.
HRESULT Network::NetSend(BSTR PC, BSTR Message) {
    return untrapped([&] {
        process::start(L"net send " + process::argument(text_of(PC)) + L' ' + process::argument(text_of(Message)), 0);
    });
}

// The folder-browse dialog with the network neighbourhood as its root.
HRESULT Network::BrowseForNetworkPath(long* hwnd, VARIANT_BOOL* BrowseOnlyForComputer, BSTR* result) {
    return untrapped(result, [&] {
        BROWSENFO info{};
        info.hwnd = hwnd ? *hwnd : 0;
        info.SYSROOT = sfNETWORK;
        info.Flags = BrowseOnlyForComputer && *BrowseOnlyForComputer ? BIF_BROWSEFORCOMPUTER : ShellBrowseFlags{};
        Bstr path(Show_BrowseForFolder(info));
        SysFreeString(info.RETURNEDFOLDERPATH);
        return path;
    });
}

HRESULT Network::TAPIdialNumber(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        using MakeCallFn = decltype(&tapiRequestMakeCallA);
        auto make_call = net::system_function<MakeCallFn>(L"tapi32.dll", "tapiRequestMakeCall");
        LONG rc = -1;
        net::guarded([&] { rc = make_call("", "", "", ""); });
        return rc == 0;
    });
}

HRESULT Network::InternetDialUP(long* hwnd, BSTR* Connection) {
    return untrapped([&] {
        std::wstring entry(Connection ? text_of(*Connection) : std::wstring_view());
        DWORD_PTR connection = 0;
        HWND owner = hwnd ? reinterpret_cast<HWND>(static_cast<LONG_PTR>(*hwnd)) : nullptr;
        g_platform.dial(owner, entry.data(), 0, &connection, 0);
    });
}

HRESULT Network::InternetHangup() {
    return untrapped([] { net::guarded([] { InternetAutodialHangup(0); }); });
}

// The entries of the system's phone book; an array that has never been
// dimensioned when there is none.
HRESULT Network::Get_DialUPlist(SAFEARRAY** result) {
    return untrapped(result, [] {
        // The entry record in its oldest form, which every version accepts.
        struct Entry {
            DWORD size;
            wchar_t name[257];
        };
        static_assert(sizeof(Entry) == 520);
        std::vector<Entry> entries(256);
        entries[0].size = sizeof(Entry);
        DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(Entry)), count = 0;
        // The system's record is longer: ours is its oldest form, which the size field announces.
        auto* first = reinterpret_cast<LPRASENTRYNAMEW>(entries.data());
        g_platform.ras_entries(nullptr, nullptr, first, &bytes, &count);
        if (count == 0) return SafeArray(VT_BSTR).detach();
        std::vector<std::wstring> names;
        for (DWORD i = 0; i < count && i < entries.size(); ++i)
            names.emplace_back(entries[i].name, wcsnlen(entries[i].name, 257));
        return string_array(names).detach();
    });
}

}  // namespace qm
