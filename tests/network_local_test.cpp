// Network: name resolution, the local network, dial-up and the adapters. The
// platform readers get fabricated tables where Wine has none; the Winsock
// control is a stand-in of this test, registered only while its test runs.
#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/network_internal.h"
#include "recorder.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

std::vector<std::wstring> texts(SAFEARRAY* sa) {
    SafeArray a = SafeArray::attach(sa, VT_BSTR);
    return a.dimensioned() ? texts_of(a.get()) : std::vector<std::wstring>{L"<undimensioned>"};
}

// The sockets library for the test's own comparisons.
struct Sockets {
    Sockets() {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    }
    ~Sockets() { WSACleanup(); }
};

std::vector<std::wstring> addresses(const char* host) {
    std::vector<std::wstring> out;
    const hostent* e = gethostbyname(host);
    for (char** a = e ? e->h_addr_list : nullptr; a && *a; ++a)
        out.push_back(net::dotted(reinterpret_cast<unsigned char*>(*a), 4));
    return out;
}

class NetworkLocal : public ::testing::Test {
protected:
    void SetUp() override {
        n = shared<_Network>();
    }
    void TearDown() override {
        net::reset_platform();
        net::override_connection_flags(std::nullopt);
    }
    std::wstring text(HRESULT (STDMETHODCALLTYPE _Network::*member)(BSTR, BSTR*), const wchar_t* arg) {
        Bstr out;
        EXPECT_EQ((n->*member)(Bstr(arg).get(), out.put()), S_OK);
        return out.str();
    }
    _Network* n = nullptr;
    ErrorLog errors{ErrorLog::linked};
};

TEST_F(NetworkLocal, NamesAndAddressesResolveBothWays) {
    Sockets s;
    char host[256] = {};
    gethostname(host, 256);
    struct Case {
        const wchar_t* domain;
        const wchar_t* ip;
    } cases[] = {{L"localhost", L"127.0.0.1"}, {L"localhost   ", L"127.0.0.1"}, {L"localhost x", L"127.0.0.1"},
                 {L"no-such-host.invalid", L""}};
    for (const Case& c : cases) EXPECT_EQ(text(&_Network::DomainToIP, c.domain), c.ip) << c.domain;
    // A host name the sockets library's code page cannot hold exactly is looked
    // up nowhere (as "lOcalhost" it would be found).
    net::override_connection_flags(0x02);  // a LAN
    for (const HostileChar& c : kHostileChars) {
        SCOPED_TRACE(c.label);
        const std::wstring name = L"l" + std::wstring(c.text) + L"calhost";
        EXPECT_EQ(text(&_Network::DomainToIP, name.c_str()), L"");
        EXPECT_EQ(text(&_Network::NameToIP, name.c_str()), L"");
    }
    // Longer than the name field, with no blank in it: nothing, and no error.
    EXPECT_EQ(text(&_Network::DomainToIP, std::wstring(300, L'a').c_str()), L"");
    EXPECT_EQ(text(&_Network::DomainToIP, (L"localhost " + std::wstring(300, L'a')).c_str()), L"127.0.0.1");

    net::override_connection_flags(0x02);  // a LAN
    const hostent* back = gethostbyaddr("\x7f\0\0\x01", 4, AF_INET);
    ASSERT_TRUE(back);
    EXPECT_EQ(text(&_Network::IPtoName, L"127.0.0.1"), from_ansi(back->h_name));
    EXPECT_EQ(text(&_Network::NameToIP, L"localhost"), L"127.0.0.1");
    // A part that is no byte is never looked up.
    for (const wchar_t* bad : {L"127.0.0.256", L"127.0.0.-1", L"a.b.c.d", L"127.0.0", L""})
        EXPECT_EQ(text(&_Network::IPtoName, bad), L"") << bad;
    net::override_connection_flags(0);
    EXPECT_EQ(text(&_Network::IPtoName, L"127.0.0.1"), L"");
    EXPECT_EQ(text(&_Network::NameToIP, L"localhost"), L"");

    Bstr name;
    ASSERT_EQ(n->Get_HostName(name.put()), S_OK);
    EXPECT_EQ(name.str(), from_ansi(host));
    BSTR variable = SysAllocString(L"");
    SAFEARRAY* all = nullptr;
    ASSERT_EQ(n->Get_IP(&variable, &all), S_OK);
    EXPECT_EQ(std::wstring(variable), from_ansi(host));
    SysFreeString(variable);
    EXPECT_EQ(texts(all), addresses(host));

    const std::vector<std::wstring> own = addresses(host);
    std::wstring reverse;
    if (!own.empty()) {
        unsigned char b[4];
        const std::string a = to_ansi(own[0]);
        sscanf(a.c_str(), "%hhu.%hhu.%hhu.%hhu", &b[0], &b[1], &b[2], &b[3]);
        if (const hostent* e = gethostbyaddr(reinterpret_cast<char*>(b), 4, AF_INET)) reverse = from_ansi(e->h_name);
    }
    long error = -1;
    Bstr dns;
    ASSERT_EQ(n->Get_DynamicDNS(&error, dns.put()), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(dns.str(), reverse);
}

// --- the Winsock control stand-in ---------------------------------------------

// {6A1E2C5B-3D4F-4E8A-9B7C-1D2E3F4A5B6C}
constexpr CLSID kStandIn = {0x6A1E2C5B, 0x3D4F, 0x4E8A, {0x9B, 0x7C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B, 0x6C}};

// LocalIP, LocalPort, Listen and Close of the control over the sockets library;
// Listen raises 10048 when the port is taken.
class WinsockStandIn final : public IDispatch {
public:
    WinsockStandIn() {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    }
    virtual ~WinsockStandIn() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        WSACleanup();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (!r) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        static const wchar_t* kNames[] = {L"LocalIP", L"LocalPort", L"Listen", L"Close"};
        for (DISPID i = 0; i < 4; ++i)
            if (!_wcsicmp(names[0], kNames[i])) return ids[0] = i + 1, S_OK;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        switch (id) {
        case 1: {
            char host[256] = {};
            gethostname(host, 256);
            const std::vector<std::wstring> a = addresses(host);
            if (result) Variant(a.empty() ? L"" : a[0]).detach(result);
            return S_OK;
        }
        case 2: {
            if (params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
            Variant v;
            VariantChangeType(v.put(), &params->rgvarg[0], 0, VT_I4);
            port_ = V_I4(v.get());
            return S_OK;
        }
        case 3: {
            socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<u_short>(port_));
            if (bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(socket_, 1) != 0) {
                const int code = WSAGetLastError();
                *excep = EXCEPINFO{};
                excep->bstrDescription = SysAllocString(L"Address in use");
                excep->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code);
                return DISP_E_EXCEPTION;
            }
            return S_OK;
        }
        case 4:
            if (socket_ != INVALID_SOCKET) closesocket(socket_);
            socket_ = INVALID_SOCKET;
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ULONG refs_ = 1;
    long port_ = 0;
    SOCKET socket_ = INVALID_SOCKET;
};

class StandInFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* control = new WinsockStandIn;
        HRESULT hr = control->QueryInterface(iid, out);
        control->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// The stand-in under the control's name, in this prefix, for one scope.
class StandInRegistration {
public:
    StandInRegistration() {
        static StandInFactory factory;
        CoRegisterClassObject(kStandIn, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
        HKEY k;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"MSWinsock.Winsock.1\\CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr) == ERROR_SUCCESS) {
            const wchar_t* id = L"{6A1E2C5B-3D4F-4E8A-9B7C-1D2E3F4A5B6C}";
            RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(id),
                           static_cast<DWORD>((wcslen(id) + 1) * sizeof(wchar_t)));
            RegCloseKey(k);
        }
    }
    ~StandInRegistration() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"MSWinsock.Winsock.1");
        CoRevokeClassObject(cookie_);
    }

private:
    DWORD cookie_ = 0;
};

bool port_in_use(_Network* n, short port) {
    VARIANT_BOOL r = VARIANT_FALSE;
    EXPECT_EQ(n->PortInUse(port, &r), S_OK);
    return r != VARIANT_FALSE;
}

TEST_F(NetworkLocal, WinsockControlMembersTakeTheControlOrItsFailurePath) {
    Sockets s;
    SOCKET taken = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    int len = sizeof(a);
    getsockname(taken, reinterpret_cast<sockaddr*>(&a), &len);
    const short busy = static_cast<short>(ntohs(a.sin_port));

    long error = 0;
    Bstr ip;
    ASSERT_EQ(n->Get_LocalIP(&error, ip.put()), S_OK);
    EXPECT_EQ(error, 429);
    EXPECT_EQ(ip.str(), L"");
    EXPECT_TRUE(errors.has("Get_LocalIP"));
    EXPECT_FALSE(port_in_use(n, busy));

    {
        StandInRegistration standin;
        ASSERT_EQ(n->Get_LocalIP(&error, ip.put()), S_OK);
        EXPECT_EQ(error, 0);
        char host[256] = {};
        gethostname(host, 256);
        EXPECT_EQ(ip.str(), addresses(host).at(0));
        EXPECT_TRUE(port_in_use(n, busy));
        // A free port: False, and free again afterwards.
        SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in f{};
        f.sin_family = AF_INET;
        bind(probe, reinterpret_cast<sockaddr*>(&f), sizeof(f));
        len = sizeof(f);
        getsockname(probe, reinterpret_cast<sockaddr*>(&f), &len);
        closesocket(probe);
        EXPECT_FALSE(port_in_use(n, static_cast<short>(ntohs(f.sin_port))));
        probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&f), sizeof(f)), 0);
        closesocket(probe);
    }
    closesocket(taken);
    CLSID none;
    EXPECT_TRUE(FAILED(CLSIDFromProgID(L"MSWinsock.Winsock.1", &none))) << "the stand-in outlived its test";
}

// --- messages, names, commands --------------------------------------------------

TEST_F(NetworkLocal, MessengerMessagesGoToTheMailslotInOneWrite) {
    HANDLE slot = CreateMailslotW(L"\\\\.\\mailslot\\messngr", 0, 0, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    auto send = [&](const wchar_t* from, const wchar_t* to, const wchar_t* message) {
        BroadcastReturnCode r = bcFUNCTIONERROR;
        EXPECT_EQ(n->BroadcastMessage(Bstr(from).get(), Bstr(to).get(), Bstr(message).get(), &r), S_OK);
        return r;
    };
    auto next = [&] {
        char buffer[512];
        DWORD got = 0;
        if (!ReadFile(slot, buffer, sizeof(buffer), &got, nullptr) || got == 0) return std::string("<none>");
        return std::string(buffer, got);
    };
    EXPECT_EQ(send(L"A", L".", L"C"), bcSEND);
    EXPECT_EQ(next(), std::string("A\0.\0C\0\0", 7));
    EXPECT_EQ(send(L"A", L".", L""), bcINVALIDMESSAGE);
    EXPECT_EQ(next(), "<none>");
    EXPECT_EQ(send(L"", L".", L"Hi"), bcSEND);
    EXPECT_EQ(next(), std::string("Mailslot System Message\0.\0Hi\0\0", 30));
    // Sender and recipient are names in the message's code page: one it cannot
    // hold exactly is refused, never sent as a look-alike ("\uFF3C" would make the
    // recipient "\\.\\"); the text keeps the code page's own conversion.
    for (const HostileChar& c : kHostileChars) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(send((L"A" + std::wstring(c.text)).c_str(), L".", L"C"), bcINVALIDMESSAGE);
        EXPECT_EQ(send(L"A", (L"." + std::wstring(c.text)).c_str(), L"C"), bcINVALIDMESSAGE);
        EXPECT_EQ(next(), "<none>");
        EXPECT_EQ(send(L"A", L".", (L"C" + std::wstring(c.text)).c_str()), bcSEND);
        EXPECT_EQ(next(), std::string("A\0.\0C", 5) + to_ansi(c.text) + std::string("\0\0", 2));
    }
    EXPECT_EQ(send(L"\u00c4", L".", L"C"), bcSEND);  // held exactly: Ä
    EXPECT_EQ(next(), std::string("\xc4\0.\0C\0\0", 7));
    CloseHandle(slot);
    EXPECT_EQ(send(L"A", L".", L"C"), bcINVALIDFILE);
}

TEST_F(NetworkLocal, ComputerNameIsThePrefixsOwn) {
    wchar_t own[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(own, &size));
    Bstr name;
    ASSERT_EQ(n->Get_LocalNetworkName(name.put()), S_OK);
    EXPECT_EQ(name.str(), own);

    const wchar_t* key = L"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
    auto stored = [&] {
        wchar_t value[64] = {};
        DWORD bytes = sizeof(value);
        RegGetValueW(HKEY_LOCAL_MACHINE, key, L"ComputerName", RRF_RT_REG_SZ, nullptr, value, &bytes);
        return std::wstring(value);
    };
    const std::wstring before = stored();
    BSTR wanted = SysAllocString(L"QMNETTEST");
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(n->Set_LocalNetworkName(&wanted, &ok), S_OK);
    SysFreeString(wanted);
    EXPECT_TRUE(ok);
    EXPECT_EQ(stored(), L"QMNETTEST");
    // The name reaches the system as written: the system may refuse it or store
    // its own form of it, never the code page's look-alike ("QM\u03A9" as "QMO").
    for (const HostileChar& c : kHostileChars) {
        BSTR asked = SysAllocString((L"QM" + std::wstring(c.text)).c_str());
        ASSERT_EQ(n->Set_LocalNetworkName(&asked, &ok), S_OK);
        SysFreeString(asked);
        EXPECT_NE(stored(), L"QM" + from_ansi(to_ansi(c.text))) << c.label;
    }
    BSTR old = SysAllocString(before.c_str());
    EXPECT_EQ(n->Set_LocalNetworkName(&old, &ok), S_OK);
    SysFreeString(old);
    EXPECT_EQ(stored(), before);
}

TEST_F(NetworkLocal, NetSendStartsTheCommandHidden) {
    const std::wstring recorder_log = scratch() + L"netsend.log";
    DeleteFileW(recorder_log.c_str());
    ASSERT_TRUE(CopyFileW((test_folder() + L"qmrecorder.exe").c_str(), (scratch() + L"net.exe").c_str(), FALSE));
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", recorder_log.c_str());
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(scratch().c_str());
    EXPECT_EQ(n->NetSend(Bstr(L"PC").get(), Bstr(L"text & more").get()), S_OK);
    SetCurrentDirectoryW(before);
    std::string line;
    for (int i = 0; i < 500 && (line = read_bytes(recorder_log)) == "<missing>"; ++i) Sleep(20);
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    EXPECT_EQ(line, "net.exe\t0\t3\tsend\tPC\ttext & more\n");
}

// --- the clock, shares and the neighbourhood from fabricated platform data ---------

TIME_OF_DAY_INFO g_tod;
std::vector<std::pair<DATE, DATE>> g_clock;

NET_API_STATUS WINAPI fake_tod(LPCWSTR, LPBYTE* out) {
    *out = reinterpret_cast<LPBYTE>(new TIME_OF_DAY_INFO(g_tod));
    return NERR_Success;
}
NET_API_STATUS WINAPI fake_free(LPVOID p) {
    delete[] static_cast<unsigned char*>(p);
    return NERR_Success;
}
NET_API_STATUS WINAPI fake_tod_free(LPVOID p) {
    delete static_cast<TIME_OF_DAY_INFO*>(p);
    return NERR_Success;
}

TEST_F(NetworkLocal, ServerClockGivesTheServersLocalDateAndTime) {
    struct Case {
        long zone, hours, minutes;
        DATE date, time;
    } cases[] = {
        {-60, 23, 30, DateSerial(2024, 3, 1), TimeSerial(0, 30, 0)},   // one hour east: past midnight
        {-60, 10, 15, DateSerial(2024, 2, 29), TimeSerial(11, 15, 0)},
        {300, 2, 0, DateSerial(2024, 2, 28), TimeSerial(21, 0, 0)},    // five hours west: the day before
    };
    for (const Case& c : cases) {
        const net::ServerTime t = net::server_time(2024, 2, 29, c.hours, c.minutes, 0, c.zone);
        EXPECT_EQ(t.date, c.date) << c.zone;
        EXPECT_NEAR(t.time, c.time, 1e-9) << c.zone;
    }
    g_tod = TIME_OF_DAY_INFO{};
    g_tod.tod_year = 2024, g_tod.tod_month = 12, g_tod.tod_day = 31;
    g_tod.tod_hours = 23, g_tod.tod_mins = 30, g_tod.tod_timezone = -60;
    net::platform().remote_tod = fake_tod;
    net::platform().buffer_free = fake_tod_free;
    net::platform().set_clock = [](DATE d, DATE t) { g_clock.emplace_back(d, t); };
    g_clock.clear();
    SERVERDATEINFO info{};
    VARIANT_BOOL set = VARIANT_FALSE;
    long error = -1;
    ASSERT_EQ(n->Get_NetTime(Bstr(L"srv").get(), &set, &error, &info), S_OK);
    EXPECT_EQ(info.Date, DateSerial(2025, 1, 1));
    EXPECT_NEAR(info.Time, TimeSerial(0, 30, 0), 1e-9);
    EXPECT_TRUE(g_clock.empty());
    set = VARIANT_TRUE;
    ASSERT_EQ(n->Get_NetTime(Bstr(L"").get(), &set, &error, &info), S_OK);
    ASSERT_EQ(g_clock.size(), 1u);
    EXPECT_EQ(g_clock[0].first, DateSerial(2025, 1, 1));
    EXPECT_NEAR(g_clock[0].second, TimeSerial(0, 30, 0), 1e-9);
    // A refused clock is reported; the record keeps the server's time.
    net::platform().set_clock = [](DATE, DATE) { raise(err::PermissionDenied); };
    ASSERT_EQ(n->Get_NetTime(Bstr(L"").get(), &set, &error, &info), S_OK);
    EXPECT_EQ(error, 70);
    EXPECT_EQ(info.Date, DateSerial(2025, 1, 1));
    EXPECT_TRUE(errors.has("Get_NetTime"));

    // Wine's time service does not answer: zero dates, nothing reported, no clock set.
    net::reset_platform();
    net::platform().set_clock = [](DATE d, DATE t) { g_clock.emplace_back(d, t); };
    g_clock.clear();
    ASSERT_EQ(n->Get_NetTime(Bstr(L"").get(), &set, &error, &info), S_OK);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(info.Date, 0);
    EXPECT_EQ(info.Time, 0);
    EXPECT_TRUE(g_clock.empty());
}

NET_API_STATUS WINAPI fake_shares(LMSTR, DWORD, LPBYTE* out, DWORD, LPDWORD read, LPDWORD total, LPDWORD) {
    static wchar_t names[3][8] = {L"Docs", L"C$", L"IPC$"};
    auto* rows = reinterpret_cast<SHARE_INFO_1*>(new unsigned char[3 * sizeof(SHARE_INFO_1)]);
    rows[0] = {names[0], STYPE_DISKTREE, nullptr};
    rows[1] = {names[1], STYPE_DISKTREE | STYPE_SPECIAL, nullptr};
    rows[2] = {names[2], STYPE_IPC | STYPE_SPECIAL, nullptr};
    *out = reinterpret_cast<LPBYTE>(rows);
    *read = *total = 3;
    return NERR_Success;
}

TEST_F(NetworkLocal, SharesAreTheServersDiskSharesOnly) {
    auto shares = [&] {
        long error = -1;
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(n->Get_SharedDirectory(Bstr(L"srv").get(), &error, &sa), S_OK);
        EXPECT_EQ(error, 0);
        return texts(sa);
    };
    EXPECT_EQ(shares(), std::vector<std::wstring>{}) << "Wine has no shares";
    net::platform().share_enum = fake_shares;
    net::platform().buffer_free = fake_free;
    EXPECT_EQ(shares(), std::vector<std::wstring>{L"Docs"});
}

// The fabricated neighbourhood: a domain below the root holding two servers;
// each enumeration gives its entries once. The names are beyond the code page:
// the domain is opened by its own name, and the servers are listed as named.
const wchar_t kDomain[] = L"WORK\uFF3CGROUP";
NETRESOURCEW g_root[1], g_domain[2];
bool g_served[3];
DWORD WINAPI fake_open(DWORD, DWORD, DWORD, LPNETRESOURCEW container, LPHANDLE h) {
    int which = 0;
    if (!container)
        which = 1;
    else if (container->lpRemoteName && !wcscmp(container->lpRemoteName, kDomain))
        which = 2;
    else
        return ERROR_NOT_CONTAINER;
    g_served[which] = false;
    *h = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(which));
    return NO_ERROR;
}
DWORD WINAPI fake_enum(HANDLE h, LPDWORD count, LPVOID buffer, LPDWORD) {
    const int which = static_cast<int>(reinterpret_cast<INT_PTR>(h));
    if (g_served[which]) return *count = 0, ERROR_NO_MORE_ITEMS;
    g_served[which] = true;
    *count = which == 1 ? 1 : 2;
    memcpy(buffer, which == 1 ? g_root : g_domain, *count * sizeof(NETRESOURCEW));
    return NO_ERROR;
}
DWORD WINAPI fake_close(HANDLE) { return NO_ERROR; }

TEST_F(NetworkLocal, NeighbourhoodListsTheServersLowerCased) {
    auto pcs = [&](bool own) {
        VARIANT_BOOL add = own ? VARIANT_TRUE : VARIANT_FALSE;
        Variant r;
        EXPECT_EQ(n->Get_LocalPCs(&add, r.put()), S_OK);
        EXPECT_EQ(r.vt(), VT_ARRAY | VT_BSTR);
        return texts(V_ARRAY(r.get()) ? SafeArray::copy(V_ARRAY(r.get()), VT_BSTR).detach() : nullptr);
    };
    EXPECT_EQ(pcs(true), std::vector<std::wstring>{L"<undimensioned>"}) << "Wine has no neighbourhood";

    Bstr own_name;
    ASSERT_EQ(n->Get_LocalNetworkName(own_name.put()), S_OK);
    static std::wstring workgroup = kDomain, alpha = L"\\\\ALPHA\u03A9\u30C7", self;
    self = L"\\\\" + own_name.str();
    g_root[0] = {RESOURCE_GLOBALNET, RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_DOMAIN, RESOURCEUSAGE_CONTAINER,
                 nullptr, workgroup.data(), nullptr, nullptr};
    g_domain[0] = {RESOURCE_GLOBALNET, RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_SERVER, RESOURCEUSAGE_CONTAINER,
                   nullptr, alpha.data(), nullptr, nullptr};
    g_domain[1] = {RESOURCE_GLOBALNET, RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_SERVER, RESOURCEUSAGE_CONTAINER,
                   nullptr, self.data(), nullptr, nullptr};
    net::platform().open_enum = fake_open;
    net::platform().enum_resource = fake_enum;
    net::platform().close_enum = fake_close;
    const std::wstring lower = LCase(own_name.view());
    EXPECT_EQ(pcs(true), (std::vector<std::wstring>{L"alpha\u03C9\u30C7", lower}));
    EXPECT_EQ(pcs(false), std::vector<std::wstring>{L"alpha\u03C9\u30C7"});
}

// A fabricated phone book, in records of the size the caller announces, and the
// entry names the dial-up call was given.
const std::vector<std::wstring> kPhoneBook = {L"B\u00fcro", L"Net\u03A9", L"\u30C7\uFF3C\uFF02"};
std::vector<std::wstring> g_dialled;
DWORD WINAPI fake_ras_entries(LPCWSTR, LPCWSTR, LPRASENTRYNAMEW entries, LPDWORD bytes, LPDWORD count) {
    const DWORD record = entries->dwSize;
    if (*bytes < record * kPhoneBook.size()) return ERROR_INSUFFICIENT_BUFFER;
    for (size_t i = 0; i < kPhoneBook.size(); ++i)
        wcscpy(reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(entries) + i * record + sizeof(DWORD)),
               kPhoneBook[i].c_str());
    *count = static_cast<DWORD>(kPhoneBook.size());
    return 0;
}
DWORD WINAPI fake_dial(HWND, LPWSTR entry, DWORD, DWORD_PTR*, DWORD) {
    g_dialled.emplace_back(entry);
    return 0;
}

TEST_F(NetworkLocal, DialUpMembersLeaveNoWindow) {
    auto windows = [] {
        int count = 0;
        EnumWindows([](HWND w, LPARAM p) CALLBACK {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(w)) ++*reinterpret_cast<int*>(p);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&count));
        return count;
    };
    const int before = windows();
    SAFEARRAY* list = nullptr;
    ASSERT_EQ(n->Get_DialUPlist(&list), S_OK);
    EXPECT_EQ(texts(list), std::vector<std::wstring>{L"<undimensioned>"});
    VARIANT_BOOL dialled = VARIANT_TRUE;
    EXPECT_EQ(n->TAPIdialNumber(&dialled), S_OK);
    long owner = 0;
    EXPECT_EQ(n->InternetDialUP(&owner, nullptr), S_OK);
    EXPECT_EQ(n->InternetHangup(), S_OK);
    EXPECT_EQ(windows(), before);

    // Entry names beyond the code page come back and are dialled as named; an
    // omitted entry is an empty name.
    net::platform().ras_entries = fake_ras_entries;
    net::platform().dial = fake_dial;
    ASSERT_EQ(n->Get_DialUPlist(&list), S_OK);
    EXPECT_EQ(texts(list), kPhoneBook);
    g_dialled.clear();
    for (const std::wstring& entry : kPhoneBook) {
        BSTR name = SysAllocString(entry.c_str());
        EXPECT_EQ(n->InternetDialUP(&owner, &name), S_OK);
        SysFreeString(name);
    }
    EXPECT_EQ(n->InternetDialUP(&owner, nullptr), S_OK);
    std::vector<std::wstring> named = kPhoneBook;
    named.emplace_back();
    EXPECT_EQ(g_dialled, named);
}

// --- adapters -------------------------------------------------------------------

DWORD WINAPI fake_if_table(PMIB_IFTABLE table, PULONG size, BOOL) {
    const ULONG need = offsetof(MIB_IFTABLE, table) + 3 * sizeof(MIB_IFROW);
    if (!table || *size < need) return *size = need, ERROR_INSUFFICIENT_BUFFER;
    memset(table, 0, need);
    table->dwNumEntries = 3;
    const struct {
        DWORD type, mtu, in, out, nout;
        const char* name;
    } rows[] = {{IF_TYPE_ETHERNET_CSMACD, 1500, 2048, 100, 50, "first"},
                {IF_TYPE_SOFTWARE_LOOPBACK, 1500, 9999, 9999, 9999, "loop"},
                {IF_TYPE_ETHERNET_CSMACD, 1024, 3000000, 7, 3, "second"}};
    for (int i = 0; i < 3; ++i) {
        MIB_IFROW& r = table->table[i];
        r.dwType = rows[i].type, r.dwMtu = rows[i].mtu, r.dwInUcastPkts = rows[i].in;
        r.dwOutUcastPkts = rows[i].out, r.dwOutNUcastPkts = rows[i].nout;
        strcpy(reinterpret_cast<char*>(r.bDescr), rows[i].name);
    }
    return NO_ERROR;
}

DWORD WINAPI fake_routes(PMIB_IPFORWARDTABLE table, PULONG size, BOOL) {
    const ULONG need = offsetof(MIB_IPFORWARDTABLE, table) + 3 * sizeof(MIB_IPFORWARDROW);
    if (!table || *size < need) return *size = need, ERROR_INSUFFICIENT_BUFFER;
    memset(table, 0, need);
    table->dwNumEntries = 3;
    const unsigned char first[4] = {10, 0, 0, 1}, last[4] = {192, 168, 0, 1}, other[4] = {10, 9, 9, 9};
    memcpy(&table->table[0].dwForwardNextHop, first, 4);
    table->table[1].dwForwardDest = 0x0000000A;
    memcpy(&table->table[1].dwForwardNextHop, other, 4);
    memcpy(&table->table[2].dwForwardNextHop, last, 4);
    return NO_ERROR;
}

// Three LANAs; the third does not answer. The call names asked for are kept.
std::vector<std::string> g_call_names;
UCHAR WINAPI fake_netbios(PNCB ncb) {
    if (ncb->ncb_command == NCBENUM) {
        auto* lanas = reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer);
        lanas->length = 3;
        lanas->lana[0] = 4, lanas->lana[1] = 5, lanas->lana[2] = 6;
        return NRC_GOODRET;
    }
    if (ncb->ncb_command == NCBRESET) return NRC_GOODRET;
    if (ncb->ncb_command == NCBASTAT)
        g_call_names.emplace_back(reinterpret_cast<const char*>(ncb->ncb_callname), NCBNAMSZ);
    if (ncb->ncb_command == NCBASTAT && ncb->ncb_lana_num != 6) {
        auto* status = reinterpret_cast<ADAPTER_STATUS*>(ncb->ncb_buffer);
        const unsigned char mac[6] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, ncb->ncb_lana_num};
        memcpy(status->adapter_address, mac, 6);
        return NRC_GOODRET;
    }
    return NRC_BRIDGE;
}

TEST_F(NetworkLocal, EthernetRowsAreTheAdapters) {
    // Wine's own table: the Ethernet rows, counted without an error.
    ULONG size = 0;
    GetIfTable(nullptr, &size, TRUE);
    std::vector<unsigned char> buffer(size);
    ASSERT_EQ(GetIfTable(reinterpret_cast<PMIB_IFTABLE>(buffer.data()), &size, TRUE), static_cast<DWORD>(NO_ERROR));
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
    long ethernet = 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) ethernet += table->table[i].dwType == IF_TYPE_ETHERNET_CSMACD;
    long count = -1;
    ASSERT_EQ(n->Adapter_Count(&count), S_OK);
    EXPECT_EQ(count, ethernet);
    SAFEARRAY* installed = nullptr;
    ASSERT_EQ(n->Adapter_GetInstalled(&installed), S_OK);
    EXPECT_EQ(static_cast<long>(texts(installed).size()), ethernet ? ethernet : 1);

    net::platform().if_table = fake_if_table;
    ASSERT_EQ(n->Adapter_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(n->Adapter_GetInstalled(&installed), S_OK);
    EXPECT_EQ(texts(installed), (std::vector<std::wstring>{L"first", L"second"}));
    ADAPTERBYTEINFO bytes{};
    ASSERT_EQ(n->Adapter_GetTransferredBytes(2, &bytes), S_OK);
    EXPECT_EQ(std::wstring(V_BSTR(&bytes.RECEIVEDBYTES)), L"3000000");  // no grouping in any locale
    EXPECT_EQ(std::wstring(V_BSTR(&bytes.SENDEDBYTES)), L"10");
    VariantClear(&bytes.RECEIVEDBYTES), VariantClear(&bytes.SENDEDBYTES);
    for (long outside : {0L, 3L, -1L}) {
        ASSERT_EQ(n->Adapter_GetTransferredBytes(outside, &bytes), S_OK);
        EXPECT_EQ(V_VT(&bytes.RECEIVEDBYTES), VT_EMPTY) << outside;
        EXPECT_EQ(V_VT(&bytes.SENDEDBYTES), VT_EMPTY) << outside;
    }
    // No Ethernet interface at all: 0 adapters and an array never dimensioned.
    net::platform().if_table = [](PMIB_IFTABLE t, PULONG size, BOOL) CALLBACK -> DWORD {
        if (!t || *size < sizeof(MIB_IFTABLE)) return *size = sizeof(MIB_IFTABLE), ERROR_INSUFFICIENT_BUFFER;
        t->dwNumEntries = 0;
        return NO_ERROR;
    };
    ASSERT_EQ(n->Adapter_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(n->Adapter_GetInstalled(&installed), S_OK);
    EXPECT_EQ(texts(installed), std::vector<std::wstring>{L"<undimensioned>"});

    net::platform().forward_table = fake_routes;
    Bstr gateway;
    ASSERT_EQ(n->Get_Gateway(gateway.put()), S_OK);
    EXPECT_EQ(gateway.str(), L"192.168.0.1");
}

TEST_F(NetworkLocal, MacAddressesThroughNetbiosAndWmi) {
    const unsigned char mac[6] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0xF5};
    EXPECT_EQ(net::mac_text(mac), L"0A-1B-2C-3D-4E-F5");

    net::platform().netbios = fake_netbios;
    auto adapter = [&](long index, const wchar_t* pc, long expected_error = 0) {
        BSTR name = SysAllocString(pc);
        long error = -1;
        Bstr out;
        EXPECT_EQ(n->Adapter_GetMACadress(index, &name, &error, out.put()), S_OK);
        SysFreeString(name);
        EXPECT_EQ(error, expected_error) << index;
        return out.str();
    };
    EXPECT_EQ(adapter(1, L"*"), L"0A-1B-2C-3D-4E-05");
    EXPECT_EQ(adapter(2, L"*"), L"");
    EXPECT_EQ(adapter(2, L"OTHER"), L"");  // a named computer: only the adapters that answer count
    EXPECT_EQ(adapter(1, L"OTHER"), L"0A-1B-2C-3D-4E-05");
    EXPECT_EQ(adapter(-1, L"*", 9), L"");
    EXPECT_TRUE(errors.has("Adapter_GetMACadress"));
    // The call name is 16 bytes of the code page: a name it cannot hold exactly
    // is asked of no adapter.
    g_call_names.clear();
    for (const HostileChar& c : kHostileChars)
        EXPECT_EQ(adapter(0, (L"PC" + std::wstring(c.text)).c_str()), L"") << c.label;
    EXPECT_EQ(g_call_names, std::vector<std::string>{});
    EXPECT_EQ(adapter(0, L"PC\u00c4"), L"0A-1B-2C-3D-4E-04");
    EXPECT_EQ(g_call_names.at(0), "PC\xc4" + std::string(13, ' '));
    SAFEARRAY* all = nullptr;
    ASSERT_EQ(n->Adapter_GetAllMACadresses(&all), S_OK);
    EXPECT_EQ(texts(all), (std::vector<std::wstring>{L"0A-1B-2C-3D-4E-04", L"0A-1B-2C-3D-4E-05"}));

    BSTR data = SysAllocString(L"");
    long error = -1;
    Bstr first;
    ASSERT_EQ(n->Get_MACadress(&data, &error, first.put()), S_OK);
    EXPECT_EQ(std::wstring(data), L".");
    SysFreeString(data);
    EXPECT_EQ(error, 0);
}

TEST_F(NetworkLocal, AdapterRecordsFollowWmiAndMacaddrIsEachObjectsOwn) {
    // The registered DLL's object: its type library describes the records.
    ComPtr<_Network> dll = create(L"Quillmark.Network").query<_Network>();
    ASSERT_TRUE(dll);
    long error = -1;
    SafeArray records(VT_RECORD);
    ASSERT_EQ(dll->Adapter_GetInfo(&error, records.put()), S_OK);
    EXPECT_EQ(error, 0);
    auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
    auto adapters = wmi::instances_of(services.get(), L"Win32_NetworkAdapter");
    ASSERT_FALSE(adapters.empty());
    ASSERT_EQ(records.count(), static_cast<long>(adapters.size()));
    for (long i = 0; i < records.count(); ++i) {
        const ADAPTERINFO& r = records.at<ADAPTERINFO>(i);
        EXPECT_EQ(Bstr::view_of(r.Name), wmi::text_or_empty(adapters[i].get(), L"Name")) << i;
        EXPECT_EQ(Bstr::view_of(r.Description), wmi::text_or_empty(adapters[i].get(), L"Description")) << i;
        EXPECT_EQ(std::to_wstring(r.DeviceID), wmi::text(adapters[i].get(), L"DeviceID")) << i;
    }

    // A text of each object that nothing else reads or writes.
    ComPtr<IDispatch> first = create(L"Quillmark.Network"), second = create(L"Quillmark.Network");
    Variant text(L"00-11-22-33-44-55"), read;
    ASSERT_EQ(call(first.get(), L"macaddr", {text.get()}, nullptr, nullptr, DISPATCH_PROPERTYPUT), S_OK);
    ASSERT_EQ(call(first.get(), L"macaddr", {}, read.put(), nullptr, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(CStr(*read.get()), L"00-11-22-33-44-55");
    ASSERT_EQ(call(second.get(), L"macaddr", {}, read.put(), nullptr, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(CStr(*read.get()), L"");
}

TEST_F(NetworkLocal, IpConfigurationAndIpconfigText) {
    IPconfigInfo info{};
    long error = -1;
    ASSERT_EQ(n->IPconfig(&error, &info), S_OK);
    // The first IP-enabled row; the properties Wine's class lacks are empty.
    auto services = wmi::bind(L"winmgmts:");
    auto rows = wmi::exec_query(services.get(), L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE IPEnabled = True");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(wmi::text_or_empty(rows[0].get(), L"NoSuchProperty"), L"");
    if (wmi::get(rows[0].get(), L"IPAddress").vt() == VT_NULL) {
        // Wine's first row has no addresses: a Null list is an error, and the
        // record stays empty.
        EXPECT_EQ(error, 94);
        EXPECT_EQ(std::wstring(info.Mac), L"");
        EXPECT_TRUE(errors.has("IPconfig"));
    } else {
        EXPECT_EQ(error, 0);
        EXPECT_EQ(std::wstring(info.Mac), wmi::text(rows[0].get(), L"MACAddress"));
        EXPECT_EQ(std::wstring(info.DNS), wmi::text(rows[0].get(), L"DNSHostName"));
        EXPECT_FALSE(std::wstring(info.IP).empty());
    }
    for (BSTR* f : {&info.Caption, &info.ServiceName, &info.Mac, &info.IP, &info.Subnet, &info.Gateway, &info.DNS,
                    &info.DHCP, &info.WINS_1, &info.WINS_2, &info.Description})
        SysFreeString(*f);

    // The record from fabricated rows: only the first row counts, lists are
    // joined by blanks, the five optional fields stay empty when Null or missing.
    static std::vector<ComPtr<IDispatch>> rows_given;
    net::platform().ip_configurations = [] { return rows_given; };
    auto list = [](std::vector<std::wstring> items) {
        VARIANT v{};
        V_VT(&v) = VT_ARRAY | VT_BSTR;
        V_ARRAY(&v) = string_array(items).detach();
        Variant out(v);
        VariantClear(&v);
        return out;
    };
    auto record = [&](long& error) {
        IPconfigInfo r{};
        error = -1;
        EXPECT_EQ(n->IPconfig(&error, &r), S_OK);
        std::vector<std::wstring> out;
        for (BSTR* f : {&r.Caption, &r.ServiceName, &r.Mac, &r.IP, &r.Subnet, &r.Gateway, &r.DNS, &r.DHCP, &r.WINS_1,
                        &r.WINS_2, &r.Description})
            out.emplace_back(*f), SysFreeString(*f);
        return out;
    };
    Recorder first({{L"Caption", Variant(L"[1] eth")},
                    {L"ServiceName", Variant(L"e1000")},
                    {L"MACAddress", Variant(L"0A:1B:2C:3D:4E:5F")},
                    {L"IPAddress", list({L"192.0.2.7", L"fe80::7"})},
                    {L"IPSubnet", list({L"255.255.255.0", L"64"})},
                    {L"DefaultIPGateway", list({L"192.0.2.1"})},
                    {L"DNSHostName", Variant(L"qmhost")},
                    {L"DHCPServer", Variant::null()},
                    {L"WINSPrimaryServer", Variant(L"192.0.2.9")},
                    {L"Description", Variant(L"Ethernet")}}),
        second({{L"MACAddress", Variant(L"other")}, {L"IPAddress", list({L"198.51.100.1"})}}),
        nulls({{L"MACAddress", Variant(L"0A:1B:2C:3D:4E:5F")}, {L"IPAddress", Variant::null()}});
    const std::vector<std::wstring> none(11);
    const struct {
        std::vector<IDispatch*> rows;
        long error;
        std::vector<std::wstring> fields;
    } cases[] = {{{&first, &second}, 0, {L"[1] eth", L"e1000", L"0A:1B:2C:3D:4E:5F", L"192.0.2.7 fe80::7",
                                          L"255.255.255.0 64", L"192.0.2.1", L"qmhost", L"", L"192.0.2.9", L"",
                                          L"Ethernet"}},
                 {{}, 0, none},
                 {{&nulls, &first}, 94, none}};
    for (const auto& c : cases) {
        rows_given.clear();
        for (IDispatch* r : c.rows) rows_given.push_back(ComPtr<IDispatch>(r));
        EXPECT_EQ(record(error), c.fields) << c.rows.size();
        EXPECT_EQ(error, c.error) << c.rows.size();
    }
    rows_given.clear();

    BSTR all = SysAllocString(L"/all");
    Bstr text;
    ASSERT_EQ(n->DOS_IPconfig(&all, text.put()), S_OK);
    SysFreeString(all);
    // The shell member returns the program's first write only, which under
    // Wine may be a bare line end.
    EXPECT_EQ(text.view().find(L'\r'), std::wstring_view::npos);
}

}  // namespace
